#pragma once
// The peak index: one maximum and one minimum per channel and block of PeakBlockFrames frames,
// and the builder that makes it from the values in order.
// Thread rule: a builder is used by one thread.

#include <cstdint>
#include <vector>

namespace orvella {

// One channel's maximum and minimum over one block of PeakBlockFrames frames.
struct TIndexEntry {
    int16_t Max;
    int16_t Min;
};
using TPeakIndexEntries = std::vector<TIndexEntry>;

constexpr uint32_t PeakBlockFrames = 512;

// The index of a float sound holds display values: full scale (±1.0) maps to ±FloatDisplayScale,
// and values beyond it to ±(FloatDisplayScale + 1), so that a reader can tell them apart.
constexpr int FloatDisplayScale = 32766;
int16_t FloatDisplayValue(float value);

// Builds the index of a sound of frames (> PeakBlockFrames) frames: B = frames div 512 blocks of
// 512 frames and block B with the rest (possibly none), each channel's max and min starting at 0.
// The channel peaks are the largest block maxima (so never negative); mono's right peak is its
// left one.
class TPeakBuilder {
public:
    TPeakBuilder(uint32_t frames, int channels);
    // The next n values of the sound, in order.
    void Feed(const int16_t* values, uint32_t n);
    // The same for a float sound: the index gets display values, the levels the values.
    void Feed(const float* values, uint32_t n);
    // Whole blocks closed so far, and B.
    uint32_t BlocksDone() const { return uint32_t(Block); }
    uint32_t Blocks() const { return BlockCount; }
    // True when the builder was made for this sound and has been fed all of its values.
    bool IsCompleteFor(uint32_t frames, int channels) const {
        return channels == Channels && int64_t(frames) * channels == TotalValues &&
               Next == TotalValues;
    }
    // After all values: the index and the peaks.
    TPeakIndexEntries Finish(int16_t& peakLeft, int16_t& peakRight);
    // After all values of a float sound: each channel's largest value (at least 0), full scale
    // 1.0; mono's right level is its left one.
    float LevelLeft() const { return Level[0]; }
    float LevelRight() const { return Channels >= 2 ? Level[1] : Level[0]; }

private:
    void CloseBlock(uint32_t block);

    int Channels;
    uint32_t BlockCount;
    int64_t BlockValues, TotalValues;
    int64_t Next = 0; // index of the next value fed
    int64_t Block = 0, BlockEnd;
    TPeakIndexEntries Index;
    std::vector<int16_t> Max, Min;
    int16_t PeakLeft = 0, PeakRight = 0;
    float Level[2] = {0, 0};
    std::vector<int16_t> Display; // a float chunk's display values
};

} // namespace orvella
