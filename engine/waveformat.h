#pragma once
// The 18-byte little-endian wave format record exchanged by the codecs and the player. It lives
// in the engine, the one library both of them build on.

#include <cstdint>

namespace orvella {

constexpr uint16_t WAVE_FORMAT_PCM = 1;
constexpr uint16_t WAVE_FORMAT_IEEE_FLOAT = 3;
constexpr uint16_t WAVE_FORMAT_EXTENSIBLE = 0xFFFE;

#pragma pack(push, 1)
struct TWaveFormat {
    uint16_t wFormatTag;
    uint16_t nChannels;
    uint32_t nSamplesPerSec;
    uint32_t nAvgBytesPerSec;
    uint16_t nBlockAlign;
    uint16_t wBitsPerSample;
    uint16_t cbSize; // count of format-specific bytes that follow
};
#pragma pack(pop)
static_assert(sizeof(TWaveFormat) == 18, "TWaveFormat is 18 bytes");

// 16-bit (or other) integer PCM: tag 1, nBlockAlign = channels * bits / 8.
inline TWaveFormat MakePCMFormat(uint16_t channels, uint32_t rate, uint16_t bits) {
    TWaveFormat f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = uint16_t(channels * (bits / 8));
    f.nAvgBytesPerSec = f.nBlockAlign * rate;
    f.cbSize = 0;
    return f;
}

} // namespace orvella
