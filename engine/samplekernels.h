#pragma once
// The arithmetic of the sample effects over spans of values, a block at a time. Each function
// gives, value for value, what the per-value loop of its effect gives (see each comment); they
// are written so that the compiler vectorises them; where the processor has AVX-512 or AVX2 and
// FMA the hottest ones run hand-vectorised versions with the same results.
// Thread rule: pure functions; TFadeGains is immutable after construction.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvella {

// The hand-vectorised kernels, fastest first, and the portable loops.
enum class TKernelPath { Avx512, Avx2, Portable };
// Makes every function here, and the peak scan, use path or a slower one at most (for tests
// comparing the ways); Avx512 gives back the fastest the processor has.
void LimitKernelPath(TKernelPath path);
// Whether the AVX-512 kernels run: the processor has AVX-512 F, BW, VL and DQ, and they are not
// limited away.
bool UseAvx512();
// Whether the AVX2 kernels run: the processor has AVX2 and FMA, and they are not limited away.
bool UseAvx2();

// dst[k] := the nearest integer (ties to even) to src[k] * factor in double precision, limited
// to -32767 .. 32767.
void ScaleRounded(const int16_t* src, int16_t* dst, size_t n, double factor);

// dst[k] := src[k] * factor truncated toward zero, limited to -32767 .. 32767. The product of a
// 16-bit value and a single-precision factor is exact in double precision.
void ScaleTruncated(const int16_t* src, int16_t* dst, size_t n, float factor);

// dst[k] := the 16-bit two's complement negation of src[k] (-32768 stays -32768).
void Negate(const int16_t* src, int16_t* dst, size_t n);

// Writes the frames of src (channels values each) into dst in reverse order: dst frame
// frames - 1 - f := src frame f, its channels kept in place.
template <class T> void ReverseFrames(const T* src, T* dst, size_t frames, int channels);

// The float effects: plain single-precision arithmetic, nothing limited (a float document keeps
// values beyond full scale).
// dst[k] := src[k] * factor.
void Scale(const float* src, float* dst, size_t n, float factor);
// dst[k] := -src[k].
void Negate(const float* src, float* dst, size_t n);

// The gains of a fade over a range of n frames: frame j is scaled by sin (fade in) or cos (fade
// out) of the angle j * (90 / n) * pi / 200, and rounded to nearest with ties to even.
class TFadeGains {
public:
    TFadeGains(bool fadeIn, uint64_t frames);

    // The gain of frame j exactly as the per-frame loop computes it.
    double Exact(uint64_t j) const;

    // Scales the n values src[0 .. n-1], whose first is value firstValue of the range (value v
    // belongs to frame v div channels), into dst: the results of the per-value loop.
    void Apply(const int16_t* src, int16_t* dst, size_t n, uint64_t firstValue, int channels) const;
    // The same for float values: src[k] times the frame's gain, in single precision.
    void Apply(const float* src, float* dst, size_t n, uint64_t firstValue, int channels) const;

private:
    static constexpr uint32_t BlockFrames = 1024;
    double Angle(uint64_t j) const;
    // Gains of frames j0 .. j0 + count - 1 (count <= BlockFrames) within 1e-14 of Exact, from the
    // exact gain at j0 and the angle-sum formula.
    void Approximate(uint64_t j0, uint32_t count, double* out) const;

    bool FadeIn;
    double Step;
    std::vector<double> SinOffset, CosOffset; // of the angles of frames 0 .. BlockFrames - 1
};

} // namespace orvella
