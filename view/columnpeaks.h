#pragma once
// The maximum and minimum that each pixel column of the waveform shows, per channel.
//
// Direct mode (fewer than PeakBlockFrames frames per column) reads the column's values from the
// sample store; overview mode reads the peak index, one entry per 512-frame block, through a
// coarser summary of groups of blocks that keeps, per group, where its extremes first occur, so
// a long document shown whole costs a few thousand reads instead of every index entry while the
// columns stay exactly those of the plain block loop (including the swap that draws the extreme
// reached first in time first).
// Thread rule: the functions are reentrant; a TPeakSummary is immutable once built.

#include "engine/peakindex.h"
#include "engine/samplestore.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace orvella::view {

// Column x, channel c at [x * Channels + c]. A column without data (its blocks are missing from
// the index) has Valid[x] false.
struct TColumnExtremes {
    int Channels = 0;
    int Columns = 0;
    std::vector<int16_t> Max, Min;
    std::vector<uint8_t> Valid;
    void Reset(int columns, int channels);
};

// Direct mode: column x covers frames Trunc(x * spp) + viewStart .. that + Trunc(spp), cut at the
// last frame of the document. Reads the values in blocks (ReadBlock), not one call per value.
void DirectColumns(TSampleStore& store, uint32_t frames, int channels, uint32_t viewStart,
                   double spp, int columns, TColumnExtremes& out);

// The extremes of groups of SummaryBlocks index blocks, with the block where each first occurs.
class TPeakSummary {
public:
    static constexpr uint32_t SummaryBlocks = 64;
    TPeakSummary(std::shared_ptr<const TPeakIndexEntries> index, int channels);

    const std::shared_ptr<const TPeakIndexEntries>& Index() const { return FIndex; }
    int Channels() const { return FChannels; }
    uint32_t Blocks() const { return FBlocks; }

    struct TGroup {
        int16_t Max, Min;
        uint32_t MaxBlock, MinBlock; // absolute block of the first occurrence
    };
    const TGroup& Group(uint32_t group, int channel) const {
        return Groups[size_t(group) * FChannels + channel];
    }

private:
    std::shared_ptr<const TPeakIndexEntries> FIndex;
    int FChannels;
    uint32_t FBlocks;
    std::vector<TGroup> Groups;
};

// Overview mode: column x covers blocks b = Trunc((x * spp + viewStart) / 512) .. b + Trunc(spp /
// 512), cut at the document's last block. Columns whose blocks the index does not hold are left
// invalid: an index shorter than the document needs, or one of a document of a single block
// (which has no index of its own), is never read.
void OverviewColumns(const TPeakSummary& summary, uint32_t frames, uint32_t viewStart, double spp,
                     int columns, TColumnExtremes& out);
// The same from every index entry in view, one by one: the reference the summary must match.
void OverviewColumnsPlain(const TPeakIndexEntries& index, int channels, uint32_t frames,
                          uint32_t viewStart, double spp, int columns, TColumnExtremes& out);

} // namespace orvella::view
