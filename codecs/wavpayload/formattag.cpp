#include "codecs/wavpayload/formattag.h"

#include "engine/waveformat.h"

#include <cstring>

namespace orvella {

TFormatTag EffectiveFormatTag(const std::vector<uint8_t>& format) {
    if (format.size() < sizeof(TWaveFormat)) return {0, format.size()};
    TWaveFormat f;
    std::memcpy(&f, format.data(), sizeof f);
    if (f.wFormatTag != WAVE_FORMAT_EXTENSIBLE) return {f.wFormatTag, sizeof f};
    // Extension: valid bits (2), channel mask (4), sub-format GUID (16).
    constexpr size_t extensionSize = 22;
    static const uint8_t guidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                         0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    if (f.cbSize < extensionSize || format.size() < sizeof f + extensionSize)
        return {WAVE_FORMAT_EXTENSIBLE, sizeof f};
    const uint8_t* guid = format.data() + sizeof f + 6;
    if (std::memcmp(guid + 2, guidTail, 14) != 0) return {WAVE_FORMAT_EXTENSIBLE, sizeof f};
    return {uint16_t(guid[0] | guid[1] << 8), sizeof f + extensionSize};
}

} // namespace orvella
