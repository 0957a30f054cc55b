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

#ifdef VELCORA_HAVE_AVX2_STAGE
#define VELCORA_AVX2 __attribute__((target("avx2,fma"))) inline

template <bool InterleavedIn>
VELCORA_AVX2 void loadAvx2(const float* __restrict xr, const float* __restrict xi,
                           const float* __restrict pairs, long k, __m256& re, __m256& im) {
    if (InterleavedIn) {
        const __m256 v0 = _mm256_loadu_ps(pairs + 2 * k);
        const __m256 v1 = _mm256_loadu_ps(pairs + 2 * k + 8);
        re = _mm256_castpd_ps(
            _mm256_permute4x64_pd(_mm256_castps_pd(_mm256_shuffle_ps(v0, v1, 0x88)), 0xD8));
        im = _mm256_castpd_ps(
            _mm256_permute4x64_pd(_mm256_castps_pd(_mm256_shuffle_ps(v0, v1, 0xDD)), 0xD8));
    } else {
        re = _mm256_loadu_ps(xr + k);
        im = _mm256_loadu_ps(xi + k);
    }
}

// Stores o0[u], o1[u], o2[u], o3[u] for u = 0 .. 7 contiguously (a 4 x 8 transpose).
VELCORA_AVX2 void store4Avx2(float* y, __m256 o0, __m256 o1, __m256 o2, __m256 o3) {
    const __m256 t0 = _mm256_unpacklo_ps(o0, o1);
    const __m256 t1 = _mm256_unpackhi_ps(o0, o1);
    const __m256 t2 = _mm256_unpacklo_ps(o2, o3);
    const __m256 t3 = _mm256_unpackhi_ps(o2, o3);
    const __m256 u0 = _mm256_shuffle_ps(t0, t2, 0x44);
    const __m256 u1 = _mm256_shuffle_ps(t0, t2, 0xEE);
    const __m256 u2 = _mm256_shuffle_ps(t1, t3, 0x44);
    const __m256 u3 = _mm256_shuffle_ps(t1, t3, 0xEE);
    _mm256_storeu_ps(y, _mm256_permute2f128_ps(u0, u1, 0x20));
    _mm256_storeu_ps(y + 8, _mm256_permute2f128_ps(u2, u3, 0x20));
    _mm256_storeu_ps(y + 16, _mm256_permute2f128_ps(u0, u1, 0x31));
    _mm256_storeu_ps(y + 24, _mm256_permute2f128_ps(u2, u3, 0x31));
}

VELCORA_AVX2 void twiddleAvx2(__m256 vr, __m256 vi, const float* wrp, const float* wip,
                              __m256& outR, __m256& outI) {
    const __m256 wr = _mm256_loadu_ps(wrp);
    const __m256 wi = _mm256_loadu_ps(wip);
    outR = _mm256_fmsub_ps(vr, wr, _mm256_mul_ps(vi, wi));
    outI = _mm256_fmadd_ps(vr, wi, _mm256_mul_ps(vi, wr));
}

// The first radix-4 stage (stride 1) for AVX2: eight butterflies at a time, their four
// outputs interleaved into y[4p + k]. Returns the butterflies done; the caller does the rest.
// Quarter > 0 is m fixed at compile time (see withConstant).
template <bool Forward, bool UpperZero, bool InterleavedIn, long Quarter>
__attribute__((target("avx2,fma"))) long
firstStageAvx2(const float* __restrict xr, const float* __restrict xi,
               const float* __restrict pairs, float* __restrict yr, float* __restrict yi,
               long quarter, const float* __restrict tw) {
    const long m = Quarter > 0 ? Quarter : quarter;
    const long blocks = m / 8 * 8;
    for (long p = 0; p < blocks; p += 8) {
        __m256 ar, ai, br, bi, cr, ci, dr, di;
        loadAvx2<InterleavedIn>(xr, xi, pairs, p, ar, ai);
        loadAvx2<InterleavedIn>(xr, xi, pairs, p + m, br, bi);
        if (UpperZero) {
            cr = ci = dr = di = _mm256_setzero_ps();
        } else {
            loadAvx2<InterleavedIn>(xr, xi, pairs, p + 2 * m, cr, ci);
            loadAvx2<InterleavedIn>(xr, xi, pairs, p + 3 * m, dr, di);
        }
        const __m256 apcR = _mm256_add_ps(ar, cr), apcI = _mm256_add_ps(ai, ci);
        const __m256 amcR = _mm256_sub_ps(ar, cr), amcI = _mm256_sub_ps(ai, ci);
        const __m256 bpdR = _mm256_add_ps(br, dr), bpdI = _mm256_add_ps(bi, di);
        const __m256 bmdR = _mm256_sub_ps(br, dr), bmdI = _mm256_sub_ps(bi, di);
        __m256 o1r, o1i, o3r, o3i;
        if (Forward) {
            o1r = _mm256_sub_ps(amcR, bmdI);
            o1i = _mm256_add_ps(amcI, bmdR);
            o3r = _mm256_add_ps(amcR, bmdI);
            o3i = _mm256_sub_ps(amcI, bmdR);
        } else {
            o1r = _mm256_add_ps(amcR, bmdI);
            o1i = _mm256_sub_ps(amcI, bmdR);
            o3r = _mm256_sub_ps(amcR, bmdI);
            o3i = _mm256_add_ps(amcI, bmdR);
        }
        const __m256 o0r = _mm256_add_ps(apcR, bpdR), o0i = _mm256_add_ps(apcI, bpdI);
        const __m256 o2r = _mm256_sub_ps(apcR, bpdR), o2i = _mm256_sub_ps(apcI, bpdI);
        __m256 y1r, y1i, y2r, y2i, y3r, y3i;
        twiddleAvx2(o1r, o1i, tw + p, tw + m + p, y1r, y1i);
        twiddleAvx2(o2r, o2i, tw + 2 * m + p, tw + 3 * m + p, y2r, y2i);
        twiddleAvx2(o3r, o3i, tw + 4 * m + p, tw + 5 * m + p, y3r, y3i);
        store4Avx2(yr + 4 * p, o0r, y1r, y2r, y3r);
        store4Avx2(yi + 4 * p, o0i, y1i, y2i, y3i);
    }
    return blocks;
}

// Stores eight complex values from split vectors as interleaved pairs.
VELCORA_AVX2 void storePairsAvx2(float* y, __m256 re, __m256 im) {
    const __m256 lo = _mm256_unpacklo_ps(re, im);
    const __m256 hi = _mm256_unpackhi_ps(re, im);
    _mm256_storeu_ps(y, _mm256_permute2f128_ps(lo, hi, 0x20));
    _mm256_storeu_ps(y + 8, _mm256_permute2f128_ps(lo, hi, 0x31));
}

// Radix-4 butterfly on eight lanes with per-lane twiddles (w1, w2, w3).
template <bool Forward>
VELCORA_AVX2 void butterflyAvx2(__m256 ar, __m256 ai, __m256 br, __m256 bi, __m256 cr, __m256 ci,
                                __m256 dr, __m256 di, const __m256* w, __m256* outR, __m256* outI) {
    const __m256 apcR = _mm256_add_ps(ar, cr), apcI = _mm256_add_ps(ai, ci);
    const __m256 amcR = _mm256_sub_ps(ar, cr), amcI = _mm256_sub_ps(ai, ci);
    const __m256 bpdR = _mm256_add_ps(br, dr), bpdI = _mm256_add_ps(bi, di);
    const __m256 bmdR = _mm256_sub_ps(br, dr), bmdI = _mm256_sub_ps(bi, di);
    __m256 o1r, o1i, o3r, o3i;
    if (Forward) {
        o1r = _mm256_sub_ps(amcR, bmdI);
        o1i = _mm256_add_ps(amcI, bmdR);
        o3r = _mm256_add_ps(amcR, bmdI);
        o3i = _mm256_sub_ps(amcI, bmdR);
    } else {
        o1r = _mm256_add_ps(amcR, bmdI);
        o1i = _mm256_sub_ps(amcI, bmdR);
        o3r = _mm256_sub_ps(amcR, bmdI);
        o3i = _mm256_add_ps(amcI, bmdR);
    }
    const __m256 o2r = _mm256_sub_ps(apcR, bpdR), o2i = _mm256_sub_ps(apcI, bpdI);
    outR[0] = _mm256_add_ps(apcR, bpdR);
    outI[0] = _mm256_add_ps(apcI, bpdI);
    const __m256 vr[3] = {o1r, o2r, o3r};
    const __m256 vi[3] = {o1i, o2i, o3i};
    for (int k = 0; k < 3; ++k) {
        const __m256 wr = w[2 * k], wi = w[2 * k + 1];
        outR[k + 1] = _mm256_fmsub_ps(vr[k], wr, _mm256_mul_ps(vi[k], wi));
        outI[k + 1] = _mm256_fmadd_ps(vr[k], wi, _mm256_mul_ps(vi[k], wr));
    }
}

// A radix-4 stage with stride s >= 8 from split input, eight lanes over q. Output split, or
// interleaved pairs. Stride > 0 is s fixed at compile time (see withConstant).
template <bool Forward, bool InterleavedOut, long Stride>
__attribute__((target("avx2,fma"))) void
wideStageAvx2(const float* __restrict xr, const float* __restrict xi, float* __restrict yr,
              float* __restrict yi, float* __restrict pairs, long span, long stride,
              const float* __restrict tw) {
    const long s = Stride > 0 ? Stride : stride;
    const long m = span / 4;
    for (long p = 0; p < m; ++p) {
        __m256 w[6];
        for (int k = 0; k < 6; ++k)
            w[k] = _mm256_set1_ps(tw[k * m + p]);
        const long in = s * p, out = 4 * s * p;
        for (long q = 0; q < s; q += 8) {
            const long i = in + q;
            __m256 oR[4], oI[4];
            butterflyAvx2<Forward>(
                _mm256_loadu_ps(xr + i), _mm256_loadu_ps(xi + i), _mm256_loadu_ps(xr + i + s * m),
                _mm256_loadu_ps(xi + i + s * m), _mm256_loadu_ps(xr + i + 2 * s * m),
                _mm256_loadu_ps(xi + i + 2 * s * m), _mm256_loadu_ps(xr + i + 3 * s * m),
                _mm256_loadu_ps(xi + i + 3 * s * m), w, oR, oI);
            if (InterleavedOut) {
                for (int k = 0; k < 4; ++k)
                    storePairsAvx2(pairs + 2 * (out + q + k * s), oR[k], oI[k]);
            } else {
                for (int k = 0; k < 4; ++k) {
                    _mm256_storeu_ps(yr + out + q + k * s, oR[k]);
                    _mm256_storeu_ps(yi + out + q + k * s, oI[k]);
                }
            }
        }
    }
}

#define VELCORA_AVX512 __attribute__((target("avx512f"))) inline

// storePairsAvx2 for sixteen complex values.
VELCORA_AVX512 void storePairsAvx512(float* y, __m512 re, __m512 im) {
    const __m512i low = _mm512_setr_epi32(0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23);
    const __m512i high =
        _mm512_setr_epi32(8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13, 29, 14, 30, 15, 31);
    _mm512_storeu_ps(y, _mm512_permutex2var_ps(re, low, im));
    _mm512_storeu_ps(y + 16, _mm512_permutex2var_ps(re, high, im));
}

// butterflyAvx2 on sixteen lanes: the same operations lane for lane, so the same results.
template <bool Forward>
VELCORA_AVX512 void butterflyAvx512(__m512 ar, __m512 ai, __m512 br, __m512 bi, __m512 cr,
                                    __m512 ci, __m512 dr, __m512 di, const __m512* w, __m512* outR,
                                    __m512* outI) {
    const __m512 apcR = _mm512_add_ps(ar, cr), apcI = _mm512_add_ps(ai, ci);
    const __m512 amcR = _mm512_sub_ps(ar, cr), amcI = _mm512_sub_ps(ai, ci);
    const __m512 bpdR = _mm512_add_ps(br, dr), bpdI = _mm512_add_ps(bi, di);
    const __m512 bmdR = _mm512_sub_ps(br, dr), bmdI = _mm512_sub_ps(bi, di);
    __m512 o1r, o1i, o3r, o3i;
    if (Forward) {
        o1r = _mm512_sub_ps(amcR, bmdI);
        o1i = _mm512_add_ps(amcI, bmdR);
        o3r = _mm512_add_ps(amcR, bmdI);
        o3i = _mm512_sub_ps(amcI, bmdR);
    } else {
        o1r = _mm512_add_ps(amcR, bmdI);
        o1i = _mm512_sub_ps(amcI, bmdR);
        o3r = _mm512_sub_ps(amcR, bmdI);
        o3i = _mm512_add_ps(amcI, bmdR);
    }
    const __m512 o2r = _mm512_sub_ps(apcR, bpdR), o2i = _mm512_sub_ps(apcI, bpdI);
    outR[0] = _mm512_add_ps(apcR, bpdR);
    outI[0] = _mm512_add_ps(apcI, bpdI);
    const __m512 vr[3] = {o1r, o2r, o3r};
    const __m512 vi[3] = {o1i, o2i, o3i};
    for (int k = 0; k < 3; ++k) {
        const __m512 wr = w[2 * k], wi = w[2 * k + 1];
        outR[k + 1] = _mm512_fmsub_ps(vr[k], wr, _mm512_mul_ps(vi[k], wi));
        outI[k + 1] = _mm512_fmadd_ps(vr[k], wi, _mm512_mul_ps(vi[k], wr));
    }
}

// wideStageAvx2 for strides s >= 16, sixteen lanes over q.
template <bool Forward, bool InterleavedOut, long Stride>
__attribute__((target("avx512f"))) void
wideStageAvx512(const float* __restrict xr, const float* __restrict xi, float* __restrict yr,
                float* __restrict yi, float* __restrict pairs, long span, long stride,
                const float* __restrict tw) {
    const long s = Stride > 0 ? Stride : stride;
    const long m = span / 4;
    for (long p = 0; p < m; ++p) {
        __m512 w[6];
        for (int k = 0; k < 6; ++k)
            w[k] = _mm512_set1_ps(tw[k * m + p]);
        const long in = s * p, out = 4 * s * p;
        for (long q = 0; q < s; q += 16) {
            const long i = in + q;
            __m512 oR[4], oI[4];
            butterflyAvx512<Forward>(
                _mm512_loadu_ps(xr + i), _mm512_loadu_ps(xi + i), _mm512_loadu_ps(xr + i + s * m),
                _mm512_loadu_ps(xi + i + s * m), _mm512_loadu_ps(xr + i + 2 * s * m),
                _mm512_loadu_ps(xi + i + 2 * s * m), _mm512_loadu_ps(xr + i + 3 * s * m),
                _mm512_loadu_ps(xi + i + 3 * s * m), w, oR, oI);
            if (InterleavedOut) {
                for (int k = 0; k < 4; ++k)
                    storePairsAvx512(pairs + 2 * (out + q + k * s), oR[k], oI[k]);
            } else {
                for (int k = 0; k < 4; ++k) {
                    _mm512_storeu_ps(yr + out + q + k * s, oR[k]);
                    _mm512_storeu_ps(yi + out + q + k * s, oI[k]);
                }
            }
        }
    }
}

// Stores the low halves of o[0 .. 3] to y[0 .. 15] and the high halves to y[16 .. 31].
VELCORA_AVX2 void storeHalvesAvx2(float* y, const __m256* o) {
    _mm256_storeu_ps(y, _mm256_permute2f128_ps(o[0], o[1], 0x20));
    _mm256_storeu_ps(y + 8, _mm256_permute2f128_ps(o[2], o[3], 0x20));
    _mm256_storeu_ps(y + 16, _mm256_permute2f128_ps(o[0], o[1], 0x31));
    _mm256_storeu_ps(y + 24, _mm256_permute2f128_ps(o[2], o[3], 0x31));
}

// A radix-4 stage with stride 4 and m even from split input to split output: lanes 0-3
// are p, lanes 4-7 are p + 1. `lanes` holds the stage's twiddles in that lane order (see
// FftTables::quadTwiddles_). Quarter > 0 is m fixed at compile time (see withConstant).
template <bool Forward, long Quarter>
__attribute__((target("avx2,fma"))) void
quadStageAvx2(const float* __restrict xr, const float* __restrict xi, float* __restrict yr,
              float* __restrict yi, long quarter, const float* __restrict lanes) {
    const long m = Quarter > 0 ? Quarter : quarter;
    for (long p = 0; p < m; p += 2) {
        __m256 w[6];
        for (int k = 0; k < 6; ++k)
            w[k] = _mm256_load_ps(lanes + (3 * p + k) * 8);
        const long i = 4 * p;
        __m256 oR[4], oI[4];
        butterflyAvx2<Forward>(_mm256_loadu_ps(xr + i), _mm256_loadu_ps(xi + i),
                               _mm256_loadu_ps(xr + i + 4 * m), _mm256_loadu_ps(xi + i + 4 * m),
                               _mm256_loadu_ps(xr + i + 8 * m), _mm256_loadu_ps(xi + i + 8 * m),
                               _mm256_loadu_ps(xr + i + 12 * m), _mm256_loadu_ps(xi + i + 12 * m),
                               w, oR, oI);
        // Output k of p goes to y[16p + 4k ..], of p + 1 to y[16p + 16 + 4k ..].
        const long out = 16 * p;
        storeHalvesAvx2(yr + out, oR);
        storeHalvesAvx2(yi + out, oI);
    }
}

// The closing radix-2 stage (stride >= 8) from split input.
template <bool InterleavedOut>
__attribute__((target("avx2,fma"))) void
radix2Avx2(const float* __restrict xr, const float* __restrict xi, float* __restrict yr,
           float* __restrict yi, float* __restrict pairs, long s) {
    for (long q = 0; q < s; q += 8) {
        const __m256 ar = _mm256_loadu_ps(xr + q), ai = _mm256_loadu_ps(xi + q);
        const __m256 br = _mm256_loadu_ps(xr + q + s), bi = _mm256_loadu_ps(xi + q + s);
        const __m256 sr = _mm256_add_ps(ar, br), si = _mm256_add_ps(ai, bi);
        const __m256 dr = _mm256_sub_ps(ar, br), di = _mm256_sub_ps(ai, bi);
        if (InterleavedOut) {
            storePairsAvx2(pairs + 2 * q, sr, si);
            storePairsAvx2(pairs + 2 * (q + s), dr, di);
        } else {
            _mm256_storeu_ps(yr + q, sr);
            _mm256_storeu_ps(yi + q, si);
            _mm256_storeu_ps(yr + q + s, dr);
            _mm256_storeu_ps(yi + q + s, di);
        }
    }
}

VELCORA_AVX2 __m256 reverseAvx2(__m256 v) {
    return _mm256_permutevar8x32_ps(v, _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0));
}

// Forward split step for k = 1 .. eight at a time; returns the first k left to do.
__attribute__((target("avx2,fma"))) int
forwardSplitAvx2(const float* __restrict zr, const float* __restrict zi, const float* __restrict wr,
                 const float* __restrict ws, float* __restrict data, int h) {
    const __m256 half = _mm256_set1_ps(0.5f);
    int k = 1;
    for (; k + 8 <= h / 2; k += 8) {
        const __m256 ar = _mm256_loadu_ps(zr + k), ai = _mm256_loadu_ps(zi + k);
        const __m256 br = reverseAvx2(_mm256_loadu_ps(zr + h - k - 7));
        const __m256 bi = reverseAvx2(_mm256_loadu_ps(zi + h - k - 7));
        const __m256 c = _mm256_loadu_ps(wr + k), sn = _mm256_loadu_ps(ws + k);
        const __m256 er = _mm256_mul_ps(half, _mm256_add_ps(ar, br));
        const __m256 ei = _mm256_mul_ps(half, _mm256_sub_ps(ai, bi));
        const __m256 orr = _mm256_mul_ps(half, _mm256_add_ps(ai, bi));
        const __m256 oi = _mm256_mul_ps(half, _mm256_sub_ps(br, ar));
        const __m256 tr = _mm256_fmsub_ps(c, orr, _mm256_mul_ps(sn, oi));
        const __m256 ti = _mm256_fmadd_ps(c, oi, _mm256_mul_ps(sn, orr));
        storePairsAvx2(data + 2 * k, _mm256_add_ps(er, tr), _mm256_add_ps(ei, ti));
        storePairsAvx2(data + 2 * (h - k - 7), reverseAvx2(_mm256_sub_ps(er, tr)),
                       reverseAvx2(_mm256_sub_ps(ti, ei)));
    }
    return k;
}

// Inverse split step for k = 1 .. eight at a time; returns the first k left to do.
__attribute__((target("avx2,fma"))) int
inverseSplitAvx2(const float* __restrict data, const float* __restrict wr,
                 const float* __restrict ws, float* __restrict zr, float* __restrict zi, int h) {
    const __m256 half = _mm256_set1_ps(0.5f);
    int k = 1;
    for (; k + 8 <= h / 2; k += 8) {
        __m256 xr, xi, yr, yi;
        loadAvx2<true>(nullptr, nullptr, data, k, xr, xi);
        loadAvx2<true>(nullptr, nullptr, data, h - k - 7, yr, yi);
        yr = reverseAvx2(yr);
        yi = reverseAvx2(yi);
        const __m256 c = _mm256_loadu_ps(wr + k), sn = _mm256_loadu_ps(ws + k);
        const __m256 er = _mm256_mul_ps(half, _mm256_add_ps(xr, yr));
        const __m256 ei = _mm256_mul_ps(half, _mm256_sub_ps(xi, yi));
        const __m256 dr = _mm256_sub_ps(xr, yr), di = _mm256_add_ps(xi, yi);
        const __m256 orr = _mm256_mul_ps(half, _mm256_fmadd_ps(dr, c, _mm256_mul_ps(di, sn)));
        const __m256 oi = _mm256_mul_ps(half, _mm256_fmsub_ps(di, c, _mm256_mul_ps(dr, sn)));
        _mm256_storeu_ps(zr + k, _mm256_sub_ps(er, oi));
        _mm256_storeu_ps(zi + k, _mm256_add_ps(ei, orr));
        _mm256_storeu_ps(zr + h - k - 7, reverseAvx2(_mm256_add_ps(er, oi)));
        _mm256_storeu_ps(zi + h - k - 7, reverseAvx2(_mm256_sub_ps(orr, ei)));
    }
    return k;
}

// Bins k .. k + 7 of a packed spectrum and their mirrors h - k .. h - k - 7, split: from
// `paired` (see pairSpectrum) when there is one, else from the packing with lane moves.
VELCORA_AVX2 void loadSpectrumAvx2(const float* __restrict spectrum, const float* __restrict paired,
                                   int h, int k, __m256& sr, __m256& si, __m256& mr, __m256& mi) {
    if (paired != nullptr) {
        const int block = h / 2 + 1;
        sr = _mm256_loadu_ps(paired + k);
        si = _mm256_loadu_ps(paired + block + k);
        mr = _mm256_loadu_ps(paired + 2 * block + k);
        mi = _mm256_loadu_ps(paired + 3 * block + k);
        return;
    }
    loadAvx2<true>(nullptr, nullptr, spectrum, k, sr, si);
    loadAvx2<true>(nullptr, nullptr, spectrum, h - k - 7, mr, mi);
    mr = reverseAvx2(mr);
    mi = reverseAvx2(mi);
}

// a * b - c * d and a * b + c * d: with one rounding of the first product (Fused), as the
// vector split steps compute them, or with every product rounded, as the scalar ones do.
template <bool Fused> VELCORA_AVX2 __m256 mulSubAvx2(__m256 a, __m256 b, __m256 c, __m256 d) {
    return Fused ? _mm256_fmsub_ps(a, b, _mm256_mul_ps(c, d))
                 : _mm256_sub_ps(_mm256_mul_ps(a, b), _mm256_mul_ps(c, d));
}
template <bool Fused> VELCORA_AVX2 __m256 mulAddAvx2(__m256 a, __m256 b, __m256 c, __m256 d) {
    return Fused ? _mm256_fmadd_ps(a, b, _mm256_mul_ps(c, d))
                 : _mm256_add_ps(_mm256_mul_ps(a, b), _mm256_mul_ps(c, d));
}

// The forward split step, the product with a packed spectrum and the inverse split step
// of the bin pairs (k + l, h - k - l), l = 0 .. count - 1 (count <= 8, one vector), on Z in
// place (Fold false) or writing the folded product to `folded` (Fold true). Fused: the
// arithmetic of forwardSplitAvx2, applySpectrum and inverseSplitAvx2 in turn; otherwise
// that of convolveSpectrum's scalar loop. Reads the whole vector's bins, k + 7 <= h / 2.
template <bool Fold, bool Fused>
VELCORA_AVX2 void convolvePairBlockAvx2(float* __restrict zr, float* __restrict zi,
                                        const float* __restrict wr, const float* __restrict ws,
                                        const float* __restrict spectrum,
                                        const float* __restrict paired, float* __restrict folded,
                                        int h, int k, int count) {
    const __m256 half = _mm256_set1_ps(0.5f);
    const __m256 ar = _mm256_loadu_ps(zr + k), ai = _mm256_loadu_ps(zi + k);
    const __m256 br = reverseAvx2(_mm256_loadu_ps(zr + h - k - 7));
    const __m256 bi = reverseAvx2(_mm256_loadu_ps(zi + h - k - 7));
    const __m256 c = _mm256_loadu_ps(wr + k), sn = _mm256_loadu_ps(ws + k);
    const __m256 er = _mm256_mul_ps(half, _mm256_add_ps(ar, br));
    const __m256 ei = _mm256_mul_ps(half, _mm256_sub_ps(ai, bi));
    const __m256 orr = _mm256_mul_ps(half, _mm256_add_ps(ai, bi));
    const __m256 oi = _mm256_mul_ps(half, _mm256_sub_ps(br, ar));
    const __m256 tr = mulSubAvx2<Fused>(c, orr, sn, oi);
    const __m256 ti = mulAddAvx2<Fused>(c, oi, sn, orr);
    const __m256 xr = _mm256_add_ps(er, tr), xi = _mm256_add_ps(ei, ti);
    const __m256 yr = _mm256_sub_ps(er, tr), yi = _mm256_sub_ps(ti, ei);

    __m256 sr, si, mr, mi;
    loadSpectrumAvx2(spectrum, paired, h, k, sr, si, mr, mi);
    const __m256 pr = _mm256_sub_ps(_mm256_mul_ps(sr, xr), _mm256_mul_ps(si, xi));
    const __m256 pi = _mm256_add_ps(_mm256_mul_ps(si, xr), _mm256_mul_ps(sr, xi));
    const __m256 qr = _mm256_sub_ps(_mm256_mul_ps(mr, yr), _mm256_mul_ps(mi, yi));
    const __m256 qi = _mm256_add_ps(_mm256_mul_ps(mi, yr), _mm256_mul_ps(mr, yi));

    if (Fold) {
        const __m256 re = _mm256_add_ps(pr, qr), im = _mm256_sub_ps(pi, qi);
        if (count == 8) {
            storePairsAvx2(folded + 2 * k, re, im);
            return;
        }
        alignas(32) float lanes[2][8];
        _mm256_store_ps(lanes[0], re);
        _mm256_store_ps(lanes[1], im);
        for (int l = 0; l < count; ++l) {
            folded[2 * (k + l)] = lanes[0][l];
            folded[2 * (k + l) + 1] = lanes[1][l];
        }
        return;
    }
    const __m256 fr = _mm256_mul_ps(half, _mm256_add_ps(pr, qr));
    const __m256 fi = _mm256_mul_ps(half, _mm256_sub_ps(pi, qi));
    const __m256 dr = _mm256_sub_ps(pr, qr), di = _mm256_add_ps(pi, qi);
    const __m256 gr = _mm256_mul_ps(half, mulAddAvx2<Fused>(dr, c, di, sn));
    const __m256 gi = _mm256_mul_ps(half, mulSubAvx2<Fused>(di, c, dr, sn));
    const __m256 lowRe = _mm256_sub_ps(fr, gi), lowIm = _mm256_add_ps(fi, gr);
    const __m256 highRe = _mm256_add_ps(fr, gi), highIm = _mm256_sub_ps(gr, fi);
    if (count == 8) {
        _mm256_storeu_ps(zr + k, lowRe);
        _mm256_storeu_ps(zi + k, lowIm);
        _mm256_storeu_ps(zr + h - k - 7, reverseAvx2(highRe));
        _mm256_storeu_ps(zi + h - k - 7, reverseAvx2(highIm));
        return;
    }
    alignas(32) float lanes[4][8];
    _mm256_store_ps(lanes[0], lowRe);
    _mm256_store_ps(lanes[1], lowIm);
    _mm256_store_ps(lanes[2], highRe);
    _mm256_store_ps(lanes[3], highIm);
    for (int l = 0; l < count; ++l) {
        zr[k + l] = lanes[0][l];
        zi[k + l] = lanes[1][l];
        zr[h - k - l] = lanes[2][l];
        zi[h - k - l] = lanes[3][l];
    }
}

// convolvePairBlockAvx2 for the bin pairs k = 1 .. h/2 - 1: fused eight at a time, then
// the pairs left over as the scalar loop computes them, in one vector. Returns the first k
// left to the scalar loop.
template <bool Fold>
__attribute__((target("avx2,fma"))) int
convolvePairsAvx2(float* __restrict zr, float* __restrict zi, const float* __restrict wr,
                  const float* __restrict ws, const float* __restrict spectrum,
                  const float* __restrict paired, float* __restrict folded, int h) {
    int k = 1;
    for (; k + 8 <= h / 2; k += 8)
        convolvePairBlockAvx2<Fold, true>(zr, zi, wr, ws, spectrum, paired, folded, h, k, 8);
    // The last vector reaches bin h/2, the end of the split tables; shorter lengths have
    // no whole vector and stay scalar.
    if (h >= 16 && k < h / 2) {
        convolvePairBlockAvx2<Fold, false>(zr, zi, wr, ws, spectrum, paired, folded, h, k,
                                           h / 2 - k);
        k = h / 2;
    }
    return k;
}

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
            if (st.stride == 1 && t.avx2_) {
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
    if (t.avx2_) first = convolvePairsAvx2<Fold>(zr, zi, wr, ws, spectrum, paired, folded, h);
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
