#pragma once
// The real FFT's AVX-512 kernels: the wide radix-4 stages for strides of 16 and more, the AVX2
// ones (realfft_avx2.h) on sixteen lanes with the same operations lane for lane, so the same
// results. Part of realfft.cpp, which includes it once on x86-64 and calls these only where the
// processor runs AVX-512; everything here has internal linkage.

#include <immintrin.h>

#define VELCORA_AVX512 __attribute__((target("avx512f"))) inline

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

} // namespace
} // namespace velcora
