#include "view/columnpeaks.h"

#include <algorithm>

namespace orvella::view {

void TColumnExtremes::Reset(int columns, int channels) {
    Columns = std::max(columns, 0);
    Channels = channels;
    Max.assign(size_t(Columns) * channels, -32768);
    Min.assign(size_t(Columns) * channels, 32767);
    Valid.assign(size_t(Columns), 1);
}

namespace {

// The store's values first .. last on the peak index's scale: a float store's as display values.
void ReadDisplayValues(TSampleStore& store, int16_t* out, int64_t first, int64_t last) {
    if (store.Format() == TSampleFormat::Int16) return store.ReadBlock(out, first, last);
    std::vector<float> values(size_t(last - first + 1));
    store.ReadBlock(values.data(), first, last);
    for (size_t k = 0; k < values.size(); ++k) out[k] = FloatDisplayValue(values[k]);
}

} // namespace

void DirectColumns(TSampleStore& store, uint32_t frames, int channels, uint32_t viewStart,
                   double spp, int columns, TColumnExtremes& out) {
    out.Reset(columns, channels);
    if (frames == 0 || channels <= 0) {
        std::fill(out.Valid.begin(), out.Valid.end(), 0);
        return;
    }
    const uint32_t valuesInStore = store.ValueCount();
    const uint32_t lastFrame = std::min<uint32_t>(frames - 1, valuesInStore / channels - 1);
    if (valuesInStore < uint32_t(channels)) {
        std::fill(out.Valid.begin(), out.Valid.end(), 0);
        return;
    }
    const int64_t width = int64_t(spp);
    // A buffer of frames [bufFirst, bufFirst + bufFrames), refilled from a column's first frame
    // when the column reaches past it.
    constexpr int64_t BufferFrames = 65536;
    std::vector<int16_t> buffer(size_t(BufferFrames + width + 1) * channels);
    int64_t bufFirst = 0, bufFrames = 0;
    for (int x = 0; x < columns; ++x) {
        const int64_t first = int64_t(x * spp) + viewStart;
        const int64_t last = std::min<int64_t>(first + width, lastFrame);
        if (first > int64_t(lastFrame)) {
            out.Valid[x] = 0;
            continue;
        }
        if (first < bufFirst || last >= bufFirst + bufFrames) {
            bufFirst = first;
            bufFrames = std::min<int64_t>(BufferFrames + width + 1, int64_t(lastFrame) - first + 1);
            ReadDisplayValues(store, buffer.data(), bufFirst * channels,
                              (bufFirst + bufFrames) * channels - 1);
        }
        const int16_t* v = buffer.data() + (first - bufFirst) * channels;
        const int64_t count = last - first + 1;
        int16_t* mx = &out.Max[size_t(x) * channels];
        int16_t* mn = &out.Min[size_t(x) * channels];
        if (channels == 1) {
            int16_t hi = mx[0], lo = mn[0];
            for (int64_t j = 0; j < count; ++j) {
                hi = std::max(hi, v[j]);
                lo = std::min(lo, v[j]);
            }
            mx[0] = hi;
            mn[0] = lo;
        } else if (channels == 2) {
            int16_t hl = mx[0], ll = mn[0], hr = mx[1], lr = mn[1];
            for (int64_t j = 0; j < count; ++j) {
                hl = std::max(hl, v[2 * j]);
                ll = std::min(ll, v[2 * j]);
                hr = std::max(hr, v[2 * j + 1]);
                lr = std::min(lr, v[2 * j + 1]);
            }
            mx[0] = hl, mn[0] = ll, mx[1] = hr, mn[1] = lr;
        } else {
            for (int64_t j = 0; j < count; ++j)
                for (int c = 0; c < channels; ++c) {
                    mx[c] = std::max(mx[c], v[j * channels + c]);
                    mn[c] = std::min(mn[c], v[j * channels + c]);
                }
        }
    }
}

TPeakSummary::TPeakSummary(std::shared_ptr<const TPeakIndexEntries> index, int channels)
    : FIndex(std::move(index))
    , FChannels(std::max(channels, 1))
    , FBlocks(uint32_t(FIndex->size() / FChannels)) {
    const uint32_t groups = (FBlocks + SummaryBlocks - 1) / SummaryBlocks;
    Groups.resize(size_t(groups) * FChannels);
    const TIndexEntry* entries = FIndex->data();
    for (uint32_t g = 0; g < groups; ++g) {
        const uint32_t first = g * SummaryBlocks;
        const uint32_t end = std::min(first + SummaryBlocks, FBlocks);
        for (int c = 0; c < FChannels; ++c) {
            TGroup group{-32768, 32767, first, first};
            for (uint32_t b = first; b < end; ++b) {
                const TIndexEntry& e = entries[size_t(b) * FChannels + c];
                if (e.Max > group.Max) group.Max = e.Max, group.MaxBlock = b;
                if (e.Min < group.Min) group.Min = e.Min, group.MinBlock = b;
            }
            Groups[size_t(g) * FChannels + c] = group;
        }
    }
}

namespace {

// Running extremes of one column and channel, with the block (counted from the column's first)
// where each was first reached.
struct TRunning {
    int16_t Max = -32768, Min = 32767;
    uint32_t MaxAt = 0, MinAt = 0;
    void Take(int16_t max, int16_t min, uint32_t maxAt, uint32_t minAt) {
        if (max > Max) Max = max, MaxAt = maxAt;
        if (min < Min) Min = min, MinAt = minAt;
    }
    // The extreme reached first in time is drawn first.
    void Store(int16_t& max, int16_t& min) const {
        max = Max, min = Min;
        if (MaxAt > MinAt) std::swap(max, min);
    }
};

// The blocks of column x: [first, last], or false when the index does not hold them.
bool ColumnBlocks(int x, double spp, uint32_t viewStart, uint32_t frames, uint32_t indexBlocks,
                  uint32_t& first, uint32_t& last) {
    first = uint32_t((x * spp + viewStart) / PeakBlockFrames);
    last = first + uint32_t(spp / PeakBlockFrames);
    if (frames == 0) return false;
    last = std::min(last, (frames - 1) / PeakBlockFrames);
    return first <= last && last < indexBlocks;
}

// Whether the index holds every block the document's frames need. A document of one block or
// less has no index of its own (what is there may be an earlier sound's).
bool IndexCovers(size_t entries, int channels, uint32_t frames) {
    return frames > PeakBlockFrames &&
           entries / channels >= size_t((frames - 1) / PeakBlockFrames) + 1;
}

} // namespace

void OverviewColumns(const TPeakSummary& summary, uint32_t frames, uint32_t viewStart, double spp,
                     int columns, TColumnExtremes& out) {
    const int n = summary.Channels();
    out.Reset(columns, n);
    const TIndexEntry* entries = summary.Index()->data();
    const bool covers = IndexCovers(summary.Index()->size(), n, frames);
    constexpr uint32_t G = TPeakSummary::SummaryBlocks;
    for (int x = 0; x < columns; ++x) {
        uint32_t b, e;
        if (!covers || !ColumnBlocks(x, spp, viewStart, frames, summary.Blocks(), b, e)) {
            out.Valid[x] = 0;
            continue;
        }
        for (int c = 0; c < n; ++c) {
            TRunning r;
            uint32_t block = b;
            while (block <= e) {
                if (block % G == 0 && block + G - 1 <= e) {
                    const auto& g = summary.Group(block / G, c);
                    r.Take(g.Max, g.Min, g.MaxBlock - b, g.MinBlock - b);
                    block += G;
                } else {
                    const TIndexEntry& entry = entries[size_t(block) * n + c];
                    r.Take(entry.Max, entry.Min, block - b, block - b);
                    ++block;
                }
            }
            r.Store(out.Max[size_t(x) * n + c], out.Min[size_t(x) * n + c]);
        }
    }
}

void OverviewColumnsPlain(const TPeakIndexEntries& index, int channels, uint32_t frames,
                          uint32_t viewStart, double spp, int columns, TColumnExtremes& out) {
    out.Reset(columns, channels);
    const bool covers = IndexCovers(index.size(), channels, frames);
    const uint32_t blocks = uint32_t(index.size() / channels);
    for (int x = 0; x < columns; ++x) {
        uint32_t b, e;
        if (!covers || !ColumnBlocks(x, spp, viewStart, frames, blocks, b, e)) {
            out.Valid[x] = 0;
            continue;
        }
        for (int c = 0; c < channels; ++c) {
            TRunning r;
            for (uint32_t j = 0; b + j <= e; ++j) {
                const TIndexEntry& entry = index[size_t(b + j) * channels + c];
                r.Take(entry.Max, entry.Min, j, j);
            }
            r.Store(out.Max[size_t(x) * channels + c], out.Min[size_t(x) * channels + c]);
        }
    }
}

} // namespace orvella::view
