// The real transform of length n runs as a complex transform of n/2 points on the
// pairs (x[2j], x[2j+1]) followed (forward) or preceded (inverse) by the split step
// that separates the spectra of the even and odd samples.
//
// The complex transform is a Stockham autosort FFT in split format (real and imaginary
// parts in separate arrays): radix-4 stages, plus one radix-2 stage at the end when the
// length is not a power of four. Each stage streams contiguously through the arrays, so
// its butterflies compile to vector code, and no bit-reversal pass is needed. The first
// forward stage reads the interleaved pairs and the last inverse stage writes them, so no
// separate (de)interleaving pass is made. The entry points are compiled twice, for AVX2
// with FMA and for the baseline, and the loader picks the one the processor runs.
// The vector kernels sit in one file per instruction set (realfft_avx2.h, realfft_avx512.h) but
// are compiled here, in this one unit, so that the entry points inline them as before.
#include "velcora/realfft.h"

#include "velcora/filterdesign.h"
#include "velcora/simd.h"

#include <cmath>
#include <cstring>
#include <type_traits>

#if defined(__x86_64__)
#include <immintrin.h>
#define VELCORA_HAVE_AVX2_STAGE 1
#endif

#define VELCORA_INLINE inline __attribute__((always_inline))

namespace velcora {

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;

// Complex values stored either split (re[i], im[i]) or interleaved (p[2i], p[2i + 1]).
struct Split {
    float* __restrict re;
    float* __restrict im;
    VELCORA_INLINE float r(long i) const { return re[i]; }
    VELCORA_INLINE float i(long k) const { return im[k]; }
    VELCORA_INLINE void set(long k, float vr, float vi) const {
        re[k] = vr;
        im[k] = vi;
    }
};
struct Interleaved {
    float* __restrict p;
    VELCORA_INLINE float r(long k) const { return p[2 * k]; }
    VELCORA_INLINE float i(long k) const { return p[2 * k + 1]; }
    VELCORA_INLINE void set(long k, float vr, float vi) const {
        p[2 * k] = vr;
        p[2 * k + 1] = vi;
    }
};

// One radix-4 stage: y[q + s(4p + k)] = w^(pk) * sum_j x[q + s(p + jm)] * e^(sigma 2 pi i jk/4),
// with w = e^(sigma 2 pi i / span), m = span / 4, s = stride. Forward means sigma = +1.
// UpperZero: x[q + s(p + 2m)] and x[q + s(p + 3m)] are known to be zero.
template <bool Forward, bool UpperZero, typename In, typename Out>
VELCORA_INLINE void radix4Stage(In x, Out y, int span, int stride, const float* __restrict tw,
                                long firstP = 0) {
    const long m = span / 4;
    const float* w1r = tw;
    const float* w1i = tw + m;
    const float* w2r = tw + 2 * m;
    const float* w2i = tw + 3 * m;
    const float* w3r = tw + 4 * m;
    const float* w3i = tw + 5 * m;
    const long s = stride;

    auto butterfly = [&](long in, long out, float c1r, float c1i, float c2r, float c2i, float c3r,
                         float c3i) {
        const float ar = x.r(in), ai = x.i(in);
        const float br = x.r(in + s * m), bi = x.i(in + s * m);
        const float cr = UpperZero ? 0.0f : x.r(in + 2 * s * m);
        const float ci = UpperZero ? 0.0f : x.i(in + 2 * s * m);
        const float dr = UpperZero ? 0.0f : x.r(in + 3 * s * m);
        const float di = UpperZero ? 0.0f : x.i(in + 3 * s * m);
        const float apcR = ar + cr, apcI = ai + ci;
        const float amcR = ar - cr, amcI = ai - ci;
        const float bpdR = br + dr, bpdI = bi + di;
        const float bmdR = br - dr, bmdI = bi - di;
        float o1r, o1i, o3r, o3i;
        if (Forward) { // (a - c) + i (b - d) and (a - c) - i (b - d)
            o1r = amcR - bmdI;
            o1i = amcI + bmdR;
            o3r = amcR + bmdI;
            o3i = amcI - bmdR;
        } else {
            o1r = amcR + bmdI;
            o1i = amcI - bmdR;
            o3r = amcR - bmdI;
            o3i = amcI + bmdR;
        }
        const float o2r = apcR - bpdR, o2i = apcI - bpdI;
        y.set(out, apcR + bpdR, apcI + bpdI);
        y.set(out + s, o1r * c1r - o1i * c1i, o1r * c1i + o1i * c1r);
        y.set(out + 2 * s, o2r * c2r - o2i * c2i, o2r * c2i + o2i * c2r);
        y.set(out + 3 * s, o3r * c3r - o3i * c3i, o3r * c3i + o3i * c3r);
    };

    if (s == 1) {
        for (long p = firstP; p < m; ++p)
            butterfly(p, 4 * p, w1r[p], w1i[p], w2r[p], w2i[p], w3r[p], w3i[p]);
        return;
    }
    for (long p = 0; p < m; ++p) {
        const float c1r = w1r[p], c1i = w1i[p], c2r = w2r[p], c2i = w2i[p];
        const float c3r = w3r[p], c3i = w3i[p];
        const long in = s * p;
        const long out = s * 4 * p;
        for (long q = 0; q < s; ++q)
            butterfly(in + q, out + q, c1r, c1i, c2r, c2i, c3r, c3i);
    }
}

// The closing radix-2 stage of span 2: its twiddles are all 1.
template <typename In, typename Out> VELCORA_INLINE void radix2Stage(In x, Out y, int stride) {
    for (long q = 0; q < stride; ++q) {
        const float ar = x.r(q), ai = x.i(q), br = x.r(q + stride), bi = x.i(q + stride);
        y.set(q, ar + br, ai + bi);
        y.set(q + stride, ar - br, ai - bi);
    }
}

} // namespace
} // namespace velcora

#ifdef VELCORA_HAVE_AVX2_STAGE
// The vector kernels, one file per instruction set.
#include "velcora/realfft_avx2.h"
#include "velcora/realfft_avx512.h"
#endif

namespace velcora {
namespace {

#ifdef VELCORA_HAVE_AVX2_STAGE
bool processorHasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}

bool processorHasAvx512() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f");
}
#endif

// Calls f(std::integral_constant<long, V>) for the V among Values equal to `value`, or
// f(std::integral_constant<long, 0>) when none is. The kernels take a nonzero constant for
// their length parameter and derive every offset from it at compile time: the streams then
// sit at fixed distances from a few pointers, which leaves the registers to the data.
template <long... Values, typename F> VELCORA_INLINE void withConstant(long value, F&& f) {
    const bool matched =
        ((value == Values && (f(std::integral_constant<long, Values>{}), true)) || ...);
    if (!matched) f(std::integral_constant<long, 0>{});
}

template <bool Forward, bool UpperZero, typename In, typename Out>
VELCORA_INLINE void runStage(const FftTables& t, const FftTables::Stage& st, In x, Out y) {
    const float* tw = (Forward ? t.fwdTwiddles_.data() : t.invTwiddles_.data()) + st.twiddleAt;
    if (st.radix == 4) {
        long done = 0;
#ifdef VELCORA_HAVE_AVX2_STAGE
        const long m = st.span / 4;
        if constexpr (std::is_same_v<Out, Split>) {
            // The sixteen-lane stage only where it does every butterfly the eight-lane one
            // would (the rest are left to the scalar loop, which rounds differently).
            if (st.stride == 1 && t.avx512_ && m % 16 == 0) {
                withConstant<128, 256, 512>(m, [&](auto fixed) {
                    if constexpr (std::is_same_v<In, Interleaved>)
                        done = firstStageAvx512<Forward, UpperZero, true, fixed>(
                            nullptr, nullptr, x.p, y.re, y.im, m, tw);
                    else
                        done = firstStageAvx512<Forward, UpperZero, false, fixed>(
                            x.re, x.im, nullptr, y.re, y.im, m, tw);
                });
            } else if (st.stride == 1 && t.avx2_) {
                withConstant<128, 256, 512>(m, [&](auto fixed) {
                    if constexpr (std::is_same_v<In, Interleaved>)
                        done = firstStageAvx2<Forward, UpperZero, true, fixed>(
                            nullptr, nullptr, x.p, y.re, y.im, m, tw);
                    else
                        done = firstStageAvx2<Forward, UpperZero, false, fixed>(x.re, x.im, nullptr,
                                                                                y.re, y.im, m, tw);
                });
            }
        }
        if constexpr (std::is_same_v<In, Split>) {
            constexpr bool interleaved = std::is_same_v<Out, Interleaved>;
            if (t.avx512_ && !UpperZero && st.stride >= 16) {
                withConstant<16, 64, 256>(st.stride, [&](auto fixed) {
                    if constexpr (interleaved)
                        wideStageAvx512<Forward, true, fixed>(x.re, x.im, nullptr, nullptr, y.p,
                                                              st.span, st.stride, tw);
                    else
                        wideStageAvx512<Forward, false, fixed>(x.re, x.im, y.re, y.im, nullptr,
                                                               st.span, st.stride, tw);
                });
                return;
            }
            if (t.avx2_ && !UpperZero && st.stride >= 8) {
                // The strides of radix-4 stages are powers of four.
                withConstant<16, 64, 256>(st.stride, [&](auto fixed) {
                    if constexpr (interleaved)
                        wideStageAvx2<Forward, true, fixed>(x.re, x.im, nullptr, nullptr, y.p,
                                                            st.span, st.stride, tw);
                    else
                        wideStageAvx2<Forward, false, fixed>(x.re, x.im, y.re, y.im, nullptr,
                                                             st.span, st.stride, tw);
                });
                return;
            }
            if constexpr (!interleaved) {
                if (t.avx512_ && !UpperZero && st.stride == 4 && m % 4 == 0) {
                    withConstant<32, 64, 128>(m, [&](auto fixed) {
                        quadStageAvx512<Forward, fixed>(
                            x.re, x.im, y.re, y.im, m, t.quadTwiddlesWide_[Forward ? 0 : 1].data());
                    });
                    return;
                }
                if (t.avx2_ && !UpperZero && st.stride == 4 && st.span >= 8) {
                    withConstant<32, 64, 128>(m, [&](auto fixed) {
                        quadStageAvx2<Forward, fixed>(x.re, x.im, y.re, y.im, m,
                                                      t.quadTwiddles_[Forward ? 0 : 1].data());
                    });
                    return;
                }
            }
        }
#endif
        radix4Stage<Forward, UpperZero>(x, y, st.span, st.stride, tw, done);
    } else {
#ifdef VELCORA_HAVE_AVX2_STAGE
        if constexpr (std::is_same_v<In, Split>) {
            if (t.avx2_ && st.stride >= 8) {
                if constexpr (std::is_same_v<Out, Interleaved>)
                    radix2Avx2<true>(x.re, x.im, nullptr, nullptr, y.p, st.stride);
                else
                    radix2Avx2<false>(x.re, x.im, y.re, y.im, nullptr, st.stride);
                return;
            }
        }
#endif
        radix2Stage(x, y, st.stride);
    }
}

// Complex transform of the pairs in `data`, result split in bufA_ (forward) or of the
// split bufA_, result interleaved in `data` (inverse).
template <bool Forward, bool UpperZero>
VELCORA_INLINE void complexTransform(FftTables& t, float* data) {
    const long h = t.half_;
    Split a{t.bufA_.data(), t.bufA_.data() + h};
    Split b{t.bufB_.data(), t.bufB_.data() + h};
    Interleaved io{data};
    const int count = t.stageCount_;
    if (count == 0) { // one point: the transform is the identity
        if (Forward)
            a.set(0, io.r(0), io.i(0));
        else
            io.set(0, a.r(0), a.i(0));
        return;
    }
    if (Forward) {
        // data -> b -> a -> b ... ending in a.
        Split cur = count % 2 == 0 ? b : a;
        Split other = count % 2 == 0 ? a : b;
        runStage<true, UpperZero>(t, t.stages_[0], io, cur);
        for (int i = 1; i < count; ++i) {
            runStage<true, false>(t, t.stages_[i], cur, other);
            const Split tmp = cur;
            cur = other;
            other = tmp;
        }
    } else {
        Split cur = a, other = b;
        for (int i = 0; i + 1 < count; ++i) {
            runStage<false, false>(t, t.stages_[i], cur, other);
            const Split tmp = cur;
            cur = other;
            other = tmp;
        }
        runStage<false, false>(t, t.stages_[count - 1], cur, io);
    }
}

// Forward split step from the complex spectrum Z (split, in bufA_) to the packed real one.
// X[k] = E[k] + W^k O[k], X[h-k] = conj(E[k] - W^k O[k]), W = e^(2 pi i / n).
VELCORA_INLINE void forwardSplit(FftTables& t, float* __restrict data) {
    const int h = t.half_;
    const float* __restrict zr = t.bufA_.data();
    const float* __restrict zi = zr + h;
    const float* __restrict wr = t.splitCos_.data();
    const float* __restrict ws = t.splitSin_.data();
    data[0] = zr[0] + zi[0];
    data[1] = zr[0] - zi[0];
    if (h < 2) return;
    int first = 1;
#ifdef VELCORA_HAVE_AVX2_STAGE
    if (t.avx2_) first = forwardSplitAvx2(zr, zi, wr, ws, data, h);
#endif
    for (int k = first; k < (h + 1) / 2; ++k) {
        const float ar = zr[k], ai = zi[k], br = zr[h - k], bi = zi[h - k];
        const float er = 0.5f * (ar + br), ei = 0.5f * (ai - bi);
        const float orr = 0.5f * (ai + bi), oi = 0.5f * (br - ar);
        const float tr = wr[k] * orr - ws[k] * oi;
        const float ti = wr[k] * oi + ws[k] * orr;
        data[2 * k] = er + tr;
        data[2 * k + 1] = ei + ti;
        data[2 * (h - k)] = er - tr;
        data[2 * (h - k) + 1] = ti - ei;
    }
    // The middle bin k = h/2 pairs with itself (W^k = i), which leaves it unchanged.
    data[h] = zr[h / 2];
    data[h + 1] = zi[h / 2];
}

// Inverse split step from the packed spectrum to Z (split, in bufA_), with the factor 1/2.
// E[k] = (X[k] + conj X[h-k]) / 2, O[k] = (X[k] - conj X[h-k]) conj(W^k) / 2,
// Z[k] = E[k] + i O[k], Z[h-k] = conj E[k] + i conj O[k].
VELCORA_INLINE void inverseSplit(FftTables& t, const float* __restrict data) {
    const int h = t.half_;
    float* __restrict zr = t.bufA_.data();
    float* __restrict zi = zr + h;
    const float* __restrict wr = t.splitCos_.data();
    const float* __restrict ws = t.splitSin_.data();
    zr[0] = 0.5f * (data[0] + data[1]);
    zi[0] = 0.5f * (data[0] - data[1]);
    if (h < 2) return;
    int first = 1;
#ifdef VELCORA_HAVE_AVX2_STAGE
    if (t.avx2_) first = inverseSplitAvx2(data, wr, ws, zr, zi, h);
#endif
    for (int k = first; k < (h + 1) / 2; ++k) {
        const float xr = data[2 * k], xi = data[2 * k + 1];
        const float yr = data[2 * (h - k)], yi = data[2 * (h - k) + 1];
        const float er = 0.5f * (xr + yr), ei = 0.5f * (xi - yi);
        const float dr = xr - yr, di = xi + yi;
        const float orr = 0.5f * (dr * wr[k] + di * ws[k]);
        const float oi = 0.5f * (di * wr[k] - dr * ws[k]);
        zr[k] = er - oi;
        zi[k] = ei + orr;
        zr[h - k] = er + oi;
        zi[h - k] = orr - ei;
    }
    zr[h / 2] = data[h];
    zi[h / 2] = data[h + 1];
}

VELCORA_SIMD_CLONES void forwardTransform(FftTables& t, float* data, bool upperZero) {
    if (upperZero && t.stageCount_ > 0 && t.stages_[0].radix == 4)
        complexTransform<true, true>(t, data);
    else
        complexTransform<true, false>(t, data);
    forwardSplit(t, data);
}

VELCORA_SIMD_CLONES void inverseTransform(FftTables& t, float* data) {
    inverseSplit(t, data);
    complexTransform<false, false>(t, data);
}

// Split step, spectrum product and inverse split step for every bin pair, on Z in bufA_.
// Fold false: Z becomes the spectrum of the filtered block. Fold true: the folded product
// (bins k and k + h added) is written packed to `folded`, h values.
template <bool Fold>
VELCORA_INLINE void convolveSpectrum(FftTables& t, const float* __restrict spectrum,
                                     const float* __restrict paired, float* __restrict folded) {
    const int h = t.half_;
    float* __restrict zr = t.bufA_.data();
    float* __restrict zi = zr + h;
    const float* __restrict wr = t.splitCos_.data();
    const float* __restrict ws = t.splitSin_.data();
    const float d0 = (zr[0] + zi[0]) * spectrum[0];
    const float d1 = (zr[0] - zi[0]) * spectrum[1];
    if (Fold) {
        folded[0] = d0 + d1;
    } else {
        zr[0] = 0.5f * (d0 + d1);
        zi[0] = 0.5f * (d0 - d1);
    }
    if (h < 2) return;
    int first = 1;
#ifdef VELCORA_HAVE_AVX2_STAGE
    if (t.avx512_) first = convolvePairsAvx512<Fold>(zr, zi, wr, ws, spectrum, paired, folded, h);
    if (t.avx2_)
        first = convolvePairsAvx2<Fold>(zr, zi, wr, ws, spectrum, paired, folded, h, first);
#endif
    for (int k = first; k < (h + 1) / 2; ++k) {
        const float ar = zr[k], ai = zi[k], br = zr[h - k], bi = zi[h - k];
        const float er = 0.5f * (ar + br), ei = 0.5f * (ai - bi);
        const float orr = 0.5f * (ai + bi), oi = 0.5f * (br - ar);
        const float tr = wr[k] * orr - ws[k] * oi;
        const float ti = wr[k] * oi + ws[k] * orr;
        const float xr = er + tr, xi = ei + ti, yr = er - tr, yi = ti - ei;
        const float* sk = spectrum + 2 * k;
        const float* sm = spectrum + 2 * (h - k);
        const float pr = sk[0] * xr - sk[1] * xi, pi = sk[1] * xr + sk[0] * xi;
        const float qr = sm[0] * yr - sm[1] * yi, qi = sm[1] * yr + sm[0] * yi;
        if (Fold) {
            folded[2 * k] = pr + qr;
            folded[2 * k + 1] = pi - qi;
            continue;
        }
        const float fr = 0.5f * (pr + qr), fi = 0.5f * (pi - qi);
        const float dr = pr - qr, di = pi + qi;
        const float gr = 0.5f * (dr * wr[k] + di * ws[k]);
        const float gi = 0.5f * (di * wr[k] - dr * ws[k]);
        zr[k] = fr - gi;
        zi[k] = fi + gr;
        zr[h - k] = fr + gi;
        zi[h - k] = gr - fi;
    }
    // The middle bin is its own pair: the split steps leave it unchanged.
    const float xr = zr[h / 2], xi = zi[h / 2];
    const float* sm = spectrum + h;
    const float pr = sm[0] * xr - sm[1] * xi, pi = sm[1] * xr + sm[0] * xi;
    if (Fold) {
        folded[1] = 2.0f * pr;
    } else {
        zr[h / 2] = pr;
        zi[h / 2] = pi;
    }
}

VELCORA_SIMD_CLONES void convolveTransform(FftTables& t, float* data, const float* spectrum,
                                           const float* paired) {
    complexTransform<true, true>(t, data);
    convolveSpectrum<false>(t, spectrum, paired, nullptr);
    complexTransform<false, false>(t, data);
}

VELCORA_SIMD_CLONES void convolveFoldTransform(FftTables& t, float* data, const float* spectrum,
                                               const float* paired, float* folded) {
    complexTransform<true, true>(t, data);
    convolveSpectrum<true>(t, spectrum, paired, folded);
}

} // namespace

void FftTables::build(int n) {
    n_ = n;
    half_ = n / 2;
    stageCount_ = 0;

    int twiddleTotal = 0;
    for (int span = half_, stride = 1; span >= 2;) {
        Stage& st = stages_[stageCount_++];
        st.radix = span >= 4 ? 4 : 2;
        st.span = span;
        st.stride = stride;
        st.twiddleAt = twiddleTotal;
        if (st.radix == 4) twiddleTotal += 6 * (span / 4);
        span /= st.radix;
        stride *= st.radix;
    }

    fwdTwiddles_.reset(static_cast<std::size_t>(twiddleTotal) + 1);
    invTwiddles_.reset(static_cast<std::size_t>(twiddleTotal) + 1);
    for (int i = 0; i < stageCount_; ++i) {
        const Stage& st = stages_[i];
        if (st.radix != 4) continue;
        const int m = st.span / 4;
        float* f = fwdTwiddles_.data() + st.twiddleAt;
        float* v = invTwiddles_.data() + st.twiddleAt;
        for (int k = 1; k <= 3; ++k) {
            for (int p = 0; p < m; ++p) {
                const double angle = kTwoPi * static_cast<double>(p) * k / st.span;
                const float c = static_cast<float>(std::cos(angle));
                const float s = static_cast<float>(std::sin(angle));
                f[(2 * k - 2) * m + p] = c;
                f[(2 * k - 1) * m + p] = s;
                v[(2 * k - 2) * m + p] = c;
                v[(2 * k - 1) * m + p] = -s;
            }
        }
    }

    // The stride-4 stage's twiddles for quadStageAvx2: per pair p, p + 1 (p even) the six
    // values w1r, w1i, w2r, w2i, w3r, w3i of the stage table, each as [p] x 4, [p + 1] x 4.
    for (int i = 0; i < stageCount_; ++i) {
        const Stage& st = stages_[i];
        if (st.radix != 4 || st.stride != 4) continue;
        const int m = st.span / 4;
        for (int d = 0; d < 2; ++d) {
            const float* tw = (d == 0 ? fwdTwiddles_ : invTwiddles_).data() + st.twiddleAt;
            AlignedArray<float>& lanes = quadTwiddles_[d];
            lanes.reset(static_cast<std::size_t>(48 * (m / 2)));
            for (int p = 0; p + 1 < m; p += 2)
                for (int k = 0; k < 6; ++k)
                    for (int lane = 0; lane < 8; ++lane)
                        lanes[(3 * p + k) * 8 + lane] = tw[k * m + p + lane / 4];
        }
    }

    // The same for quadStageAvx512: per group of four p (m a multiple of 4) the six values, each
    // as [p] x 4, [p + 1] x 4, [p + 2] x 4, [p + 3] x 4.
    for (int i = 0; i < stageCount_; ++i) {
        const Stage& st = stages_[i];
        if (st.radix != 4 || st.stride != 4 || (st.span / 4) % 4 != 0) continue;
        const int m = st.span / 4;
        for (int d = 0; d < 2; ++d) {
            const float* tw = (d == 0 ? fwdTwiddles_ : invTwiddles_).data() + st.twiddleAt;
            AlignedArray<float>& lanes = quadTwiddlesWide_[d];
            lanes.reset(static_cast<std::size_t>(96 * (m / 4)));
            for (int p = 0; p < m; p += 4)
                for (int k = 0; k < 6; ++k)
                    for (int lane = 0; lane < 16; ++lane)
                        lanes[(6 * (p / 4) + k) * 16 + lane] = tw[k * m + p + lane / 4];
        }
    }

    const int quarter = n / 4;
    splitCos_.reset(static_cast<std::size_t>(quarter) + 1);
    splitSin_.reset(static_cast<std::size_t>(quarter) + 1);
    for (int k = 0; k <= quarter; ++k) {
        const double angle = kTwoPi * k / n;
        splitCos_[k] = static_cast<float>(std::cos(angle));
        splitSin_[k] = static_cast<float>(std::sin(angle));
    }

    bufA_.reset(static_cast<std::size_t>(2 * half_));
    bufB_.reset(static_cast<std::size_t>(2 * half_));
#ifdef VELCORA_HAVE_AVX2_STAGE
    avx2_ = processorHasAvx2();
    avx512_ = avx2_ && processorHasAvx512();
#endif
}

void realFFT(int n, int direction, float* data, FftTables& tables) {
    if (tables.length() != n) tables.build(n);
    if (direction > 0)
        forwardTransform(tables, data, false);
    else
        inverseTransform(tables, data);
}

void realFFTUpperHalfZero(int n, float* data, FftTables& tables) {
    if (tables.length() != n) tables.build(n);
    const bool skips = tables.stageCount_ > 0 && tables.stages_[0].radix == 4;
    if (!skips) // the shortest lengths have no radix-4 first stage to skip the zeros
        std::memset(data + n / 2, 0, static_cast<std::size_t>(n / 2) * sizeof(float));
    forwardTransform(tables, data, skips);
}

// Y'[k] = Y[k] + Y[k + n/2] is the spectrum of the even samples at length n/2; with the
// conjugate symmetry Y[n/2 + k] = conj Y[n/2 - k]. Both inverses carry the same scale.
void realInverseEven(int n, float* data, float* out, FftTables& halfTables) {
    const int h = n / 2; // folded length
    const int q = n / 4;
    out[0] = data[0] + data[1];
    out[1] = 2.0f * data[2 * q];
    for (int k = 1; k < q; ++k) {
        out[2 * k] = data[2 * k] + data[2 * (h - k)];
        out[2 * k + 1] = data[2 * k + 1] - data[2 * (h - k) + 1];
    }
    realFFT(h, -1, out, halfTables);
}

void pairSpectrum(int n, const float* spectrum, AlignedArray<float>& paired) {
    const int h = n / 2;
    const int block = n / 4 + 1;
    paired.reset(static_cast<std::size_t>(4 * block));
    for (int k = 1; k < block; ++k) { // k = 0 is not read
        paired[k] = spectrum[2 * k];
        paired[block + k] = spectrum[2 * k + 1];
        paired[2 * block + k] = spectrum[2 * (h - k)];
        paired[3 * block + k] = spectrum[2 * (h - k) + 1];
    }
}

void realConvolve(int n, float* data, const float* spectrum, FftTables& tables,
                  const float* paired) {
    if (tables.length() != n) tables.build(n);
    if (n < 8 || !(tables.stages_[0].radix == 4)) {
        realFFTUpperHalfZero(n, data, tables);
        applySpectrum(data, spectrum, n);
        realFFT(n, -1, data, tables);
        return;
    }
    convolveTransform(tables, data, spectrum, paired);
}

void realConvolveEven(int n, float* data, const float* spectrum, float* out, FftTables& tables,
                      FftTables& halfTables, const float* paired) {
    if (tables.length() != n) tables.build(n);
    if (n < 8 || !(tables.stages_[0].radix == 4)) {
        realFFTUpperHalfZero(n, data, tables);
        applySpectrumFolded(data, spectrum, n, out);
    } else {
        convolveFoldTransform(tables, data, spectrum, paired, out);
    }
    realFFT(n / 2, -1, out, halfTables);
}

} // namespace velcora
