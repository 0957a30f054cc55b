#pragma once
// The real FFT's AVX-512 kernels: the first stage, the stride-4 stage, the wide radix-4 stages for
// strides of 16 and more and the convolution's fused bin pairs, the AVX2 ones (realfft_avx2.h) on
// sixteen lanes with the same operations lane for lane, so the same
// results. Part of realfft.cpp, which includes it once on x86-64 and calls these only where the
// processor runs AVX-512; everything here has internal linkage.

#include <immintrin.h>

#define VELCORA_AVX512 __attribute__((target("avx2,fma,avx512f"))) inline

namespace velcora {
namespace {

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
__attribute__((target("avx2,fma,avx512f"))) void
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

// loadAvx2 on sixteen lanes.
template <bool InterleavedIn>
VELCORA_AVX512 void loadAvx512(const float* __restrict xr, const float* __restrict xi,
                               const float* __restrict pairs, long k, __m512& re, __m512& im) {
    if (InterleavedIn) {
        const __m512 v0 = _mm512_loadu_ps(pairs + 2 * k);
        const __m512 v1 = _mm512_loadu_ps(pairs + 2 * k + 16);
        re = _mm512_permutex2var_ps(
            v0, _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30), v1);
        im = _mm512_permutex2var_ps(
            v0, _mm512_setr_epi32(1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31), v1);
    } else {
        re = _mm512_loadu_ps(xr + k);
        im = _mm512_loadu_ps(xi + k);
    }
}

// Stores o0[u], o1[u], o2[u], o3[u] for u = 0 .. 15 contiguously (a 4 x 16 transpose).
VELCORA_AVX512 void store4Avx512(float* y, __m512 o0, __m512 o1, __m512 o2, __m512 o3) {
    const __m512i low = _mm512_setr_epi32(0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23);
    const __m512i high =
        _mm512_setr_epi32(8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13, 29, 14, 30, 15, 31);
    // (o0, o1) and (o2, o3) pairs per u, then the pairs' pairs as 64-bit units.
    const __m512d a0 = _mm512_castps_pd(_mm512_permutex2var_ps(o0, low, o1));
    const __m512d a1 = _mm512_castps_pd(_mm512_permutex2var_ps(o0, high, o1));
    const __m512d b0 = _mm512_castps_pd(_mm512_permutex2var_ps(o2, low, o3));
    const __m512d b1 = _mm512_castps_pd(_mm512_permutex2var_ps(o2, high, o3));
    const __m512i first = _mm512_setr_epi64(0, 8, 1, 9, 2, 10, 3, 11);
    const __m512i second = _mm512_setr_epi64(4, 12, 5, 13, 6, 14, 7, 15);
    _mm512_storeu_ps(y, _mm512_castpd_ps(_mm512_permutex2var_pd(a0, first, b0)));
    _mm512_storeu_ps(y + 16, _mm512_castpd_ps(_mm512_permutex2var_pd(a0, second, b0)));
    _mm512_storeu_ps(y + 32, _mm512_castpd_ps(_mm512_permutex2var_pd(a1, first, b1)));
    _mm512_storeu_ps(y + 48, _mm512_castpd_ps(_mm512_permutex2var_pd(a1, second, b1)));
}

// firstStageAvx2 on sixteen butterflies at a time. Returns the butterflies done.
template <bool Forward, bool UpperZero, bool InterleavedIn, long Quarter>
__attribute__((target("avx2,fma,avx512f"))) long
firstStageAvx512(const float* __restrict xr, const float* __restrict xi,
                 const float* __restrict pairs, float* __restrict yr, float* __restrict yi,
                 long quarter, const float* __restrict tw) {
    const long m = Quarter > 0 ? Quarter : quarter;
    const long blocks = m / 16 * 16;
    for (long p = 0; p < blocks; p += 16) {
        __m512 ar, ai, br, bi, cr, ci, dr, di;
        loadAvx512<InterleavedIn>(xr, xi, pairs, p, ar, ai);
        loadAvx512<InterleavedIn>(xr, xi, pairs, p + m, br, bi);
        if (UpperZero) {
            cr = ci = dr = di = _mm512_setzero_ps();
        } else {
            loadAvx512<InterleavedIn>(xr, xi, pairs, p + 2 * m, cr, ci);
            loadAvx512<InterleavedIn>(xr, xi, pairs, p + 3 * m, dr, di);
        }
        __m512 w[6];
        for (int k = 0; k < 6; ++k)
            w[k] = _mm512_loadu_ps(tw + k * m + p);
        __m512 oR[4], oI[4];
        butterflyAvx512<Forward>(ar, ai, br, bi, cr, ci, dr, di, w, oR, oI);
        store4Avx512(yr + 4 * p, oR[0], oR[1], oR[2], oR[3]);
        store4Avx512(yi + 4 * p, oI[0], oI[1], oI[2], oI[3]);
    }
    return blocks;
}

// Stores the 128-bit quarter g of o[0 .. 3] to y[16 g ..] in the order o[0], o[1], o[2], o[3].
VELCORA_AVX512 void storeQuartersAvx512(float* y, const __m512* o) {
    // Quarters 0, 1 (then 2, 3) of two vectors alternated, then halves of two such joined.
    const __m512i quartersLow =
        _mm512_setr_epi32(0, 1, 2, 3, 16, 17, 18, 19, 4, 5, 6, 7, 20, 21, 22, 23);
    const __m512i quartersHigh =
        _mm512_setr_epi32(8, 9, 10, 11, 24, 25, 26, 27, 12, 13, 14, 15, 28, 29, 30, 31);
    const __m512i halvesLow =
        _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 16, 17, 18, 19, 20, 21, 22, 23);
    const __m512i halvesHigh =
        _mm512_setr_epi32(8, 9, 10, 11, 12, 13, 14, 15, 24, 25, 26, 27, 28, 29, 30, 31);
    const __m512 t0 = _mm512_permutex2var_ps(o[0], quartersLow, o[1]);
    const __m512 t1 = _mm512_permutex2var_ps(o[0], quartersHigh, o[1]);
    const __m512 t2 = _mm512_permutex2var_ps(o[2], quartersLow, o[3]);
    const __m512 t3 = _mm512_permutex2var_ps(o[2], quartersHigh, o[3]);
    _mm512_storeu_ps(y, _mm512_permutex2var_ps(t0, halvesLow, t2));
    _mm512_storeu_ps(y + 16, _mm512_permutex2var_ps(t0, halvesHigh, t2));
    _mm512_storeu_ps(y + 32, _mm512_permutex2var_ps(t1, halvesLow, t3));
    _mm512_storeu_ps(y + 48, _mm512_permutex2var_ps(t1, halvesHigh, t3));
}

// quadStageAvx2 on sixteen lanes: lanes 4g .. 4g + 3 are p + g (m a multiple of 4). `lanes`
// holds the twiddles in that order (FftTables::quadTwiddlesWide_).
template <bool Forward, long Quarter>
__attribute__((target("avx2,fma,avx512f"))) void
quadStageAvx512(const float* __restrict xr, const float* __restrict xi, float* __restrict yr,
                float* __restrict yi, long quarter, const float* __restrict lanes) {
    const long m = Quarter > 0 ? Quarter : quarter;
    for (long p = 0; p < m; p += 4) {
        __m512 w[6];
        for (int k = 0; k < 6; ++k)
            w[k] = _mm512_load_ps(lanes + (6 * (p / 4) + k) * 16);
        const long i = 4 * p;
        __m512 oR[4], oI[4];
        butterflyAvx512<Forward>(_mm512_loadu_ps(xr + i), _mm512_loadu_ps(xi + i),
                                 _mm512_loadu_ps(xr + i + 4 * m), _mm512_loadu_ps(xi + i + 4 * m),
                                 _mm512_loadu_ps(xr + i + 8 * m), _mm512_loadu_ps(xi + i + 8 * m),
                                 _mm512_loadu_ps(xr + i + 12 * m), _mm512_loadu_ps(xi + i + 12 * m),
                                 w, oR, oI);
        // Output k of p + g goes to y[16 (p + g) + 4k ..].
        storeQuartersAvx512(yr + 16 * p, oR);
        storeQuartersAvx512(yi + 16 * p, oI);
    }
}

VELCORA_AVX512 __m512 reverseAvx512(__m512 v) {
    const __m512i order = _mm512_setr_epi32(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    return _mm512_permutex2var_ps(v, order, v);
}

// loadSpectrumAvx2 for bins k .. k + 15 and their mirrors.
VELCORA_AVX512 void loadSpectrumAvx512(const float* __restrict spectrum,
                                       const float* __restrict paired, int h, int k, __m512& sr,
                                       __m512& si, __m512& mr, __m512& mi) {
    if (paired != nullptr) {
        const int block = h / 2 + 1;
        sr = _mm512_loadu_ps(paired + k);
        si = _mm512_loadu_ps(paired + block + k);
        mr = _mm512_loadu_ps(paired + 2 * block + k);
        mi = _mm512_loadu_ps(paired + 3 * block + k);
        return;
    }
    loadAvx512<true>(nullptr, nullptr, spectrum, k, sr, si);
    loadAvx512<true>(nullptr, nullptr, spectrum, h - k - 15, mr, mi);
    mr = reverseAvx512(mr);
    mi = reverseAvx512(mi);
}

// The fused blocks of convolvePairsAvx2 sixteen bin pairs at a time, lane for lane the same
// operations. Returns the first k left (to the eight-lane blocks and the rest).
template <bool Fold>
__attribute__((target("avx2,fma,avx512f"))) int
convolvePairsAvx512(float* __restrict zr, float* __restrict zi, const float* __restrict wr,
                    const float* __restrict ws, const float* __restrict spectrum,
                    const float* __restrict paired, float* __restrict folded, int h) {
    const __m512 half = _mm512_set1_ps(0.5f);
    int k = 1;
    for (; k + 16 <= h / 2; k += 16) {
        const __m512 ar = _mm512_loadu_ps(zr + k), ai = _mm512_loadu_ps(zi + k);
        const __m512 br = reverseAvx512(_mm512_loadu_ps(zr + h - k - 15));
        const __m512 bi = reverseAvx512(_mm512_loadu_ps(zi + h - k - 15));
        const __m512 c = _mm512_loadu_ps(wr + k), sn = _mm512_loadu_ps(ws + k);
        const __m512 er = _mm512_mul_ps(half, _mm512_add_ps(ar, br));
        const __m512 ei = _mm512_mul_ps(half, _mm512_sub_ps(ai, bi));
        const __m512 orr = _mm512_mul_ps(half, _mm512_add_ps(ai, bi));
        const __m512 oi = _mm512_mul_ps(half, _mm512_sub_ps(br, ar));
        const __m512 tr = _mm512_fmsub_ps(c, orr, _mm512_mul_ps(sn, oi));
        const __m512 ti = _mm512_fmadd_ps(c, oi, _mm512_mul_ps(sn, orr));
        const __m512 xr = _mm512_add_ps(er, tr), xi = _mm512_add_ps(ei, ti);
        const __m512 yr = _mm512_sub_ps(er, tr), yi = _mm512_sub_ps(ti, ei);

        __m512 sr, si, mr, mi;
        loadSpectrumAvx512(spectrum, paired, h, k, sr, si, mr, mi);
        const __m512 pr = _mm512_sub_ps(_mm512_mul_ps(sr, xr), _mm512_mul_ps(si, xi));
        const __m512 pi = _mm512_add_ps(_mm512_mul_ps(si, xr), _mm512_mul_ps(sr, xi));
        const __m512 qr = _mm512_sub_ps(_mm512_mul_ps(mr, yr), _mm512_mul_ps(mi, yi));
        const __m512 qi = _mm512_add_ps(_mm512_mul_ps(mi, yr), _mm512_mul_ps(mr, yi));
        if (Fold) {
            storePairsAvx512(folded + 2 * k, _mm512_add_ps(pr, qr), _mm512_sub_ps(pi, qi));
            continue;
        }
        const __m512 fr = _mm512_mul_ps(half, _mm512_add_ps(pr, qr));
        const __m512 fi = _mm512_mul_ps(half, _mm512_sub_ps(pi, qi));
        const __m512 dr = _mm512_sub_ps(pr, qr), di = _mm512_add_ps(pi, qi);
        const __m512 gr = _mm512_mul_ps(half, _mm512_fmadd_ps(dr, c, _mm512_mul_ps(di, sn)));
        const __m512 gi = _mm512_mul_ps(half, _mm512_fmsub_ps(di, c, _mm512_mul_ps(dr, sn)));
        _mm512_storeu_ps(zr + k, _mm512_sub_ps(fr, gi));
        _mm512_storeu_ps(zi + k, _mm512_add_ps(fi, gr));
        _mm512_storeu_ps(zr + h - k - 15, reverseAvx512(_mm512_add_ps(fr, gi)));
        _mm512_storeu_ps(zi + h - k - 15, reverseAvx512(_mm512_sub_ps(gr, fi)));
    }
    return k;
}

} // namespace
} // namespace velcora
