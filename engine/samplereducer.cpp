#include "engine/samplereducer.h"

#include <cmath>

namespace orvella {

TSampleReducer::TSampleReducer(int bits, bool dither)
    : Scale(std::ldexp(1.0, bits - 1))
    , Low(-Scale)
    , High(Scale - 1)
    , Dither(dither && bits < 32) {}

double TSampleReducer::NextUniform() {
    State ^= State << 13;
    State ^= State >> 7;
    State ^= State << 17;
    return double(State >> 11) * 0x1.0p-53;
}

int32_t TSampleReducer::Reduce(float value) {
    if (value != value) return 0; // NaN
    if (value > 1.0f || value < -1.0f) ++ClippedCount;
    double scaled = double(value) * Scale;
    // The difference of two uniform values has the triangular density over (-1, 1). A value
    // already on the target's grid has nothing to hide: it is written as it is, so that a 24-bit
    // source saved back unedited stays identical.
    if (Dither && scaled != std::nearbyint(scaled)) scaled += NextUniform() - NextUniform();
    scaled = std::nearbyint(scaled);
    if (scaled > High) scaled = High;
    if (scaled < Low) scaled = Low;
    return int32_t(scaled);
}

} // namespace orvella
