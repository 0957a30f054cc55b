#pragma once
// TStreamPeakBuilder watches a converted stream of interleaved 16-bit values and builds its peak
// index and peaks on the way (the same rules as the document's peak scan), so a conversion needs no
// second pass over its result. Thread rule: one thread at a time.

#include "engine/document.h"

#include <cstdint>
#include <vector>

namespace orvella {

class TStreamPeakBuilder {
public:
    explicit TStreamPeakBuilder(int channels);

    // Takes byteCount / 2 values.
    void Feed(const int16_t* values, uint32_t byteCount);
    // Closes the last block and hands out the index.
    TPeakIndexEntries GetIndex();
    void GetPeaks(int16_t& peakLeft, int16_t& peakRight, int16_t& peak, int& peakDb) const;

private:
    void FlushBlock();

    std::vector<int16_t> Buffer;
    TPeakIndexEntries Index;
    int Channels;
    int PeakLeft = 0, PeakRight = 0;
    uint32_t Fill = 0;
    int Peak = 0;
    int PeakDb = -90;
};

} // namespace orvella
