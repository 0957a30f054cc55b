#include "engine/memoryclipboard.h"

#include "engine/errors.h"

namespace orvella {

void TMemoryClipboard::Open() {
    std::lock_guard<std::mutex> guard(Lock);
    if (Refuse || IsOpen) throw Exception("Cannot open clipboard");
    IsOpen = true;
}

void TMemoryClipboard::Close() {
    std::lock_guard<std::mutex> guard(Lock);
    IsOpen = false;
}

bool TMemoryClipboard::HasWave() {
    std::lock_guard<std::mutex> guard(Lock);
    return Block.has_value();
}

std::vector<uint8_t> TMemoryClipboard::GetWave() {
    std::lock_guard<std::mutex> guard(Lock);
    return Block ? *Block : std::vector<uint8_t>();
}

void TMemoryClipboard::SetWave(std::vector<uint8_t> block) {
    std::lock_guard<std::mutex> guard(Lock);
    Block = std::move(block);
}

std::optional<std::vector<uint8_t>> TMemoryClipboard::Contents() const {
    std::lock_guard<std::mutex> guard(Lock);
    return Block;
}

void TMemoryClipboard::Place(std::vector<uint8_t> block) {
    std::lock_guard<std::mutex> guard(Lock);
    Block = std::move(block);
}

void TMemoryClipboard::Empty() {
    std::lock_guard<std::mutex> guard(Lock);
    Block.reset();
}

void TMemoryClipboard::SetRefuseOpen(bool refuse) {
    std::lock_guard<std::mutex> guard(Lock);
    Refuse = refuse;
}

} // namespace orvella
