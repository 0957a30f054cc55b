#pragma once
// TSampleReducer turns float values (full scale ±1.0) into integers of 16, 24 or 32 bits, the
// way a float document is written to a narrower format.
//
// With dither (the default), triangular (TPDF) noise of ±1 step at the target's precision is
// added before rounding, so that the rounding error becomes a constant, signal-independent hiss
// instead of distortion that follows the signal; values already on the target's grid (a 24-bit
// source's, a 16-bit paste's) get none and pass exactly. Without it, values are rounded to nearest (ties
// to even). 32-bit targets hold every float value exactly and get no noise. Values beyond the
// target's range are limited to it; those beyond full scale are counted.
// Thread rule: one reducer per thread (it keeps the noise generator's state).

#include <cstdint>

namespace orvella {

class TSampleReducer {
public:
    TSampleReducer(int bits, bool dither);

    int32_t Reduce(float value);
    // Values seen so far whose magnitude passed full scale (1.0).
    uint64_t Clipped() const { return ClippedCount; }

private:
    // Uniform in [0, 1), from a xorshift generator: fast, and the same sequence on every run, so
    // a save is reproducible.
    double NextUniform();

    double Scale;
    double Low, High;
    bool Dither;
    uint64_t State = 0x9E3779B97F4A7C15ull;
    uint64_t ClippedCount = 0;
};

} // namespace orvella
