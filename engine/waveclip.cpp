#include "engine/waveclip.h"

#include "engine/errors.h"

#include <cstring>

namespace orvella {

const char* const InvalidClipText = "The clipboard does not hold valid wave data.";

namespace {

constexpr size_t ChannelsOffset = 22;
constexpr size_t RateOffset = 24;
constexpr size_t DataSizeOffset = 40;

uint16_t ReadLE16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}

uint32_t ReadLE32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

int16_t ValueAt(const uint8_t* data, uint64_t index) {
    return int16_t(ReadLE16(data + 2 * index));
}

// The mean of two values, halves to the even neighbour; the sum's floor half is exact in int.
int16_t MeanToEven(int a, int b) {
    const int sum = a + b;
    int half = sum >> 1; // floor
    if ((sum & 1) && (half & 1)) ++half;
    return int16_t(half);
}

} // namespace

std::vector<uint8_t> MakeClipBlock(const TWaveHeader& header, uint32_t dataBytes) {
    std::vector<uint8_t> block(size_t(dataBytes) + sizeof(TWaveHeader));
    TWaveHeader clip = header;
    clip.RiffSize = dataBytes + 36;
    clip.DataSize = dataBytes;
    std::memcpy(block.data(), &clip, sizeof clip);
    return block;
}

TClipView ParseClip(const uint8_t* block, size_t size, uint16_t docChannels) {
    if (!block || size < sizeof(TWaveHeader)) throw Exception(InvalidClipText);
    const uint16_t channels = ReadLE16(block + ChannelsOffset);
    const uint32_t dataSize = ReadLE32(block + DataSizeOffset);
    if (channels == 0 || dataSize > size - sizeof(TWaveHeader)) throw Exception(InvalidClipText);
    const bool monoStereo =
        (channels == 1 && docChannels == 2) || (channels == 2 && docChannels == 1);
    if (channels != docChannels && !monoStereo) throw Exception(InvalidClipText);
    TClipView clip;
    clip.Data = block + sizeof(TWaveHeader);
    clip.Channels = channels;
    clip.Frames = dataSize / (uint32_t(channels) * 2);
    clip.SampleRate = ReadLE32(block + RateOffset);
    return clip;
}

std::string ClipRateMismatchText(uint32_t clipRate, uint32_t docRate) {
    return "The sound on the clipboard has a sample rate of " + std::to_string(clipRate) +
           " Hz, the document " + std::to_string(docRate) +
           " Hz. Convert one of them to the other's rate before pasting.";
}

void ConvertClipValues(const TClipView& clip, uint16_t docChannels, uint64_t firstValue,
                       uint32_t count, int16_t* out) {
    if (clip.Channels == docChannels) {
        std::memcpy(out, clip.Data + 2 * firstValue, size_t(count) * 2);
    } else if (clip.Channels == 1) { // to stereo: value v is clip value v div 2
        for (uint32_t k = 0; k < count; ++k)
            out[k] = ValueAt(clip.Data, (firstValue + k) / 2);
    } else { // stereo to mono: value v is the mean of clip frame v
        for (uint32_t k = 0; k < count; ++k)
            out[k] = MeanToEven(ValueAt(clip.Data, 2 * (firstValue + k)),
                                ValueAt(clip.Data, 2 * (firstValue + k) + 1));
    }
}

} // namespace orvella
