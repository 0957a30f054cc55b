// Real discrete Fourier transform of power-of-two length, in place on floats.
//
// Forward, on x[0 .. n-1], with R[k] = sum_j x[j] cos(2 pi j k / n) and
// I[k] = sum_j x[j] sin(2 pi j k / n) (kernel e^(+2 pi i j k / n)):
//   data[0] = R[0], data[1] = R[n/2], data[2k] = R[k], data[2k+1] = I[k] for 0 < k < n/2.
// Inverse, on the same packing, returns n/2 times the exact inverse, so a forward
// transform followed by the inverse multiplies every value by n/2.
#pragma once

#include "velcora/alignedarray.h"

namespace velcora {

// Twiddle factors and scratch for one transform length. Built on the first transform
// of a length and reused, so transforms of an unchanged length allocate nothing.
// Thread rule: one FftTables serves one caller at a time.
class FftTables {
public:
    int length() const { return n_; }
    void build(int n);

    // The plan below is read by the transform code in realfft.cpp; callers only build
    // tables (or let the first transform do it) and pass them along.
    struct Stage {
        int radix;     // 4 or 2
        int span;      // length of the sub-transforms this stage splits
        int stride;    // distance between the sub-transforms' elements
        int twiddleAt; // offset of this stage's twiddles in the stage tables
    };

    int half_ = 0; // complex length n / 2
    int stageCount_ = 0;
    Stage stages_[32] = {};
    AlignedArray<float> fwdTwiddles_; // per radix-4 stage: w1, w2, w3 as re block, im block
    AlignedArray<float> invTwiddles_;
    AlignedArray<float> quadTwiddles_[2];     // forward, inverse: the stride-4 stage's, per lane
    AlignedArray<float> quadTwiddlesWide_[2]; // the same for sixteen lanes
    AlignedArray<float> splitCos_;            // cos(2 pi k / n), k = 0 .. n/4
    AlignedArray<float> splitSin_;
    AlignedArray<float> bufA_; // split-format complex work: re then im
    AlignedArray<float> bufB_;
    bool avx2_ = false;   // the processor runs the AVX2 kernels
    bool avx512_ = false; // and the AVX-512 ones

private:
    int n_ = 0; // real length
};

// direction: +1 forward, -1 inverse. n is a power of two, n >= 2.
void realFFT(int n, int direction, float* data, FftTables& tables);

// The forward transform of data[0 .. n/2 - 1] followed by n/2 zeros: the upper half of
// `data` is taken as zero whatever it holds (the first stage skips it). Same result as
// realFFT(n, 1, ...) on the zero-padded block.
void realFFTUpperHalfZero(int n, float* data, FftTables& tables);

// The even-indexed values of the inverse transform of length n: out[j] receives what
// realFFT(n, -1, ...) would leave in data[2j], j = 0 .. n/2 - 1. The spectrum is folded to
// length n/2 and transformed with `halfTables`; `data` is left changed. n >= 4.
void realInverseEven(int n, float* data, float* out, FftTables& halfTables);

// A packed spectrum of length n rearranged for the convolutions below: for k = 1 .. n/4, the
// real and imaginary parts of bin k and of bin n/2 - k in four blocks of n/4 + 1 values,
// so that the vector code reads each bin pair without lane moves. The values are copies:
// the convolutions give the same results with or without it.
void pairSpectrum(int n, const float* spectrum, AlignedArray<float>& paired);

// Fast convolution of one block: the forward transform of data[0 .. n/2 - 1] padded with
// zeros, the product with `spectrum` (packed as realFFT's output, see applySpectrum) and the
// inverse transform, in place, in fewer passes. Same values as realFFTUpperHalfZero,
// applySpectrum and realFFT(n, -1, ...) in turn. `paired`, when given, is pairSpectrum's
// layout of the same spectrum, which saves work.
void realConvolve(int n, float* data, const float* spectrum, FftTables& tables,
                  const float* paired = nullptr);

// The even values of realConvolve's result: out[j] is what it would leave in data[2j],
// j = 0 .. n/2 - 1, from the folded product and an inverse of length n/2 (halfTables).
// `data` is left changed. n >= 4. `paired` as for realConvolve.
void realConvolveEven(int n, float* data, const float* spectrum, float* out, FftTables& tables,
                      FftTables& halfTables, const float* paired = nullptr);

} // namespace velcora
