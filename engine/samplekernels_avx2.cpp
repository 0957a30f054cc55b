#include "engine/samplekernels_avx2.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace orvella::avx2 {

#if defined(__x86_64__)

namespace {

constexpr int Nearest = _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC;
constexpr int TowardZero = _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC;

// Four 16-bit values as doubles.
inline __m256d Load4(const int16_t* p) {
    const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
    return _mm256_cvtepi32_pd(_mm_cvtepi16_epi32(v));
}

// Stores sixteen integral doubles within the 16-bit range as 16-bit values.
inline void Store16(int16_t* p, __m256d a, __m256d b, __m256d c, __m256d d) {
    const __m256i lo = _mm256_set_m128i(_mm256_cvtpd_epi32(b), _mm256_cvtpd_epi32(a));
    const __m256i hi = _mm256_set_m128i(_mm256_cvtpd_epi32(d), _mm256_cvtpd_epi32(c));
    // packs works within 128-bit lanes: put the quarters back in order.
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_packs_epi32(lo, hi), 0xD8);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), packed);
}

// Whether |p - r| > 0.5 - margin in any lane, as a mask.
inline __m256d NearHalf(__m256d p, __m256d r, __m256d limit) {
    const __m256d absMask = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FFFFFFFFFFFFFFF));
    return _mm256_cmp_pd(_mm256_and_pd(_mm256_sub_pd(p, r), absMask), limit, _CMP_GT_OQ);
}

} // namespace

void ScaleRounded(const int16_t* src, int16_t* dst, size_t n, double factor) {
    const __m256d f = _mm256_set1_pd(factor);
    const __m256d lo = _mm256_set1_pd(-32767.0), hi = _mm256_set1_pd(32767.0);
    auto scale = [&](const int16_t* p) {
        const __m256d x = _mm256_min_pd(_mm256_max_pd(_mm256_mul_pd(Load4(p), f), lo), hi);
        return _mm256_round_pd(x, Nearest);
    };
    size_t k = 0;
    for (; k + 16 <= n; k += 16)
        Store16(dst + k, scale(src + k), scale(src + k + 4), scale(src + k + 8),
                scale(src + k + 12));
    for (; k < n; ++k) {
        double p = double(src[k]) * factor;
        p = p < -32767.0 ? -32767.0 : (p > 32767.0 ? 32767.0 : p);
        dst[k] =
            int16_t(int32_t(_mm_cvtsd_f64(_mm_round_sd(_mm_set_sd(p), _mm_set_sd(p), Nearest))));
    }
}

// In single precision: hi is the rounded product and lo its exact error (fused multiply-add), so
// the exact product is hi + lo. Rounding never steps over an integer, so truncating hi gives the
// truncated exact product, except where hi is itself an integer and lo points toward zero: then
// the exact product lies just inside it, one step nearer zero.
void ScaleTruncated(const int16_t* src, int16_t* dst, size_t n, float factor) {
    const __m256 f = _mm256_set1_ps(factor), zero = _mm256_setzero_ps(), one = _mm256_set1_ps(1.0f);
    const __m256 lo = _mm256_set1_ps(-32767.0f), hi = _mm256_set1_ps(32767.0f);
    auto scale = [&](__m128i values) {
        const __m256 v = _mm256_cvtepi32_ps(_mm256_cvtepi16_epi32(values));
        const __m256 p = _mm256_mul_ps(v, f);
        const __m256 e = _mm256_fmsub_ps(v, f, p);
        const __m256 t = _mm256_round_ps(p, TowardZero);
        const __m256 whole = _mm256_cmp_ps(t, p, _CMP_EQ_OQ);
        const __m256 down =
            _mm256_and_ps(_mm256_cmp_ps(p, zero, _CMP_GT_OQ), _mm256_cmp_ps(e, zero, _CMP_LT_OQ));
        const __m256 up =
            _mm256_and_ps(_mm256_cmp_ps(p, zero, _CMP_LT_OQ), _mm256_cmp_ps(e, zero, _CMP_GT_OQ));
        const __m256 step =
            _mm256_and_ps(whole, _mm256_or_ps(_mm256_and_ps(up, one),
                                              _mm256_and_ps(down, _mm256_set1_ps(-1.0f))));
        const __m256 r = _mm256_min_ps(_mm256_max_ps(_mm256_add_ps(t, step), lo), hi);
        return _mm256_cvttps_epi32(r);
    };
    size_t k = 0;
    for (; k + 16 <= n; k += 16) {
        const __m256i in = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + k));
        const __m256i a = scale(_mm256_castsi256_si128(in));
        const __m256i b = scale(_mm256_extracti128_si256(in, 1));
        const __m256i packed = _mm256_permute4x64_epi64(_mm256_packs_epi32(a, b), 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + k), packed);
    }
    const double exact = factor;
    for (; k < n; ++k) {
        double p = double(src[k]) * exact;
        p = p < -32767.0 ? -32767.0 : (p > 32767.0 ? 32767.0 : p);
        dst[k] = int16_t(int32_t(p));
    }
}

int RoundProducts(const int16_t* src, const double* gain, int16_t* dst, size_t n, double margin) {
    const __m256d limit = _mm256_set1_pd(0.5 - margin);
    __m256d near = _mm256_setzero_pd();
    auto product = [&](size_t k) {
        const __m256d p = _mm256_mul_pd(Load4(src + k), _mm256_loadu_pd(gain + k));
        const __m256d r = _mm256_round_pd(p, Nearest);
        near = _mm256_or_pd(near, NearHalf(p, r, limit));
        return r;
    };
    size_t k = 0;
    for (; k + 16 <= n; k += 16)
        Store16(dst + k, product(k), product(k + 4), product(k + 8), product(k + 12));
    int nearTie = _mm256_movemask_pd(near) != 0;
    for (; k < n; ++k) {
        const double p = double(src[k]) * gain[k];
        const double r = _mm_cvtsd_f64(_mm_round_sd(_mm_set_sd(p), _mm_set_sd(p), Nearest));
        nearTie |= int((p - r > 0.5 - margin) || (r - p > 0.5 - margin));
        dst[k] = int16_t(int32_t(r));
    }
    return nearTie;
}

int RoundStereoProducts(const int16_t* src, const double* gain, int16_t* dst, size_t frames,
                        double margin) {
    const __m256d limit = _mm256_set1_pd(0.5 - margin);
    __m256d near = _mm256_setzero_pd();
    auto product = [&](size_t value, __m256d g) {
        const __m256d p = _mm256_mul_pd(Load4(src + value), g);
        const __m256d r = _mm256_round_pd(p, Nearest);
        near = _mm256_or_pd(near, NearHalf(p, r, limit));
        return r;
    };
    size_t f = 0;
    for (; f + 8 <= frames; f += 8) {
        const __m256d g0 = _mm256_loadu_pd(gain + f), g1 = _mm256_loadu_pd(gain + f + 4);
        // frame gains g0 g1 g2 g3 spread to the values L0 R0 L1 R1 and L2 R2 L3 R3
        Store16(dst + 2 * f, product(2 * f, _mm256_permute4x64_pd(g0, 0x50)),
                product(2 * f + 4, _mm256_permute4x64_pd(g0, 0xFA)),
                product(2 * f + 8, _mm256_permute4x64_pd(g1, 0x50)),
                product(2 * f + 12, _mm256_permute4x64_pd(g1, 0xFA)));
    }
    int nearTie = _mm256_movemask_pd(near) != 0;
    for (; f < frames; ++f)
        for (size_t c = 0; c < 2; ++c) {
            const double p = double(src[2 * f + c]) * gain[f];
            const double r = _mm_cvtsd_f64(_mm_round_sd(_mm_set_sd(p), _mm_set_sd(p), Nearest));
            nearTie |= int((p - r > 0.5 - margin) || (r - p > 0.5 - margin));
            dst[2 * f + c] = int16_t(int32_t(r));
        }
    return nearTie;
}

namespace {

// Lanes folded by pairs of halves until width lanes are left: lane k then holds the extreme of
// every lane congruent to k modulo width.
template <bool IsMax> __m256i Extreme(__m256i a, __m256i b) {
    return IsMax ? _mm256_max_epi16(a, b) : _mm256_min_epi16(a, b);
}

template <bool IsMax> void FoldTo(__m256i v, int width, int16_t* lanes) {
    v = Extreme<IsMax>(v, _mm256_permute2x128_si256(v, v, 1));       // 8 lanes
    v = Extreme<IsMax>(v, _mm256_shuffle_epi32(v, 0x4E));            // 4 lanes
    v = Extreme<IsMax>(v, _mm256_shuffle_epi32(v, 0xB1));            // 2 lanes
    if (width == 1) v = Extreme<IsMax>(v, _mm256_srli_epi32(v, 16)); // 1 lane
    _mm_storeu_si32(lanes, _mm256_castsi256_si128(v));
}

} // namespace

void AccumulateMaxMin(const int16_t* p, uint32_t n, int firstChannel, int channels, int16_t* max,
                      int16_t* min) {
    // Lane k of a 16-lane vector holds channel (firstChannel + k) mod channels for one or two
    // channels alike; the accumulators start at 0, as the channel extremes do.
    __m256i hi[4], lo[4];
    for (int a = 0; a < 4; ++a)
        hi[a] = lo[a] = _mm256_setzero_si256();
    uint32_t i = 0;
    for (; i + 64 <= n; i += 64)
        for (int a = 0; a < 4; ++a) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i + 16 * a));
            hi[a] = _mm256_max_epi16(hi[a], v);
            lo[a] = _mm256_min_epi16(lo[a], v);
        }
    for (; i + 16 <= n; i += 16) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
        hi[0] = _mm256_max_epi16(hi[0], v);
        lo[0] = _mm256_min_epi16(lo[0], v);
    }
    const __m256i h =
        _mm256_max_epi16(_mm256_max_epi16(hi[0], hi[1]), _mm256_max_epi16(hi[2], hi[3]));
    const __m256i l =
        _mm256_min_epi16(_mm256_min_epi16(lo[0], lo[1]), _mm256_min_epi16(lo[2], lo[3]));
    int16_t laneMax[2], laneMin[2];
    FoldTo<true>(h, channels, laneMax);
    FoldTo<false>(l, channels, laneMin);
    for (int lane = 0; lane < channels; ++lane) {
        const int c = (firstChannel + lane) % channels;
        if (laneMax[lane] > max[c]) max[c] = laneMax[lane];
        if (laneMin[lane] < min[c]) min[c] = laneMin[lane];
    }
    for (int c = (firstChannel + int(i % uint32_t(channels))) % channels; i < n; ++i) {
        if (p[i] > max[c]) max[c] = p[i];
        if (p[i] < min[c]) min[c] = p[i];
        if (++c == channels) c = 0;
    }
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
void AccumulateMaxMin(const int16_t*, uint32_t, int, int, int16_t*, int16_t*) {}

#endif

} // namespace orvella::avx2
