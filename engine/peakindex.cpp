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
    // The levels: running maxima in 16 lanes, value k in lane k mod 16, which vectorises; lane j
    // then belongs to channel (first + j) mod Channels when the channel count divides 16.
    const int first = int(Next % Channels);
    constexpr uint32_t Lanes = 16;
    if (Lanes % uint32_t(Channels) == 0) {
        float lane[Lanes];
        for (uint32_t j = 0; j < Lanes; ++j) lane[j] = Level[(first + int(j)) % Channels % 2];
        uint32_t k = 0;
        for (; k + Lanes <= n; k += Lanes)
            for (uint32_t j = 0; j < Lanes; ++j)
                lane[j] = lane[j] > values[k + j] ? lane[j] : values[k + j];
        for (uint32_t j = 0; k + j < n; ++j)
            lane[j] = lane[j] > values[k + j] ? lane[j] : values[k + j];
        for (uint32_t j = 0; j < Lanes; ++j) {
            const int c = (first + int(j)) % Channels;
            if (c < 2) Level[c] = std::max(Level[c], lane[j]);
        }
    } else {
        for (int c = 0; c < std::min(Channels, 2); ++c)
            for (uint32_t k = uint32_t((c - first + Channels) % Channels); k < n; k += Channels)
                Level[c] = std::max(Level[c], values[k]);
    }
    // The display values, branch-free so that they vectorise: the same as FloatDisplayValue but
    // for ties, which round away from zero here (no pixel can show the difference).
    Display.resize(n);
    int16_t* out = Display.data();
    constexpr float Scale = float(FloatDisplayScale), Over = float(FloatDisplayScale + 1);
    for (uint32_t k = 0; k < n; ++k) {
        const float v = values[k];
        float d = v * Scale;
        d = v > 1.0f ? Over : d;
        d = v < -1.0f ? -Over : d;
        d = v != v ? 0.0f : d;
        out[k] = int16_t(int32_t(d + std::copysign(0.5f, d)));
    }
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
