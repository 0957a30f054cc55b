#include "engine/samplekernels_avx512.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace orvella::avx512 {

#if defined(__x86_64__)

namespace {

constexpr int Nearest = _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC;

// Sixteen 16-bit values as two vectors of eight doubles.
inline void Load16(const int16_t* p, __m512d& a, __m512d& b) {
    const __m512i v =
        _mm512_cvtepi16_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
    a = _mm512_cvtepi32_pd(_mm512_castsi512_si256(v));
    b = _mm512_cvtepi32_pd(_mm512_extracti64x4_epi64(v, 1));
}

// Stores two vectors of eight integral doubles within the 16-bit range as sixteen 16-bit values.
inline void Store16(int16_t* p, __m512d a, __m512d b) {
    const __m512i r =
        _mm512_inserti64x4(_mm512_castsi256_si512(_mm512_cvt_roundpd_epi32(a, Nearest)),
                           _mm512_cvt_roundpd_epi32(b, Nearest), 1);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), _mm512_cvtepi32_epi16(r));
}

inline double RoundScalar(double p) {
    return _mm_cvtsd_f64(_mm_round_sd(_mm_set_sd(p), _mm_set_sd(p), Nearest));
}

inline double Limit(double p) {
    return p < -32767.0 ? -32767.0 : (p > 32767.0 ? 32767.0 : p);
}

} // namespace

void ScaleRounded(const int16_t* src, int16_t* dst, size_t n, double factor) {
    const __m512d f = _mm512_set1_pd(factor);
    const __m512d lo = _mm512_set1_pd(-32767.0), hi = _mm512_set1_pd(32767.0);
    auto scale = [&](__m512d v) {
        return _mm512_roundscale_pd(_mm512_min_pd(_mm512_max_pd(_mm512_mul_pd(v, f), lo), hi),
                                    Nearest);
    };
    size_t k = 0;
    for (; k + 16 <= n; k += 16) {
        __m512d a, b;
        Load16(src + k, a, b);
        Store16(dst + k, scale(a), scale(b));
    }
    for (; k < n; ++k)
        dst[k] = int16_t(int32_t(RoundScalar(Limit(double(src[k]) * factor))));
}

// The product of a 16-bit value and a single-precision factor is exact in double precision, so
// truncating it is the truncation of the exact product.
void ScaleTruncated(const int16_t* src, int16_t* dst, size_t n, float factor) {
    const double exact = factor;
    const __m512d f = _mm512_set1_pd(exact);
    const __m512d lo = _mm512_set1_pd(-32767.0), hi = _mm512_set1_pd(32767.0);
    auto scale = [&](__m512d v) {
        const __m512d p = _mm512_min_pd(_mm512_max_pd(_mm512_mul_pd(v, f), lo), hi);
        return _mm512_cvttpd_epi32(p);
    };
    size_t k = 0;
    for (; k + 16 <= n; k += 16) {
        __m512d a, b;
        Load16(src + k, a, b);
        const __m512i r = _mm512_inserti64x4(_mm512_castsi256_si512(scale(a)), scale(b), 1);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + k), _mm512_cvtepi32_epi16(r));
    }
    for (; k < n; ++k)
        dst[k] = int16_t(int32_t(Limit(double(src[k]) * exact)));
}

namespace {

// The rounded products of sixteen values and their gains; near collects the lanes that came
// within margin of a half.
struct TProducts {
    __m512d Limit;
    __mmask8 Near = 0;
    __m512d Round(__m512d p) {
        const __m512d r = _mm512_roundscale_pd(p, Nearest);
        Near |= _mm512_cmp_pd_mask(_mm512_abs_pd(_mm512_sub_pd(p, r)), Limit, _CMP_GT_OQ);
        return r;
    }
};

} // namespace

int RoundProducts(const int16_t* src, const double* gain, int16_t* dst, size_t n, double margin) {
    TProducts products{_mm512_set1_pd(0.5 - margin)};
    size_t k = 0;
    for (; k + 16 <= n; k += 16) {
        __m512d a, b;
        Load16(src + k, a, b);
        Store16(dst + k, products.Round(_mm512_mul_pd(a, _mm512_loadu_pd(gain + k))),
                products.Round(_mm512_mul_pd(b, _mm512_loadu_pd(gain + k + 8))));
    }
    int nearTie = products.Near != 0;
    for (; k < n; ++k) {
        const double p = double(src[k]) * gain[k];
        const double r = RoundScalar(p);
        nearTie |= int((p - r > 0.5 - margin) || (r - p > 0.5 - margin));
        dst[k] = int16_t(int32_t(r));
    }
    return nearTie;
}

int RoundStereoProducts(const int16_t* src, const double* gain, int16_t* dst, size_t frames,
                        double margin) {
    TProducts products{_mm512_set1_pd(0.5 - margin)};
    // frame gains g0 .. g7 spread to the values L0 R0 .. L3 R3 and L4 R4 .. L7 R7
    const __m512i firstHalf = _mm512_set_epi64(3, 3, 2, 2, 1, 1, 0, 0);
    const __m512i secondHalf = _mm512_set_epi64(7, 7, 6, 6, 5, 5, 4, 4);
    size_t f = 0;
    for (; f + 8 <= frames; f += 8) {
        const __m512d g = _mm512_loadu_pd(gain + f);
        __m512d a, b;
        Load16(src + 2 * f, a, b);
        Store16(dst + 2 * f, products.Round(_mm512_mul_pd(a, _mm512_permutexvar_pd(firstHalf, g))),
                products.Round(_mm512_mul_pd(b, _mm512_permutexvar_pd(secondHalf, g))));
    }
    int nearTie = products.Near != 0;
    for (; f < frames; ++f)
        for (size_t c = 0; c < 2; ++c) {
            const double p = double(src[2 * f + c]) * gain[f];
            const double r = RoundScalar(p);
            nearTie |= int((p - r > 0.5 - margin) || (r - p > 0.5 - margin));
            dst[2 * f + c] = int16_t(int32_t(r));
        }
    return nearTie;
}

#else

void ScaleRounded(const int16_t*, int16_t*, size_t, double) {}
void ScaleTruncated(const int16_t*, int16_t*, size_t, float) {}
int RoundProducts(const int16_t*, const double*, int16_t*, size_t, double) {
    return 0;
}
int RoundStereoProducts(const int16_t*, const double*, int16_t*, size_t, double) {
    return 0;
}

#endif

} // namespace orvella::avx512
