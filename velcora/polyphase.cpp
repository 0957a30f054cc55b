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
bool processorHasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

bool processorHasAvx512() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("avx512f");
}

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
            const __m256 v =
                _mm256_permutevar8x32_ps(_mm256_loadu_ps(x + Channels * t), lanes);
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

// Downsampler groups with a window: per tap two loads of sixteen values from the group's first
// value on, a two-source permutation to the eight outputs' values, and a multiply and add.
template <int Taps>
__attribute__((target("avx2,avx512f"))) void
downsamplerGroupWindowed(const float* __restrict coef, const int* offsets, int tapCount,
                         const float* __restrict x, float* __restrict sums) {
    const int taps = Taps > 0 ? Taps : tapCount;
    // The upper eight lanes run along unused (their coefficients are 0).
    const __m512i index = _mm512_maskz_loadu_epi32(0xFF, offsets);
    __m512 acc = _mm512_setzero_ps();
    for (int t = 0; t < taps; ++t) {
        const __m512 v =
            _mm512_permutex2var_ps(_mm512_loadu_ps(x + t), index, _mm512_loadu_ps(x + t + 16));
        acc = _mm512_add_ps(acc, _mm512_mul_ps(_mm512_maskz_loadu_ps(0xFF, coef + 8 * t), v));
    }
    _mm512_mask_storeu_ps(sums, 0xFF, acc);
}

// Downsampler groups by gathering each tap's eight values.
template <int Taps>
__attribute__((target("avx2"))) void
downsamplerGroupGathered(const float* __restrict coef, const int* offsets, int tapCount,
                         const float* __restrict x, float* __restrict sums) {
    const int taps = Taps > 0 ? Taps : tapCount;
    const __m256i index = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(offsets));
    __m256 acc = _mm256_setzero_ps();
    for (int t = 0; t < taps; ++t) {
        const __m256 v = _mm256_i32gather_ps(x + t, index, 4);
        acc = _mm256_add_ps(acc, _mm256_mul_ps(_mm256_load_ps(coef + 8 * t), v));
    }
    _mm256_storeu_ps(sums, acc);
}

using GroupKernel = void (*)(const float*, const int*, int, const float*, float*);

template <template <int> class Pick> GroupKernel kernelForTaps(int taps) {
    switch (taps) {
    case 19:
        return Pick<19>::kernel;
    case 13:
        return Pick<13>::kernel;
    case 7:
        return Pick<7>::kernel;
    default:
        return Pick<0>::kernel;
    }
}

template <int Taps> struct PickWindowed {
    static constexpr GroupKernel kernel = downsamplerGroupWindowed<Taps>;
};
template <int Taps> struct PickGathered {
    static constexpr GroupKernel kernel = downsamplerGroupGathered<Taps>;
};
#endif

} // namespace

UpsamplerGroups buildUpsamplerGroups(const PolyphaseFilter& filter, const int* phaseOrder,
                                     const int* frameStep, int listLength, int channels,
                                     int blockSize) {
    UpsamplerGroups gr;
#if defined(__x86_64__)
    if ((channels != 1 && channels != 2) || listLength <= 0 || !processorHasAvx2()) return gr;
    const int lanes = processorHasAvx512() ? 16 : 8;
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
        (void)blockSize;
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
                                         const int* inputStep) {
    DownsamplerGroups gr;
#if defined(__x86_64__)
    constexpr int n = DownsamplerGroups::kOutputs;
    const int phases = filter.phases;
    const int taps = filter.taps;
    if (phases <= 0 || !processorHasAvx2()) return gr;
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
    gr.windowed = widest < 32 && processorHasAvx512();
    gr.phases = phases;
    gr.taps = taps;
    gr.used = true;
#else
    (void)filter, (void)phaseOrder, (void)inputStep;
#endif
    return gr;
}

int downsamplerSums(const DownsamplerGroups& gr, const float* stage, std::int64_t& t,
                    std::int64_t limit, int& cursor, float* out, int stride) {
#if defined(__x86_64__)
    constexpr int n = DownsamplerGroups::kOutputs;
    const GroupKernel kernel = gr.windowed ? kernelForTaps<PickWindowed>(gr.taps)
                                           : kernelForTaps<PickGathered>(gr.taps);
    const int taps = gr.taps;
    int cur = cursor;
    int p = 0;
    alignas(32) float sums[n];
    while (t + gr.offsets[static_cast<std::size_t>(cur) * n + n - 1] < limit) {
        kernel(gr.coefficients.data() + static_cast<std::size_t>(cur) * taps * n,
               gr.offsets.data() + static_cast<std::size_t>(cur) * n, taps, stage + t, sums);
        for (int j = 0; j < n; ++j)
            out[(p + j) * stride] = sums[j];
        p += n;
        t += gr.advance[static_cast<std::size_t>(cur)];
        cur += n;
        if (cur >= gr.phases) cur %= gr.phases;
    }
    cursor = cur;
    return p;
#else
    (void)gr, (void)stage, (void)limit, (void)out, (void)stride;
    (void)t, (void)cursor;
    return 0;
#endif
}

} // namespace velcora
