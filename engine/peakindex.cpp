#include "engine/peakindex.h"

#include "engine/peakscan.h"

#include <algorithm>
#include <cmath>

namespace orvella {

TPeakBuilder::TPeakBuilder(uint32_t frames, int channels)
    : Channels(channels)
    , BlockCount(frames / PeakBlockFrames)
    , BlockValues(int64_t(PeakBlockFrames) * channels)
    , TotalValues(int64_t(frames) * channels)
    , BlockEnd(std::min(BlockValues, TotalValues))
    , Index(size_t(BlockCount + 1) * channels, TIndexEntry{0, 0})
    , Max(channels, 0)
    , Min(channels, 0) {}

void TPeakBuilder::CloseBlock(uint32_t block) {
    for (int c = 0; c < Channels; ++c) {
        Index[size_t(block) * Channels + c] = TIndexEntry{Max[c], Min[c]};
        Max[c] = 0;
        Min[c] = 0;
    }
    // Only the block maxima count; they start at 0, so they are never negative.
    PeakLeft = std::max(PeakLeft, Index[size_t(block) * Channels].Max);
    if (Channels >= 2) PeakRight = std::max(PeakRight, Index[size_t(block) * Channels + 1].Max);
}

void TPeakBuilder::Feed(const int16_t* p, uint32_t n) {
    int64_t i = Next;
    const int64_t stop = std::min(i + n, TotalValues);
    while (i < stop) {
        const int64_t segmentEnd = std::min(stop, BlockEnd);
        AccumulateMaxMin(p, uint32_t(segmentEnd - i), int(i % Channels), Channels, Max.data(),
                         Min.data());
        p += segmentEnd - i;
        i = segmentEnd;
        if (i == BlockEnd && Block < int64_t(BlockCount)) {
            CloseBlock(uint32_t(Block));
            ++Block;
            BlockEnd = std::min(BlockEnd + BlockValues, TotalValues);
        }
    }
    Next = i;
}

int16_t FloatDisplayValue(float value) {
    if (value > 1.0f) return FloatDisplayScale + 1;
    if (value < -1.0f) return -(FloatDisplayScale + 1);
    if (!(value == value)) return 0; // NaN
    return int16_t(std::lrint(value * float(FloatDisplayScale)));
}

void TPeakBuilder::Feed(const float* values, uint32_t n) {
    const int channels = std::min(Channels, 2);
    int c = int(Next % Channels);
    for (uint32_t k = 0; k < n; ++k) {
        if (c < channels && values[k] > Level[c]) Level[c] = values[k];
        if (++c == Channels) c = 0;
    }
    Display.resize(n);
    for (uint32_t k = 0; k < n; ++k) Display[k] = FloatDisplayValue(values[k]);
    Feed(Display.data(), n);
}

TPeakIndexEntries TPeakBuilder::Finish(int16_t& peakLeft, int16_t& peakRight) {
    // Block B: the remainder, possibly empty.
    CloseBlock(BlockCount);
    if (Channels < 2) PeakRight = PeakLeft;
    peakLeft = PeakLeft;
    peakRight = PeakRight;
    return std::move(Index);
}

} // namespace orvella
