#pragma once
// The real FFT's AVX2 kernels (with FMA): the first stage over the interleaved pairs, the wide,
// stride-4 and radix-2 stages, the split steps and the convolution's spectrum products. Their
// AVX-512 twins (realfft_avx512.h) repeat them lane for lane. Part of realfft.cpp, which includes
// it once on x86-64 and calls these only where the processor runs AVX2 and FMA; everything here
// has internal linkage.

#include <immintrin.h>

#define VELCORA_AVX2 __attribute__((target("avx2,fma"))) inline

namespace velcora {
namespace {

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

// convolvePairBlockAvx2 for the bin pairs k .. h/2 - 1 (k = 1, or where the sixteen-lane blocks
// stopped): fused eight at a time, then the pairs left over as the scalar loop computes them,
// in one vector. Returns the first k left to the scalar loop.
template <bool Fold>
__attribute__((target("avx2,fma"))) int
convolvePairsAvx2(float* __restrict zr, float* __restrict zi, const float* __restrict wr,
                  const float* __restrict ws, const float* __restrict spectrum,
                  const float* __restrict paired, float* __restrict folded, int h, int k = 1) {
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

} // namespace
} // namespace velcora
