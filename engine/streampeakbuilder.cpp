#include "engine/streampeakbuilder.h"

#include "engine/peakscan.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace orvella {

TStreamPeakBuilder::TStreamPeakBuilder(int channels)
    : Buffer(size_t(channels) * PeakBlockFrames)
    , Channels(channels) {}

void TStreamPeakBuilder::Feed(const int16_t* values, uint32_t byteCount) {
    uint32_t n = byteCount / 2;
    while (n > 0) {
        // A full block is closed only when the next value arrives, so a stream whose length is a
        // whole number of blocks ends without an empty block.
        if (Fill == Buffer.size()) {
            FlushBlock();
            Fill = 0;
        }
        const uint32_t take = std::min<uint32_t>(n, uint32_t(Buffer.size()) - Fill);
        std::memcpy(Buffer.data() + Fill, values, size_t(take) * 2);
        Fill += take;
        values += take;
        n -= take;
    }
}

void TStreamPeakBuilder::FlushBlock() {
    const uint32_t frames = Fill / uint32_t(Channels);
    std::vector<int16_t> max(Channels, 0), min(Channels, 0);
    AccumulateMaxMin(Buffer.data(), frames * uint32_t(Channels), 0, Channels, max.data(),
                     min.data());
    for (int c = 0; c < Channels; ++c)
        Index.push_back(TIndexEntry{max[c], min[c]});
    PeakLeft = std::max(PeakLeft, std::abs(int(max[0])));
    PeakRight = Channels >= 2 ? std::max(PeakRight, std::abs(int(max[1]))) : PeakLeft;
    Peak = std::max(PeakLeft, PeakRight);
    PeakDb = Peak != 0 ? int(std::nearbyint(20.0 * std::log10(Peak / 32768.0))) : -90;
}

TPeakIndexEntries TStreamPeakBuilder::GetIndex() {
    FlushBlock();
    Fill = 0;
    return Index;
}

void TStreamPeakBuilder::GetPeaks(int16_t& peakLeft, int16_t& peakRight, int16_t& peak,
                                  int& peakDb) const {
    peakLeft = int16_t(PeakLeft);
    peakRight = int16_t(PeakRight);
    peak = int16_t(Peak);
    peakDb = PeakDb;
}

} // namespace orvella
