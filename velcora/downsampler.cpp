#include "velcora/downsampler.h"

#include "velcora/polyphase.h"
#include "velcora/simd.h"

#include <cmath>
#include <cstring>
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace velcora {

namespace {

#if defined(__x86_64__)
// The zero insertion for K = 2 or 3 and one or two channels: block[phase + K j] = in[j ch],
// zeros between, for the positions 0 .. 16 K chunks - 1. Each chunk of 16 input values fills
// K vectors, each by one permutation (`order`, K x 16 lanes for this phase) with the lanes
// that hold no input zeroed (`keep`, K masks). Returns the positions written.
__attribute__((target("avx2,avx512f"))) int insertZerosAvx512(const float* __restrict in, int ch,
                                                              int k, const int* order,
                                                              const std::uint16_t* keep, int size,
                                                              float* __restrict block) {
    const int span = 16 * k;
    const int chunks = size / span;
    const __m512i evens =
        _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
    __m512i lanes[3];
    for (int r = 0; r < k; ++r)
        lanes[r] = _mm512_load_si512(order + 16 * r);
    for (int chunk = 0; chunk < chunks; ++chunk) {
        const float* x = in + static_cast<std::size_t>(chunk) * 16 * ch;
        const __m512 values =
            ch == 1 ? _mm512_loadu_ps(x)
                    : _mm512_permutex2var_ps(_mm512_loadu_ps(x), evens, _mm512_loadu_ps(x + 16));
        for (int r = 0; r < k; ++r)
            _mm512_storeu_ps(block + chunk * span + 16 * r,
                             _mm512_maskz_permutexvar_ps(keep[r], lanes[r], values));
    }
    return chunks * span;
}

bool processorHasAvx512() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("avx512f");
}
#endif

} // namespace

Downsampler::Downsampler(const ConverterConfig& config)
    : BufferedRateConverter(config) {
    if (dstRate_ <= 0 || srcRate_ <= dstRate_ || channels_ <= 0) return;
    const std::int64_t fs = srcRate_;
    const std::int64_t fd = dstRate_;
    g_ = greatestCommonDivisor(static_cast<std::uint32_t>(fs), static_cast<std::uint32_t>(fd));
    const std::int64_t r = fd / g_;
    k_ = oversamplingFactor(static_cast<std::uint32_t>(r));
    if (k_ == 0) return;
    ff_ = k_ * fs;
    fp_ = fs / g_ * fd;

    // The stop band begins at Fd / 2; the gain K restores the level lost by zero insertion.
    fft_ = buildFftFilter(static_cast<double>(ff_), FftCutoffRule{0.0, static_cast<double>(fd)},
                          static_cast<double>(k_), attenuation_, fftLength_, transitionWidth_,
                          tables_);
    if (fft_.length == 0) return;

    if (k_ == 1) {
        // Fd divides Fs: stage two keeps every (Fs / Fd)-th value.
        poly_.length = 1;
        poly_.phases = 1;
        poly_.taps = 1;
        poly_.table.reset(1);
        poly_.table[0] = 1.0f;
        phaseOrder_.reset(1);
        inputStep_.reset(1);
        phaseOrder_[0] = 0;
        inputStep_[0] = static_cast<int>(fs / fd);
    } else {
        const int phases = static_cast<int>(fp_ / ff_);
        poly_ = buildPolyphaseFilter(fp_, phases, fs, ff_, attenuation_);
        if (poly_.length == 0) return;
        // Output i sits at Fp position i s (s = Fp / Fd): on stage-two value
        // ceil(i s / P) with phase P - (i s mod P); the step to the next output's value
        // is ceil((s - phase) / P).
        const std::int64_t s = fp_ / fd;
        phaseOrder_.reset(static_cast<std::size_t>(phases));
        inputStep_.reset(static_cast<std::size_t>(phases));
        for (int i = 0; i < phases; ++i) {
            std::int64_t phase = phases - (static_cast<std::int64_t>(i) * s) % phases;
            if (phase == phases) phase = 0;
            phaseOrder_[i] = static_cast<int>(phase);
        }
        for (int i = 0; i < phases; ++i) {
            std::int64_t step = (s - phaseOrder_[i]) / phases + 1;
            if (phaseOrder_[(i + 1) % phases] == 0) --step;
            inputStep_[i] = static_cast<int>(step);
        }
        groups_ = buildDownsamplerGroups(poly_, phaseOrder_.data(), inputStep_.data());
    }

    half_ = fft_.fftSize / 2;
    const int ch = channels_;
#if defined(__x86_64__)
    vectorInsertion_ = (ch == 1 || ch == 2) && k_ > 1 && processorHasAvx512();
    if (vectorInsertion_) {
        // Per insertion phase and vector r of a chunk: the chunk's input value at each lane.
        insertionOrder_.reset(static_cast<std::size_t>(k_ * k_ * 16));
        insertionKeep_.reset(static_cast<std::size_t>(k_ * k_));
        for (int phase = 0; phase < k_; ++phase)
            for (int r = 0; r < k_; ++r)
                for (int l = 0; l < 16; ++l) {
                    const int at = 16 * r + l - phase;
                    if (at < 0 || at % k_ != 0) continue;
                    insertionOrder_[static_cast<std::size_t>((phase * k_ + r) * 16 + l)] = at / k_;
                    insertionKeep_[static_cast<std::size_t>(phase * k_ + r)] |=
                        static_cast<std::uint16_t>(1u << l);
                }
    }
#endif
    inputBuffer_.reset(static_cast<std::size_t>(half_ / k_ + k_ + 1) * ch);
    // Every stage-two step advances at least one value, so a block yields at most H + 1.
    outputFrames_ = half_ + 2;
    blockOutput_.reset(static_cast<std::size_t>(outputFrames_) * ch);
    fftBlocks_.reset(static_cast<std::size_t>(fft_.fftSize) * ch);
    stageStride_ = half_ + poly_.taps + 1;
    // Slack after the last channel's buffer for the vector sums' loads.
    stageBuffers_.reset(static_cast<std::size_t>(stageStride_) * ch +
                        static_cast<std::size_t>(groups_.readAhead));
    evenOnly_ = k_ == 1 && inputStep_[0] == 2 && fft_.fftSize >= 8;
    if (evenOnly_) {
        evenValues_.reset(static_cast<std::size_t>(half_));
        evenTails_.reset(static_cast<std::size_t>(half_ / 2) * ch);
        evenHistory_.reset(static_cast<std::size_t>(ch));
    }

    const double perOutputPoly = static_cast<double>(fp_) / static_cast<double>(fd);
    const double perOutputFft = static_cast<double>(ff_) / static_cast<double>(fd);
    framesToDrop_ = static_cast<int>(
        std::floor(poly_.length * 0.5 / perOutputPoly + fft_.length * 0.5 / perOutputFft));
    valid_ = true;
}

std::uint32_t Downsampler::process(const float* data, std::uint32_t count, bool final) {
    if (!valid_) return 0;
    const int ch = channels_;
    const std::int64_t need = blockNeed();
    std::int64_t n;
    if (!final) {
        if (static_cast<std::int64_t>(count) < ch * need) return 0;
        n = need;
    } else {
        n = count / static_cast<std::uint32_t>(ch);
        if (n > need) n = need;
    }
    // A whole block is read where it stands; a short final one is padded with zero frames.
    const float* in = data;
    if (n < need) {
        float* padded = inputBuffer_.data();
        if (n > 0) std::memcpy(padded, data, static_cast<std::size_t>(n * ch) * sizeof(float));
        std::memset(padded + n * ch, 0, static_cast<std::size_t>((need - n) * ch) * sizeof(float));
        in = padded;
    }
    framesRead_ += n;

    const std::int64_t perFftValue = poly_.phases; // Fp / Ff
    std::int64_t firstTap = outputPosition_ / perFftValue;
    if (outputPosition_ % perFftValue != 0) ++firstTap;

    const int startCursor = cursor_;
    int produced = 0;
    for (int c = 0; c < ch; ++c) {
        cursor_ = startCursor;
        produced = filterChannel(c, in + c, firstTap);
    }
    // The first position at or past H in steps of K from where this block began.
    const int steps = insertionPhase_ < half_ ? (half_ - insertionPhase_ + k_ - 1) / k_ : 0;
    insertionPhase_ += steps * k_ - half_;
    outputPosition_ += produced * (fp_ / dstRate_);

    emitBlock(blockOutput_.data(), produced, final, framesRead_, framesWritten_, framesToDrop_);

    std::int64_t ds = (outputPosition_ - 1) / perFftValue;
    if (ds > half_) ds = half_;
    const int m = fft_.fftSize;
    for (int c = 0; c < ch && !evenOnly_; ++c) {
        float* stage = stageBuffers_.data() + static_cast<std::size_t>(c) * stageStride_;
        if (ds > 0)
            std::memmove(stage, stage + ds,
                         static_cast<std::size_t>(stageStride_ - ds) * sizeof(float));
        // The convolution tail that the next block adds to.
        const float* block = fftBlocks_.data() + static_cast<std::size_t>(c) * m;
        std::memcpy(stage + poly_.taps + 1, block + half_,
                    static_cast<std::size_t>(half_) * sizeof(float));
    }
    outputPosition_ -= ds * perFftValue;
    return static_cast<std::uint32_t>(n * ch);
}

// Stage one and stage two of one channel; returns the block's output frames.
VELCORA_SIMD_CLONES int Downsampler::filterChannel(int c, const float* input,
                                                   std::int64_t firstTap) {
    const int ch = channels_;
    const int m = fft_.fftSize;
    const int k = k_;
    float* __restrict block = fftBlocks_.data() + static_cast<std::size_t>(c) * m;
    const float* __restrict in = input;

    // The lower half takes the input with K - 1 zeros after each sample; the upper half is
    // zero padding, which the transform supplies itself.
    if (k == 1) {
        for (int i = 0; i < half_; ++i)
            block[i] = in[i * ch];
    } else {
        int done = 0; // positions written so far, a multiple of K
#if defined(__x86_64__)
        if (vectorInsertion_)
            done = insertZerosAvx512(in, ch, k, insertionOrder_.data() + insertionPhase_ * k * 16,
                                     insertionKeep_.data() + insertionPhase_ * k, half_, block);
#endif
        std::memset(block + done, 0, static_cast<std::size_t>(half_ - done) * sizeof(float));
        int j = done / k;
        for (int i = done + insertionPhase_; i < half_; i += k, ++j)
            block[i] = in[j * ch];
    }

    if (evenOnly_) return decimateByTwo(c, firstTap);

    const int taps = poly_.taps;
    float* __restrict stage = stageBuffers_.data() + static_cast<std::size_t>(c) * stageStride_;
    realConvolve(m, block, fft_.spectrum.data(), tables_, fft_.pairedSpectrum.data());
    for (int i = 0; i < half_; ++i)
        stage[taps + 1 + i] += block[i];

    float* out = blockOutput_.data() + c;
    const int phases = poly_.phases;
    int cur = cursor_;
    int p = 0;
    std::int64_t t = firstTap;
    if (taps == 1 && phases == 1) {
        // Plain decimation: the single tap is 1.0, so the values are taken as they are.
        const int step = inputStep_[0];
        for (; t < half_ + 1; t += step, ++p)
            out[p * ch] = stage[t];
    } else {
        // In vectors where the processor allows, else one by one.
        if (groups_.used) p = downsamplerSums(groups_, stage, t, half_ + 1, cur, out, ch);
        const float* table = poly_.table.data();
        for (; t < half_ + 1; ++p) {
            const float* row = table + static_cast<long>(phaseOrder_[cur]) * taps;
            const float* x = stage + t;
            float acc = 0.0f;
            for (int q = 0; q < taps; ++q)
                acc += row[q] * x[q];
            out[p * ch] = acc;
            t += inputStep_[cur];
            if (++cur == phases) cur = 0;
        }
    }
    cursor_ = cur;
    return p;
}

// Decimation by 2 on the compact stage-two buffer. Stage value 2 + 2j (block value 2j) is
// the previous block's even tail j plus this block's even value j; every output reads one
// such value, and the first block starts one output earlier, at the history value.
int Downsampler::decimateByTwo(int c, std::int64_t firstTap) {
    const int ch = channels_;
    const int m = fft_.fftSize;
    float* block = fftBlocks_.data() + static_cast<std::size_t>(c) * m;
    float* __restrict even = evenValues_.data();
    realConvolveEven(m, block, fft_.spectrum.data(), even, tables_, halfTables_,
                     fft_.pairedSpectrum.data());

    const int values = half_ / 2;
    float* __restrict tail = evenTails_.data() + static_cast<std::size_t>(c) * values;
    float* __restrict out = blockOutput_.data() + c;
    int p = 0;
    if (firstTap == 0) out[(p++) * ch] = evenHistory_[c];
    for (int j = 0; j < values; ++j)
        out[(p + j) * ch] = tail[j] + even[j];
    p += values;
    // Position H of the stage buffer (block value H - 2) becomes the next block's history.
    evenHistory_[c] = out[(p - 1) * ch];
    for (int j = 0; j < values; ++j)
        tail[j] = even[values + j];
    return p;
}

} // namespace velcora
