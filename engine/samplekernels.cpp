#include "engine/samplekernels.h"

#include "engine/samplekernels_avx2.h"
#include "engine/samplekernels_avx512.h"
#include "engine/vectorclones.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <numbers>

namespace orvella {

namespace {

// Adding and subtracting 1.5 * 2^52 rounds a double below 2^51 in magnitude to an integer, ties to
// even (in the default rounding mode): the same as nearbyint, but vectorisable without SSE4.1.
constexpr double RoundMagic = 6755399441055744.0;

inline double RoundToEven(double p) {
    return (p + RoundMagic) - RoundMagic;
}

// How far from a half an approximated product must stay for its rounding to be certain: the
// approximated gain is within 1e-14 of the exact one, so the product is within 32768 * 1e-14
// (plus two rounding steps) of the exact product; this bound leaves a wide safety gap.
constexpr double TieMargin = 1e-8;

std::atomic<TKernelPath> FastestAllowed{TKernelPath::Avx512};

} // namespace

bool UseAvx512() {
#if defined(__x86_64__)
    static const bool available =
        __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq");
    return available && FastestAllowed.load(std::memory_order_relaxed) == TKernelPath::Avx512;
#else
    return false;
#endif
}

bool UseAvx2() {
#if defined(__x86_64__)
    static const bool available = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return available && FastestAllowed.load(std::memory_order_relaxed) != TKernelPath::Portable;
#else
    return false;
#endif
}

void LimitKernelPath(TKernelPath path) {
    FastestAllowed = path;
}

// Rounding and truncation are monotone and the limits are integers: limiting the product first
// gives the same results, and keeps it in the range where RoundToEven is exact.
ORVELLA_VECTOR_CLONES void ScaleRounded(const int16_t* src, int16_t* dst, size_t n, double factor) {
    if (UseAvx512()) return avx512::ScaleRounded(src, dst, n, factor);
    if (UseAvx2()) return avx2::ScaleRounded(src, dst, n, factor);
    for (size_t k = 0; k < n; ++k) {
        const double p = std::min(std::max(double(src[k]) * factor, -32767.0), 32767.0);
        dst[k] = int16_t(int32_t(RoundToEven(p)));
    }
}

ORVELLA_VECTOR_CLONES void ScaleTruncated(const int16_t* src, int16_t* dst, size_t n,
                                          float factor) {
    if (UseAvx512()) return avx512::ScaleTruncated(src, dst, n, factor);
    if (UseAvx2()) return avx2::ScaleTruncated(src, dst, n, factor);
    const double f = factor;
    for (size_t k = 0; k < n; ++k) {
        const double p = std::min(std::max(double(src[k]) * f, -32767.0), 32767.0);
        dst[k] = int16_t(int32_t(p)); // the conversion truncates toward zero
    }
}

void Negate(const int16_t* src, int16_t* dst, size_t n) {
    for (size_t k = 0; k < n; ++k)
        dst[k] = int16_t(uint16_t(0u - uint16_t(src[k])));
}

template <class T> void ReverseFrames(const T* src, T* dst, size_t frames, int channels) {
    if (channels == 1) {
        for (size_t f = 0; f < frames; ++f)
            dst[frames - 1 - f] = src[f];
    } else if (channels == 2) {
        for (size_t f = 0; f < frames; ++f) {
            dst[2 * (frames - 1 - f)] = src[2 * f];
            dst[2 * (frames - 1 - f) + 1] = src[2 * f + 1];
        }
    } else {
        for (size_t f = 0; f < frames; ++f)
            std::copy_n(src + f * channels, channels, dst + (frames - 1 - f) * channels);
    }
}

template void ReverseFrames<int16_t>(const int16_t*, int16_t*, size_t, int);
template void ReverseFrames<float>(const float*, float*, size_t, int);

void Scale(const float* src, float* dst, size_t n, float factor) {
    for (size_t k = 0; k < n; ++k) dst[k] = src[k] * factor;
}

void Negate(const float* src, float* dst, size_t n) {
    for (size_t k = 0; k < n; ++k) dst[k] = -src[k];
}

TFadeGains::TFadeGains(bool fadeIn, uint64_t frames)
    : FadeIn(fadeIn)
    , Step(frames ? 90.0 / double(frames) : 0.0)
    , SinOffset(BlockFrames)
    , CosOffset(BlockFrames) {
    for (uint32_t k = 0; k < BlockFrames; ++k) {
        SinOffset[k] = std::sin(Angle(k));
        CosOffset[k] = std::cos(Angle(k));
    }
}

double TFadeGains::Angle(uint64_t j) const {
    return double(j) * Step * std::numbers::pi / 200.0;
}

double TFadeGains::Exact(uint64_t j) const {
    return FadeIn ? std::sin(Angle(j)) : std::cos(Angle(j));
}

namespace {

// out[k] := a * x[k] + b * y[k]: the sine or cosine of a sum of two angles.
ORVELLA_VECTOR_CLONES void AngleSum(double a, const double* x, double b, const double* y,
                                    double* out, uint32_t count) {
    for (uint32_t k = 0; k < count; ++k)
        out[k] = a * x[k] + b * y[k];
}

} // namespace

void TFadeGains::Approximate(uint64_t j0, uint32_t count, double* out) const {
    const double s = std::sin(Angle(j0)), c = std::cos(Angle(j0));
    if (FadeIn)
        AngleSum(s, CosOffset.data(), c, SinOffset.data(), out, count);
    else
        AngleSum(c, CosOffset.data(), -s, SinOffset.data(), out, count);
    out[0] = FadeIn ? s : c;
}

namespace {

// The products of values and gains rounded to nearest, ties to even; returns whether any product
// came within TieMargin of a half.
ORVELLA_VECTOR_CLONES int RoundProducts(const int16_t* src, const double* gain, int16_t* dst,
                                        size_t n) {
    if (UseAvx512()) return avx512::RoundProducts(src, gain, dst, n, TieMargin);
    if (UseAvx2()) return avx2::RoundProducts(src, gain, dst, n, TieMargin);
    int nearTie = 0;
    for (size_t k = 0; k < n; ++k) {
        const double p = double(src[k]) * gain[k];
        const double r = RoundToEven(p);
        nearTie |= int(std::fabs(p - r) > 0.5 - TieMargin);
        dst[k] = int16_t(int32_t(r));
    }
    return nearTie;
}

// As RoundProducts for stereo frames: both values of frame f take gain[f].
ORVELLA_VECTOR_CLONES int RoundStereoProducts(const int16_t* src, const double* gain, int16_t* dst,
                                              size_t frames) {
    if (UseAvx512()) return avx512::RoundStereoProducts(src, gain, dst, frames, TieMargin);
    if (UseAvx2()) return avx2::RoundStereoProducts(src, gain, dst, frames, TieMargin);
    int nearTie = 0;
    for (size_t f = 0; f < frames; ++f) {
        const double p0 = double(src[2 * f]) * gain[f];
        const double p1 = double(src[2 * f + 1]) * gain[f];
        const double r0 = RoundToEven(p0), r1 = RoundToEven(p1);
        nearTie |=
            int(std::fabs(p0 - r0) > 0.5 - TieMargin) | int(std::fabs(p1 - r1) > 0.5 - TieMargin);
        dst[2 * f] = int16_t(int32_t(r0));
        dst[2 * f + 1] = int16_t(int32_t(r1));
    }
    return nearTie;
}

} // namespace

void TFadeGains::Apply(const int16_t* src, int16_t* dst, size_t n, uint64_t firstValue,
                       int channels) const {
    const size_t ch = size_t(channels);
    double frameGain[BlockFrames];
    std::vector<double> valueGain(ch > 1 ? BlockFrames * ch : 0);
    while (n > 0) {
        const uint64_t frame0 = firstValue / ch;
        const size_t lead = size_t(firstValue % ch); // values of frame0 before src[0]
        const size_t frames = std::min<size_t>(BlockFrames, (lead + n + ch - 1) / ch);
        const size_t m = std::min(n, frames * ch - lead);
        Approximate(frame0, uint32_t(frames), frameGain);
        int nearTie;
        if (ch == 2 && lead == 0 && m % 2 == 0) {
            nearTie = RoundStereoProducts(src, frameGain, dst, m / 2);
        } else {
            const double* gain = frameGain;
            if (ch > 1) {
                for (size_t f = 0; f < frames; ++f)
                    for (size_t c = 0; c < ch; ++c)
                        valueGain[f * ch + c] = frameGain[f];
                gain = valueGain.data() + lead;
            }
            nearTie = RoundProducts(src, gain, dst, m);
        }
        if (nearTie) {
            // Too close to a half to trust the approximation: take the exact gain.
            for (size_t k = 0; k < m; ++k) {
                const size_t frame = (lead + k) / ch;
                const double p = double(src[k]) * frameGain[frame];
                if (std::fabs(p - RoundToEven(p)) > 0.5 - TieMargin)
                    dst[k] =
                        int16_t(int32_t(std::nearbyint(double(src[k]) * Exact(frame0 + frame))));
            }
        }
        src += m;
        dst += m;
        n -= m;
        firstValue += m;
    }
}

} // namespace orvella

namespace orvella {

void TFadeGains::Apply(const float* src, float* dst, size_t n, uint64_t firstValue,
                       int channels) const {
    const size_t ch = size_t(channels);
    double frameGain[BlockFrames];
    while (n > 0) {
        const uint64_t frame0 = firstValue / ch;
        const size_t lead = size_t(firstValue % ch);
        const size_t frames = std::min<size_t>(BlockFrames, (lead + n + ch - 1) / ch);
        const size_t m = std::min(n, frames * ch - lead);
        Approximate(frame0, uint32_t(frames), frameGain);
        for (size_t k = 0; k < m; ++k)
            dst[k] = float(double(src[k]) * frameGain[(lead + k) / ch]);
        src += m;
        dst += m;
        n -= m;
        firstValue += m;
    }
}

} // namespace orvella
