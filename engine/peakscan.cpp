#include "engine/peakscan.h"

#include <algorithm>

namespace orvella {

namespace {

// Lanes of the vector accumulators; a multiple of every channel count it serves.
constexpr int Lanes = 32;

void AccumulateByLanes(const int16_t* p, uint32_t n, int firstChannel, int channels, int16_t* max,
                       int16_t* min) {
    int16_t laneMax[Lanes], laneMin[Lanes];
    for (int k = 0; k < Lanes; ++k)
        laneMax[k] = laneMin[k] = 0;
    uint32_t i = 0;
    // Written so that the compiler turns it into packed max/min instructions.
    for (; i + Lanes <= n; i += Lanes) {
        for (int k = 0; k < Lanes; ++k) {
            laneMax[k] = std::max(laneMax[k], p[i + k]);
            laneMin[k] = std::min(laneMin[k], p[i + k]);
        }
    }
    for (int k = 0; k < Lanes; ++k) {
        const int c = (firstChannel + k) % channels;
        max[c] = std::max(max[c], laneMax[k]);
        min[c] = std::min(min[c], laneMin[k]);
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
