#include "engine/peakscan.h"

#include "engine/samplekernels.h"
#include "engine/samplekernels_avx2.h"
#include "engine/vectorclones.h"

#include <algorithm>

namespace orvella {

namespace {

// Lanes of the vector accumulators; a multiple of every channel count it serves.
constexpr int Lanes = 64;

template <int Half>
inline void FoldIfWhole(int16_t* laneMax, int16_t* laneMin, int channels, int& width) {
    if (width != 2 * Half || Half % channels != 0) return;
    for (int k = 0; k < Half; ++k) {
        laneMax[k] = laneMax[k] < laneMax[k + Half] ? laneMax[k + Half] : laneMax[k];
        laneMin[k] = laneMin[k + Half] < laneMin[k] ? laneMin[k + Half] : laneMin[k];
    }
    width = Half;
}

ORVELLA_VECTOR_CLONES void AccumulateByLanes(const int16_t* p, uint32_t n, int firstChannel,
                                             int channels, int16_t* max, int16_t* min) {
    int16_t laneMax[Lanes], laneMin[Lanes];
    for (int k = 0; k < Lanes; ++k)
        laneMax[k] = laneMin[k] = 0;
    uint32_t i = 0;
    // Written so that the compiler turns it into packed max/min instructions.
    // (Values by copy, not std::max's references: those hide from the compiler that the lanes
    // never alias p.)
    for (; i + Lanes <= n; i += Lanes) {
        const int16_t* q = p + i;
        for (int k = 0; k < Lanes; ++k) {
            const int16_t v = q[k];
            laneMax[k] = laneMax[k] < v ? v : laneMax[k];
            laneMin[k] = v < laneMin[k] ? v : laneMin[k];
        }
    }
    // Lane k holds channel (firstChannel + k) mod channels, and so does lane k + half while half
    // is a multiple of channels: fold the upper half onto the lower one, with packed operations.
    int width = Lanes;
    FoldIfWhole<32>(laneMax, laneMin, channels, width);
    FoldIfWhole<16>(laneMax, laneMin, channels, width);
    FoldIfWhole<8>(laneMax, laneMin, channels, width);
    FoldIfWhole<4>(laneMax, laneMin, channels, width);
    FoldIfWhole<2>(laneMax, laneMin, channels, width);
    FoldIfWhole<1>(laneMax, laneMin, channels, width);
    for (int k = 0, c = firstChannel; k < width; ++k) {
        max[c] = std::max(max[c], laneMax[k]);
        min[c] = std::min(min[c], laneMin[k]);
        if (++c == channels) c = 0;
    }
    for (int c = (firstChannel + int(i % uint32_t(channels))) % channels; i < n; ++i) {
        max[c] = std::max(max[c], p[i]);
        min[c] = std::min(min[c], p[i]);
        if (++c == channels) c = 0;
    }
}

} // namespace

void AccumulateMaxMin(const int16_t* p, uint32_t n, int firstChannel, int channels, int16_t* max,
                      int16_t* min) {
    if ((channels == 1 || channels == 2) && UseAvx2()) {
        avx2::AccumulateMaxMin(p, n, firstChannel, channels, max, min);
        return;
    }
    if (Lanes % channels == 0) {
        AccumulateByLanes(p, n, firstChannel, channels, max, min);
        return;
    }
    for (uint32_t i = 0, c = uint32_t(firstChannel); i < n; ++i) {
        max[c] = std::max(max[c], p[i]);
        min[c] = std::min(min[c], p[i]);
        if (++c == uint32_t(channels)) c = 0;
    }
}

} // namespace orvella
