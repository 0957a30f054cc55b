#pragma once
// AVX-512 (F, BW, VL, DQ) versions of the hot effect loops, chosen at run time by samplekernels.cpp
// where the processor has them (this file alone is compiled for them): eight doubles a step
// instead of four. Each gives exactly the results of its portable loop.
// Thread rule: pure functions.

#include <cstddef>
#include <cstdint>

namespace orvella::avx512 {

void ScaleRounded(const int16_t* src, int16_t* dst, size_t n, double factor);
void ScaleTruncated(const int16_t* src, int16_t* dst, size_t n, float factor);
// dst[k] := src[k] * gain[k] rounded to nearest, ties to even; returns whether a product came
// within margin of a half.
int RoundProducts(const int16_t* src, const double* gain, int16_t* dst, size_t n, double margin);
// As RoundProducts for stereo frames: both values of frame f take gain[f].
int RoundStereoProducts(const int16_t* src, const double* gain, int16_t* dst, size_t frames,
                        double margin);

} // namespace orvella::avx512
