#include "engine/waveclip.h"

#include "engine/errors.h"

#include <cstring>
#include <vector>

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

float FloatAt(const uint8_t* data, uint64_t index) {
    float v;
    std::memcpy(&v, data + 4 * index, 4);
    return v;
}

constexpr size_t FormatTagOffset = 20;
constexpr size_t BitsOffset = 34;

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
    const bool isFloat = ReadLE16(block + FormatTagOffset) == 3 && ReadLE16(block + BitsOffset) == 32;
    clip.Format = isFloat ? TSampleFormat::Float32 : TSampleFormat::Int16;
    clip.Frames = dataSize / (uint32_t(channels) * uint32_t(SampleBytes(clip.Format)));
    clip.SampleRate = ReadLE32(block + RateOffset);
    return clip;
}

std::string ClipRateMismatchText(uint32_t clipRate, uint32_t docRate) {
    return "The sound on the clipboard has a sample rate of " + std::to_string(clipRate) +
           " Hz, the document " + std::to_string(docRate) +
           " Hz. Convert one of them to the other's rate before pasting.";
}

namespace {

// The clip's value v as docChannels values per frame, in its own type.
template <class T, class Get, class Mean>
void MapClipValues(const TClipView& clip, uint16_t docChannels, uint64_t firstValue, uint32_t count,
                   T* out, Get get, Mean mean) {
    if (clip.Channels == docChannels) {
        for (uint32_t k = 0; k < count; ++k)
            out[k] = get(clip.Data, firstValue + k);
    } else if (clip.Channels == 1) { // to stereo: value v is clip value v div 2
        for (uint32_t k = 0; k < count; ++k)
            out[k] = get(clip.Data, (firstValue + k) / 2);
    } else { // stereo to mono: value v is the mean of clip frame v
        for (uint32_t k = 0; k < count; ++k)
            out[k] = mean(get(clip.Data, 2 * (firstValue + k)),
                          get(clip.Data, 2 * (firstValue + k) + 1));
    }
}

float FloatMean(float a, float b) {
    return (a + b) * 0.5f;
}

} // namespace

void ConvertClipValues(const TClipView& clip, uint16_t docChannels, uint64_t firstValue,
                       uint32_t count, int16_t* out, TSampleReducer& reducer) {
    if (clip.Format == TSampleFormat::Int16) {
        if (clip.Channels == docChannels)
            std::memcpy(out, clip.Data + 2 * firstValue, size_t(count) * 2);
        else
            MapClipValues(clip, docChannels, firstValue, count, out, ValueAt, MeanToEven);
        return;
    }
    std::vector<float> values(count);
    MapClipValues(clip, docChannels, firstValue, count, values.data(), FloatAt, FloatMean);
    for (uint32_t k = 0; k < count; ++k)
        out[k] = int16_t(reducer.Reduce(values[k]));
}

void ConvertClipValues(const TClipView& clip, uint16_t docChannels, uint64_t firstValue,
                       uint32_t count, float* out, TSampleReducer&) {
    if (clip.Format == TSampleFormat::Float32)
        MapClipValues(clip, docChannels, firstValue, count, out, FloatAt, FloatMean);
    else
        MapClipValues(
            clip, docChannels, firstValue, count, out,
            [](const uint8_t* data, uint64_t i) { return float(ValueAt(data, i)) / 32768.0f; },
            FloatMean);
}

} // namespace orvella
