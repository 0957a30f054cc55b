// Kaiser-windowed sinc low-pass design for the two stages of the converters.
// All design arithmetic is double precision; every finished tap is stored as a float.
#pragma once

#include "velcora/alignedarray.h"
#include "velcora/realfft.h"

#include <cstdint>

namespace velcora {

// Kaiser window parameter for a stop-band attenuation in dB.
double kaiserBeta(double attenuation);
// Filter length times transition width over rate, for a stop-band attenuation in dB.
double lengthFactor(double attenuation);
// Modified Bessel function of the first kind, order 0, to double accuracy.
double besselI0(double x);

// Tap i (-(length-1)/2 .. (length-1)/2) of a Kaiser-windowed low-pass of odd length
// at `rate` Hz with `cutoff` Hz and pass-band `gain`, rounded to float.
float kaiserLowpassTap(long i, long length, double beta, double rate, double cutoff, double gain);

// Oversampling factor of the FFT stage for the slower rate's reduced ratio r:
// 1 when r = 1, 2 when r is even, 3 when r is a multiple of 3, otherwise 0 (unsupported).
int oversamplingFactor(std::uint32_t r);
std::uint32_t greatestCommonDivisor(std::uint32_t a, std::uint32_t b);

// Polyphase stage filter: `phases` rows of `taps` floats, row p holding the prototype
// taps p, p + phases, p + 2 phases, ...; entries no tap reaches are 0.
struct PolyphaseFilter {
    int length = 0; // taps of the prototype, odd
    int phases = 0;
    int taps = 0; // per phase
    AlignedArray<float> table;
    const float* row(int phase) const { return table.data() + static_cast<long>(phase) * taps; }
};

// Polyphase filter longer than this many taps is refused (length 0): it would only come
// from absurd attenuation requests.
constexpr long kMaxPolyphaseLength = 1L << 24;

// Designs the filter of rate fp with `phases` phases whose transition band lies between
// half the rate fs and half the rate ff; the gain `phases` restores the level lost by the
// zero insertion. Leaves length 0 when the design is refused.
PolyphaseFilter buildPolyphaseFilter(std::int64_t fp, int phases, std::int64_t fs, std::int64_t ff,
                                     double attenuation);

// How the FFT filter's cutoff follows from its transition width.
struct FftCutoffRule {
    double fixed = 0.0;        // cutoff in Hz when stopBandEdge is 0
    double stopBandEdge = 0.0; // otherwise cutoff = (stopBandEdge - width) / 2
    double cutoff(double width) const {
        return stopBandEdge > 0.0 ? (stopBandEdge - width) / 2.0 : fixed;
    }
};

// FFT filter longer than this is refused.
constexpr long kMaxFftFilterLength = 1L << 22;

struct FftFilter {
    int length = 0;   // Nf, odd; 0 when the design was refused
    int fftSize = 0;  // M, at least 2 Nf
    double width = 0; // transition width in Hz
    double cutoff = 0;
    AlignedArray<float> spectrum;       // forward transform of the taps, M floats
    AlignedArray<float> pairedSpectrum; // the same, as pairSpectrum lays it out
};

// Designs the long filter at rate ff, starting from `startLength` taps and doubling until
// its transition width is below `transitionWidth`; the taps carry gain * 2 / M so that the
// unnormalised inverse transform restores unit scale. Builds `tables` for length M.
FftFilter buildFftFilter(double ff, FftCutoffRule rule, double gain, double attenuation,
                         int startLength, double transitionWidth, FftTables& tables);

// Multiplies a block transformed by realFFT with a filter spectrum of the same packing.
void applySpectrum(float* block, const float* spectrum, int fftSize);

// The product of applySpectrum folded to length fftSize / 2 (bin k plus bin k + fftSize / 2),
// written to `folded` and left in `block` unchanged: the inverse transform of length
// fftSize / 2 of it gives the even values of the full-length inverse (see realInverseEven).
void applySpectrumFolded(const float* block, const float* spectrum, int fftSize, float* folded);

} // namespace velcora
