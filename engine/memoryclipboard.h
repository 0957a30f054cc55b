#pragma once
// The wave clipboard held in this process: for the batch tool and the tests.
// Thread rule: every method may be called from any thread (one lock); Open is exclusive like the
// desktop clipboard's, so a second Open before Close fails.

#include "engine/waveclipboard.h"

#include <mutex>
#include <optional>

namespace orvella {

class TMemoryClipboard : public TWaveClipboard {
public:
    // Fails with "Cannot open clipboard" when refused (SetRefuseOpen) or already open.
    void Open() override;
    void Close() override;
    bool HasWave() override;
    std::vector<uint8_t> GetWave() override;
    void SetWave(std::vector<uint8_t> block) override;

    // Outside Open and Close, for the host: what the clipboard holds, and placing or emptying it.
    std::optional<std::vector<uint8_t>> Contents() const;
    void Place(std::vector<uint8_t> block);
    void Empty();
    // While set, every Open fails (another program holds the clipboard).
    void SetRefuseOpen(bool refuse);

private:
    mutable std::mutex Lock;
    std::optional<std::vector<uint8_t>> Block;
    bool IsOpen = false;
    bool Refuse = false;
};

} // namespace orvella
