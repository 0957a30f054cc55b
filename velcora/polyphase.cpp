#include "velcora/polyphase.h"

#include <numeric>
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace velcora {

namespace {

// Largest table, in floats, that the vector forms may lay out.
constexpr long kMaxGroupedFloats = 1L << 22;

#if defined(__x86_64__)
// Upsampler groups in eight lanes: per tap one load of eight values, a lane permutation
// (fixed for the group) and a multiply and add. Taps > 0 fixes the count so the sum unrolls.
template <int Taps, int Channels>
__attribute__((target("avx2"))) void
upsamplerSumsAvx2(const UpsamplerGroups& gr, int& cursor, const float* __restrict input,
                  int outputs, float* __restrict left, float* __restrict right) {
    const int taps = Taps > 0 ? Taps : gr.taps;
    constexpr int kOutputs = 8 / Channels;
    const float* __restrict table = gr.coefficients.data();
    int cur = cursor;
    const float* x = input;
    for (int p = 0; p < outputs; p += kOutputs) {
        const int g = cur / kOutputs;
        const __m256i lanes =
            _mm256_load_si256(reinterpret_cast<const __m256i*>(gr.permute.data() + 8 * g));
        const float* coef = table + static_cast<long>(g) * taps * 8;
        __m256 acc = _mm256_setzero_ps();
        for (int t = 0; t < taps; ++t) {
            const __m256 v = _mm256_permutevar8x32_ps(_mm256_loadu_ps(x + Channels * t), lanes);
            acc = _mm256_add_ps(acc, _mm256_mul_ps(_mm256_load_ps(coef + 8 * t), v));
        }
        if constexpr (Channels == 1) {
            _mm256_storeu_ps(left + p, acc);
        } else {
            const __m128 a = _mm256_castps256_ps128(acc);
            const __m128 b = _mm256_extractf128_ps(acc, 1);
            _mm_storeu_ps(left + p, _mm_shuffle_ps(a, b, 0x88));
            _mm_storeu_ps(right + p, _mm_shuffle_ps(a, b, 0xDD));
        }
        x += Channels * gr.advance[g];
        cur += kOutputs;
        if (cur == gr.length) cur = 0;
    }
    cursor = cur;
}

// The same in sixteen lanes.
template <int Taps, int Channels>
__attribute__((target("avx2,avx512f"))) void
upsamplerSumsAvx512(const UpsamplerGroups& gr, int& cursor, const float* __restrict input,
                    int outputs, float* __restrict left, float* __restrict right) {
    const int taps = Taps > 0 ? Taps : gr.taps;
    constexpr int kOutputs = 16 / Channels;
    const float* __restrict table = gr.coefficients.data();
    int cur = cursor;
    const float* x = input;
    // Stereo lanes alternate left and right: these orders bring either channel's to the front.
    const __m512i evens = _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m512i odds = _mm512_setr_epi32(1, 3, 5, 7, 9, 11, 13, 15, 0, 0, 0, 0, 0, 0, 0, 0);
    for (int p = 0; p < outputs; p += kOutputs) {
        const int g = cur / kOutputs;
        const __m512i lanes = _mm512_load_si512(gr.permute.data() + 16 * g);
        const float* coef = table + static_cast<long>(g) * taps * 16;
        __m512 acc = _mm512_setzero_ps();
        for (int t = 0; t < taps; ++t) {
            const __m512 w = _mm512_loadu_ps(x + Channels * t);
            const __m512 v = _mm512_permutex2var_ps(w, lanes, w);
            acc = _mm512_add_ps(acc, _mm512_mul_ps(_mm512_load_ps(coef + 16 * t), v));
        }
        if constexpr (Channels == 1) {
            _mm512_storeu_ps(left + p, acc);
        } else {
            _mm512_mask_storeu_ps(left + p, 0xFF, _mm512_permutex2var_ps(acc, evens, acc));
            _mm512_mask_storeu_ps(right + p, 0xFF, _mm512_permutex2var_ps(acc, odds, acc));
        }
        x += Channels * gr.advance[g];
        cur += kOutputs;
        if (cur == gr.length) cur = 0;
    }
    cursor = cur;
}

// Picks the kernel instance for the tap count (the counts of common rate pairs unroll).
template <int Channels, bool Wide>
void dispatchUpsampler(const UpsamplerGroups& gr, int& cursor, const float* input, int outputs,
                       float* left, float* right) {
    auto run = [&](auto kernel) { kernel(gr, cursor, input, outputs, left, right); };
#define VELCORA_UP_CASE(n)                                                                         \
    case n:                                                                                        \
        if constexpr (Wide)                                                                        \
            run(upsamplerSumsAvx512<n, Channels>);                                                 \
        else                                                                                       \
            run(upsamplerSumsAvx2<n, Channels>);                                                   \
        return;
    switch (gr.taps) {
        VELCORA_UP_CASE(3)
        VELCORA_UP_CASE(6)
        VELCORA_UP_CASE(7)
        VELCORA_UP_CASE(9)
        VELCORA_UP_CASE(13)
    default:
        break;
    }
#undef VELCORA_UP_CASE
    if constexpr (Wide)
        run(upsamplerSumsAvx512<0, Channels>);
    else
        run(upsamplerSumsAvx2<0, Channels>);
}

// Outputs of the group starting at t that read below `limit`: all eight, or those before the
// first that does not (the offsets grow from output to output).
inline int outputsBelow(const int* offsets, std::int64_t t, std::int64_t limit) {
    constexpr int n = DownsamplerGroups::kOutputs;
    if (t + offsets[n - 1] < limit) return n;
    int count = 1;
    while (count < n && t + offsets[count] < limit)
        ++count;
    return count;
}

// Output values j = 0 .. 15 of `keep` to out[j * stride].
__attribute__((target("avx2,avx512f"), always_inline)) inline void
storeOutputs(float* out, int stride, __m512i outIndex, __m512 sums, __mmask16 keep) {
    if (stride == 1)
        _mm512_mask_storeu_ps(out, keep, sums);
    else
        _mm512_mask_i32scatter_ps(out, keep, outIndex, sums, 4);
}

// Downsampler groups with a window: per tap two loads of sixteen values from the group's first
// value on, a two-source permutation to the eight outputs' values, and a multiply and add. The
// last group of a block may be partial: its outputs past the block are computed and dropped.
template <int Taps>
__attribute__((target("avx2,avx512f"))) int
downsamplerSumsWindowed(const DownsamplerGroups& gr, const float* stage, std::int64_t& t,
                        std::int64_t limit, int& cursor, float* out, int stride) {
    constexpr int n = DownsamplerGroups::kOutputs;
    const int taps = Taps > 0 ? Taps : gr.taps;
    const __m512i outIndex =
        _mm512_mullo_epi32(_mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15),
                           _mm512_set1_epi32(stride));
    int cur = cursor;
    int p = 0;
    while (t < limit) {
        const int* offsets = gr.offsets.data() + static_cast<std::size_t>(cur) * n;
        const float* __restrict coef =
            gr.coefficients.data() + static_cast<std::size_t>(cur) * taps * n;
        const float* __restrict x = stage + t;
        // Two whole groups side by side, so that the two chains of additions overlap.
        const int nextCur = (cur + n) % gr.phases;
        const std::int64_t nextT = t + gr.advance[static_cast<std::size_t>(cur)];
        const int* nextOffsets = gr.offsets.data() + static_cast<std::size_t>(nextCur) * n;
        if (nextT + nextOffsets[n - 1] < limit) {
            // Lanes 0 - 7 for this group, 8 - 15 for the next, each permuted from its own
            // window: the first permutation fills lanes 0 - 7 and keeps the next group's
            // indices in lanes 8 - 15, which the second one reads and fills.
            const float* __restrict pairCoef =
                gr.pairCoefficients.data() + static_cast<std::size_t>(cur) * taps * 2 * n;
            const float* __restrict y = stage + nextT;
            const __m512i index = _mm512_load_si512(gr.pairOffsets.data() + 2 * n * cur);
            __m512 acc = _mm512_setzero_ps();
            for (int k = 0; k < taps; ++k) {
                const __m512 v = _mm512_mask2_permutex2var_ps(_mm512_loadu_ps(x + k), index, 0x00FF,
                                                              _mm512_loadu_ps(x + k + 16));
                const __m512 vw =
                    _mm512_mask2_permutex2var_ps(_mm512_loadu_ps(y + k), _mm512_castps_si512(v),
                                                 0xFF00, _mm512_loadu_ps(y + k + 16));
                acc = _mm512_add_ps(acc, _mm512_mul_ps(_mm512_load_ps(pairCoef + 2 * n * k), vw));
            }
            storeOutputs(out + static_cast<std::size_t>(p) * stride, stride, outIndex, acc, 0xFFFF);
            p += 2 * n;
            t = nextT + gr.advance[static_cast<std::size_t>(nextCur)];
            cur = (nextCur + n) % gr.phases;
            continue;
        }
        // The upper eight lanes run along unused (their coefficients are 0).
        const __m512i index = _mm512_maskz_loadu_epi32(0xFF, offsets);
        __m512 acc = _mm512_setzero_ps();
        for (int k = 0; k < taps; ++k) {
            const __m512 v =
                _mm512_permutex2var_ps(_mm512_loadu_ps(x + k), index, _mm512_loadu_ps(x + k + 16));
            acc = _mm512_add_ps(acc, _mm512_mul_ps(_mm512_maskz_loadu_ps(0xFF, coef + n * k), v));
        }
        const int count = outputsBelow(offsets, t, limit);
        storeOutputs(out + static_cast<std::size_t>(p) * stride, stride, outIndex, acc,
                     static_cast<__mmask16>((1u << count) - 1));
        p += count;
        if (count < n) {
            t += offsets[count];
            cur = (cur + count) % gr.phases;
            break;
        }
        t += gr.advance[static_cast<std::size_t>(cur)];
        cur = (cur + n) % gr.phases;
    }
    cursor = cur;
    return p;
}

// The same with each tap's eight values gathered.
template <int Taps>
__attribute__((target("avx2"))) int
downsamplerSumsGathered(const DownsamplerGroups& gr, const float* stage, std::int64_t& t,
                        std::int64_t limit, int& cursor, float* out, int stride) {
    constexpr int n = DownsamplerGroups::kOutputs;
    const int taps = Taps > 0 ? Taps : gr.taps;
    int cur = cursor;
    int p = 0;
    alignas(32) float sums[n];
    while (t < limit) {
        const int* offsets = gr.offsets.data() + static_cast<std::size_t>(cur) * n;
        const float* __restrict coef =
            gr.coefficients.data() + static_cast<std::size_t>(cur) * taps * n;
        const float* __restrict x = stage + t;
        const __m256i index = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(offsets));
        __m256 acc = _mm256_setzero_ps();
        for (int k = 0; k < taps; ++k) {
            const __m256 v = _mm256_i32gather_ps(x + k, index, 4);
            acc = _mm256_add_ps(acc, _mm256_mul_ps(_mm256_load_ps(coef + n * k), v));
        }
        _mm256_store_ps(sums, acc);
        const int count = outputsBelow(offsets, t, limit);
        for (int j = 0; j < count; ++j)
            out[static_cast<std::size_t>(p + j) * stride] = sums[j];
        p += count;
        if (count < n) {
            t += offsets[count];
            cur = (cur + count) % gr.phases;
            break;
        }
        t += gr.advance[static_cast<std::size_t>(cur)];
        cur = (cur + n) % gr.phases;
    }
    cursor = cur;
    return p;
}

template <bool Windowed, int Taps>
int downsamplerSumsFor(const DownsamplerGroups& gr, const float* stage, std::int64_t& t,
                       std::int64_t limit, int& cursor, float* out, int stride) {
    if constexpr (Windowed)
        return downsamplerSumsWindowed<Taps>(gr, stage, t, limit, cursor, out, stride);
    else
        return downsamplerSumsGathered<Taps>(gr, stage, t, limit, cursor, out, stride);
}

template <bool Windowed>
int dispatchDownsampler(const DownsamplerGroups& gr, const float* stage, std::int64_t& t,
                        std::int64_t limit, int& cursor, float* out, int stride) {
    switch (gr.taps) {
    case 19:
        return downsamplerSumsFor<Windowed, 19>(gr, stage, t, limit, cursor, out, stride);
    case 13:
        return downsamplerSumsFor<Windowed, 13>(gr, stage, t, limit, cursor, out, stride);
    case 7:
        return downsamplerSumsFor<Windowed, 7>(gr, stage, t, limit, cursor, out, stride);
    default:
        return downsamplerSumsFor<Windowed, 0>(gr, stage, t, limit, cursor, out, stride);
    }
}
#endif

} // namespace

VectorLevel processorVectorLevel() {
#if defined(__x86_64__)
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("avx2")) return VectorLevel::Scalar;
    return __builtin_cpu_supports("avx512f") ? VectorLevel::Avx512 : VectorLevel::Avx2;
#else
    return VectorLevel::Scalar;
#endif
}

UpsamplerGroups buildUpsamplerGroups(const PolyphaseFilter& filter, const int* phaseOrder,
                                     const int* frameStep, int listLength, int channels,
                                     int blockSize, VectorLevel level) {
    UpsamplerGroups gr;
#if defined(__x86_64__)
    if ((channels != 1 && channels != 2) || listLength <= 0 || level == VectorLevel::Scalar)
        return gr;
    const int lanes = level == VectorLevel::Avx512 ? 16 : 8;
    const int outputs = lanes / channels;
    if (blockSize % outputs != 0) return gr;
    const long length = std::lcm(static_cast<long>(listLength), static_cast<long>(outputs));
    if (length * filter.taps * channels > kMaxGroupedFloats) return gr;
    const int taps = filter.taps;
    const long groups = length / outputs;
    gr.coefficients.reset(static_cast<std::size_t>(length * taps * channels));
    gr.permute.reset(static_cast<std::size_t>(groups * lanes));
    gr.advance.reset(static_cast<std::size_t>(groups));
    for (long g = 0; g < groups; ++g) {
        int offset = 0; // frames from the group's first output
        for (int j = 0; j < outputs; ++j) {
            const long position = (g * outputs + j) % listLength;
            const float* row = filter.row(phaseOrder[position]);
            for (int c = 0; c < channels; ++c) {
                const int lane = j * channels + c;
                gr.permute[static_cast<std::size_t>(g * lanes + lane)] = offset * channels + c;
                for (int t = 0; t < taps; ++t)
                    gr.coefficients[static_cast<std::size_t>((g * taps + t) * lanes + lane)] =
                        row[t];
            }
            offset += frameStep[position];
        }
        gr.advance[static_cast<std::size_t>(g)] = offset;
    }
    gr.lanes = lanes;
    gr.outputs = outputs;
    gr.length = static_cast<int>(length);
    gr.channels = channels;
    gr.taps = taps;
#else
    (void)filter, (void)phaseOrder, (void)frameStep, (void)listLength, (void)channels,
        (void)blockSize, (void)level;
#endif
    return gr;
}

void upsamplerSums(const UpsamplerGroups& gr, int& cursor, const float* input, int outputs,
                   float* blocks, int blockStride) {
#if defined(__x86_64__)
    float* left = blocks;
    float* right = blocks + blockStride;
    if (gr.lanes == 16) {
        if (gr.channels == 1)
            dispatchUpsampler<1, true>(gr, cursor, input, outputs, left, right);
        else
            dispatchUpsampler<2, true>(gr, cursor, input, outputs, left, right);
    } else {
        if (gr.channels == 1)
            dispatchUpsampler<1, false>(gr, cursor, input, outputs, left, right);
        else
            dispatchUpsampler<2, false>(gr, cursor, input, outputs, left, right);
    }
#else
    (void)gr, (void)cursor, (void)input, (void)outputs, (void)blocks, (void)blockStride;
#endif
}

DownsamplerGroups buildDownsamplerGroups(const PolyphaseFilter& filter, const int* phaseOrder,
                                         const int* inputStep, VectorLevel level) {
    DownsamplerGroups gr;
#if defined(__x86_64__)
    constexpr int n = DownsamplerGroups::kOutputs;
    const int phases = filter.phases;
    const int taps = filter.taps;
    if (phases <= 0 || level == VectorLevel::Scalar) return gr;
    if (static_cast<long>(phases) * taps * n > kMaxGroupedFloats) return gr;
    gr.coefficients.reset(static_cast<std::size_t>(phases) * taps * n);
    gr.offsets.reset(static_cast<std::size_t>(phases) * n);
    gr.advance.reset(static_cast<std::size_t>(phases));
    int widest = 0;
    for (int start = 0; start < phases; ++start) {
        int offset = 0;
        for (int j = 0; j < n; ++j) {
            const int position = (start + j) % phases;
            const float* row = filter.row(phaseOrder[position]);
            for (int t = 0; t < taps; ++t)
                gr.coefficients[(static_cast<std::size_t>(start) * taps + t) * n + j] = row[t];
            gr.offsets[static_cast<std::size_t>(start) * n + j] = offset;
            widest = offset > widest ? offset : widest;
            offset += inputStep[position];
        }
        gr.advance[static_cast<std::size_t>(start)] = offset;
    }
    gr.windowed = widest < 32 && level == VectorLevel::Avx512;
    if (gr.windowed) {
        // Per start position its group and the next one side by side in sixteen lanes.
        gr.pairCoefficients.reset(static_cast<std::size_t>(phases) * taps * 2 * n);
        gr.pairOffsets.reset(static_cast<std::size_t>(phases) * 2 * n);
        for (int start = 0; start < phases; ++start)
            for (int half = 0; half < 2; ++half) {
                const int from = (start + half * n) % phases;
                for (int j = 0; j < n; ++j) {
                    const int lane = half * n + j;
                    gr.pairOffsets[static_cast<std::size_t>(start) * 2 * n + lane] =
                        gr.offsets[static_cast<std::size_t>(from) * n + j];
                    for (int t = 0; t < taps; ++t)
                        gr.pairCoefficients[(static_cast<std::size_t>(start) * taps + t) * 2 * n +
                                            lane] =
                            gr.coefficients[(static_cast<std::size_t>(from) * taps + t) * n + j];
                }
            }
    }
    // The window reaches 31 values past a group's first, a gather its widest offset.
    gr.readAhead = widest + 1 > 32 ? widest + 1 : 32;
    gr.phases = phases;
    gr.taps = taps;
    gr.used = true;
#else
    (void)filter, (void)phaseOrder, (void)inputStep, (void)level;
#endif
    return gr;
}

int downsamplerSums(const DownsamplerGroups& gr, const float* stage, std::int64_t& t,
                    std::int64_t limit, int& cursor, float* out, int stride) {
#if defined(__x86_64__)
    return gr.windowed ? dispatchDownsampler<true>(gr, stage, t, limit, cursor, out, stride)
                       : dispatchDownsampler<false>(gr, stage, t, limit, cursor, out, stride);
#else
    (void)gr, (void)stage, (void)limit, (void)out, (void)stride;
    (void)t, (void)cursor;
    return 0;
#endif
}

} // namespace velcora
