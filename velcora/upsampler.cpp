#include "velcora/upsampler.h"

#include "velcora/polyphase.h"
#include "velcora/simd.h"

#include <cmath>
#include <cstring>
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace velcora {

namespace {

// Stage-one polyphase sums for `Channels` interleaved channels (0: any count). Each
// output sums T products in tap order, in float, one accumulator per channel.
template <int Channels>
void polyphaseSums(const float* __restrict table, int taps, const int* __restrict phaseOrder,
                   const int* __restrict frameStep, int listLength, int& cursor,
                   const float* __restrict input, int channelCount, int outputs, float* fftBlocks,
                   int fftSize) {
    const int ch = Channels > 0 ? Channels : channelCount;
    int cur = cursor;
    const float* x = input;
    if constexpr (Channels > 0) {
        float* out[Channels];
        for (int c = 0; c < Channels; ++c)
            out[c] = fftBlocks + static_cast<long>(c) * fftSize;
        for (int p = 0; p < outputs; ++p) {
            const float* row = table + static_cast<long>(phaseOrder[cur]) * taps;
            float acc[Channels] = {};
            for (int t = 0; t < taps; ++t)
                for (int c = 0; c < Channels; ++c)
                    acc[c] += row[t] * x[t * Channels + c];
            for (int c = 0; c < Channels; ++c)
                out[c][p] = acc[c];
            x += frameStep[cur] * Channels;
            if (++cur == listLength) cur = 0;
        }
    } else {
        for (int p = 0; p < outputs; ++p) {
            const float* row = table + static_cast<long>(phaseOrder[cur]) * taps;
            for (int c = 0; c < ch; ++c) {
                float acc = 0.0f;
                for (int t = 0; t < taps; ++t)
                    acc += row[t] * x[t * ch + c];
                fftBlocks[static_cast<long>(c) * fftSize + p] = acc;
            }
            x += frameStep[cur] * ch;
            if (++cur == listLength) cur = 0;
        }
    }
    cursor = cur;
}

#if defined(__x86_64__)
// Every third value of p[0 ..] from eight successive positions: p[0], p[3], .. p[21], by
// three loads and lane moves (cheaper than a gather). Reads p[0 .. 23].
__attribute__((target("avx2"))) inline __m256 everyThirdAvx2(const float* p) {
    const __m256 a =
        _mm256_permutevar8x32_ps(_mm256_loadu_ps(p), _mm256_setr_epi32(0, 3, 6, 0, 0, 0, 0, 0));
    const __m256 b =
        _mm256_permutevar8x32_ps(_mm256_loadu_ps(p + 8), _mm256_setr_epi32(0, 0, 0, 1, 4, 7, 0, 0));
    const __m256 c = _mm256_permutevar8x32_ps(_mm256_loadu_ps(p + 16),
                                              _mm256_setr_epi32(0, 0, 0, 0, 0, 0, 2, 5));
    return _mm256_blend_ps(_mm256_blend_ps(a, b, 0x38), c, 0xC0);
}

// K = 3 values from position `at` of a channel block of `size` values, or a gather for other K.
// The K = 3 loads reach two values past the last one kept, so they are used only inside the block.
__attribute__((target("avx2"))) inline __m256 decimatedAvx2(const float* block, int at, int k,
                                                            int size, __m256i step) {
    if (k == 3 && at + 24 <= size) return everyThirdAvx2(block + at);
    return _mm256_i32gather_ps(block, _mm256_add_epi32(step, _mm256_set1_epi32(at)), 4);
}

// Stage-two decimation of both channels of a stereo block: output frame j is
// (tail[j] + block[offset + K j]) per channel, interleaved; then the next tails are the
// values from `tailStart` on in steps of K. Each channel block holds `size` values. Eight
// frames per vector; the scalar remainder is done here too.
__attribute__((target("avx2"))) void
decimateStereoAvx2(const float* __restrict left, const float* __restrict right,
                   float* __restrict tailLeft, float* __restrict tailRight, int offset, int k,
                   int size, int outputs, int tailStart, int tails, float* __restrict out) {
    const __m256i step =
        _mm256_mullo_epi32(_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7), _mm256_set1_epi32(k));
    int j = 0;
    for (; j + 8 <= outputs; j += 8) {
        const int at = offset + k * j;
        const __m256 l =
            _mm256_add_ps(_mm256_loadu_ps(tailLeft + j), decimatedAvx2(left, at, k, size, step));
        const __m256 r =
            _mm256_add_ps(_mm256_loadu_ps(tailRight + j), decimatedAvx2(right, at, k, size, step));
        const __m256 lo = _mm256_unpacklo_ps(l, r);
        const __m256 hi = _mm256_unpackhi_ps(l, r);
        _mm256_storeu_ps(out + 2 * j, _mm256_permute2f128_ps(lo, hi, 0x20));
        _mm256_storeu_ps(out + 2 * j + 8, _mm256_permute2f128_ps(lo, hi, 0x31));
    }
    for (; j < outputs; ++j) {
        out[2 * j] = tailLeft[j] + left[offset + k * j];
        out[2 * j + 1] = tailRight[j] + right[offset + k * j];
    }
    int t = 0;
    for (; t + 8 <= tails; t += 8) {
        const int at = tailStart + k * t;
        _mm256_storeu_ps(tailLeft + t, decimatedAvx2(left, at, k, size, step));
        _mm256_storeu_ps(tailRight + t, decimatedAvx2(right, at, k, size, step));
    }
    for (; t < tails; ++t) {
        tailLeft[t] = left[tailStart + k * t];
        tailRight[t] = right[tailStart + k * t];
    }
}

// The mono form of decimateStereoAvx2: output value j is tail[j] + block[offset + K j].
__attribute__((target("avx2"))) void decimateMonoAvx2(const float* __restrict block,
                                                      float* __restrict tail, int offset, int k,
                                                      int size, int outputs, int tailStart,
                                                      int tails, float* __restrict out) {
    const __m256i step =
        _mm256_mullo_epi32(_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7), _mm256_set1_epi32(k));
    int j = 0;
    if (k == 1) {
        for (; j + 8 <= outputs; j += 8)
            _mm256_storeu_ps(out + j, _mm256_add_ps(_mm256_loadu_ps(tail + j),
                                                    _mm256_loadu_ps(block + offset + j)));
    } else {
        for (; j + 8 <= outputs; j += 8)
            _mm256_storeu_ps(out + j,
                             _mm256_add_ps(_mm256_loadu_ps(tail + j),
                                           decimatedAvx2(block, offset + k * j, k, size, step)));
    }
    for (; j < outputs; ++j)
        out[j] = tail[j] + block[offset + k * j];
    int t = 0;
    for (; t + 8 <= tails; t += 8)
        _mm256_storeu_ps(tail + t, k == 1 ? _mm256_loadu_ps(block + tailStart + t)
                                          : decimatedAvx2(block, tailStart + k * t, k, size, step));
    for (; t < tails; ++t)
        tail[t] = block[tailStart + k * t];
}

bool processorHasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}
#endif

} // namespace

Upsampler::Upsampler(const ConverterConfig& config)
    : BufferedRateConverter(config) {
    if (srcRate_ <= 0 || dstRate_ <= srcRate_ || channels_ <= 0) return;
    const std::int64_t fs = srcRate_;
    const std::int64_t fd = dstRate_;
    g_ = greatestCommonDivisor(static_cast<std::uint32_t>(fs), static_cast<std::uint32_t>(fd));
    const std::int64_t r = fs / g_;
    k_ = oversamplingFactor(static_cast<std::uint32_t>(r));
    if (k_ == 0) return;
    fp_ = fd * r;
    ff_ = k_ * fd;
    const int phases = static_cast<int>(fp_ / fs);

    poly_ = buildPolyphaseFilter(fp_, phases, fs, ff_, attenuation_);
    if (poly_.length == 0) return;

    // Stage-one outputs step s = Fp / Ff through the Fp grid; output i sits at phase
    // P - (i s mod P) of its input frame, and the frame advances when that phase is below s.
    const std::int64_t step = fp_ / ff_;
    listLength_ = phases * k_;
    phaseOrder_.reset(static_cast<std::size_t>(listLength_));
    frameStep_.reset(static_cast<std::size_t>(listLength_));
    for (int i = 0; i < listLength_; ++i) {
        std::int64_t phase = phases - (static_cast<std::int64_t>(i) * step) % phases;
        if (phase == phases) phase = 0;
        phaseOrder_[i] = static_cast<int>(phase);
        frameStep_[i] = phase < step ? 1 : 0;
    }

    fft_ = buildFftFilter(static_cast<double>(ff_), FftCutoffRule{static_cast<double>(fs / 2), 0.0},
                          1.0, attenuation_, fftLength_, transitionWidth_, tables_);
    if (fft_.length == 0) return;
    half_ = fft_.fftSize / 2;

    const int ch = channels_;
    framesHeld_ = ((poly_.length - 1) / 2) / phases + 1;
    framesToDrop_ = static_cast<int>(std::floor(fft_.length * 0.5 / k_));
    // Slack for the vector sums, which load whole windows of frames.
    inputFrames_ = static_cast<int>(static_cast<std::int64_t>(half_) * fs / (fd * k_)) + 2 +
                   poly_.taps + 1 + kUpsamplerReadAhead;
    inputBuffer_.reset(static_cast<std::size_t>(inputFrames_) * ch);
    tailStride_ = half_ / k_ + 1;
    blockOutput_.reset(static_cast<std::size_t>(tailStride_) * ch);
    tails_.reset(static_cast<std::size_t>(tailStride_) * ch);
    fftBlocks_.reset(static_cast<std::size_t>(fft_.fftSize) * ch);
    evenOnly_ = k_ == 2 && fft_.fftSize >= 8;
#if defined(__x86_64__)
    vectorDecimation_ = (channels_ == 1 || channels_ == 2) && processorHasAvx2();
#endif
    if (evenOnly_) evenValues_.reset(static_cast<std::size_t>(half_));
    groups_ =
        buildUpsamplerGroups(poly_, phaseOrder_.data(), frameStep_.data(), listLength_, ch, half_);
    valid_ = true;
}

std::int64_t Upsampler::blockNeed() const {
    return static_cast<std::int64_t>(half_) * srcRate_ /
               (static_cast<std::int64_t>(dstRate_) * k_) +
           2 + poly_.taps - framesHeld_;
}

std::uint32_t Upsampler::process(const float* data, std::uint32_t count, bool final) {
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

    float* in = inputBuffer_.data() + static_cast<std::size_t>(framesHeld_) * ch;
    if (n > 0) std::memcpy(in, data, static_cast<std::size_t>(n * ch) * sizeof(float));
    std::memset(in + n * ch, 0, static_cast<std::size_t>((need - n) * ch) * sizeof(float));
    framesHeld_ += static_cast<int>(need);
    framesRead_ += n;

    stageOne(half_);
    int produced = 0;
#if defined(__x86_64__)
    if (!evenOnly_ && vectorDecimation_) {
        for (int c = 0; c < ch; ++c)
            filterBlock(c);
        const int m = fft_.fftSize;
        const int outputs = (half_ - decimationOffset_ + k_ - 1) / k_;
        const int tailStart = decimationOffset_ + outputs * k_;
        const int tails = (m - tailStart + k_ - 1) / k_;
        if (ch == 2)
            decimateStereoAvx2(fftBlocks_.data(), fftBlocks_.data() + m, tails_.data(),
                               tails_.data() + tailStride_, decimationOffset_, k_, m, outputs,
                               tailStart, tails, blockOutput_.data());
        else
            decimateMonoAvx2(fftBlocks_.data(), tails_.data(), decimationOffset_, k_, m, outputs,
                             tailStart, tails, blockOutput_.data());
        produced = outputs;
    } else
#endif
        for (int c = 0; c < ch; ++c)
            produced = stageTwo(c);
    // Every channel kept the values from the same offset; the next block continues the
    // K-step where this one left the block: at the first position at or past H.
    const int steps = decimationOffset_ < half_ ? (half_ - decimationOffset_ + k_ - 1) / k_ : 0;
    decimationOffset_ += steps * k_ - half_;
    readPosition_ += (srcRate_ / g_) * half_ / k_;

    emitBlock(blockOutput_.data(), produced, final, framesRead_, framesWritten_, framesToDrop_);

    const std::int64_t ds = (readPosition_ - 1) / poly_.phases;
    if (ds > 0) {
        const std::size_t keep = static_cast<std::size_t>(framesHeld_ - ds) * ch;
        std::memmove(inputBuffer_.data(), inputBuffer_.data() + ds * ch, keep * sizeof(float));
    }
    framesHeld_ -= static_cast<int>(ds);
    readPosition_ -= ds * poly_.phases;
    return static_cast<std::uint32_t>(n * ch);
}

VELCORA_SIMD_CLONES void Upsampler::stageOne(int blockSize) {
    const int ch = channels_;
    // First input frame of this block's first output; 0 or 1 after the first block.
    const std::int64_t first = (srcRate_ * (readPosition_ - 1) + fp_) / fp_;
    const float* x = inputBuffer_.data() + first * ch;
    const int m = fft_.fftSize;
    if (groups_.lanes != 0) {
        upsamplerSums(groups_, cursor_, x, blockSize, fftBlocks_.data(), m);
        return;
    }
    switch (ch) {
    case 1:
        polyphaseSums<1>(poly_.table.data(), poly_.taps, phaseOrder_.data(), frameStep_.data(),
                         listLength_, cursor_, x, ch, blockSize, fftBlocks_.data(), m);
        break;
    case 2:
        polyphaseSums<2>(poly_.table.data(), poly_.taps, phaseOrder_.data(), frameStep_.data(),
                         listLength_, cursor_, x, ch, blockSize, fftBlocks_.data(), m);
        break;
    default:
        polyphaseSums<0>(poly_.table.data(), poly_.taps, phaseOrder_.data(), frameStep_.data(),
                         listLength_, cursor_, x, ch, blockSize, fftBlocks_.data(), m);
        break;
    }
}

// The full-length filtering of channel c's stage-one block, in place.
void Upsampler::filterBlock(int c) {
    const int m = fft_.fftSize;
    realConvolve(m, fftBlocks_.data() + static_cast<std::size_t>(c) * m, fft_.spectrum.data(),
                 tables_, fft_.pairedSpectrum.data());
}

// Filters channel c's stage-one block and decimates it by K into the block output,
// adding the previous block's tail; returns the block's output frames.
int Upsampler::stageTwo(int c) {
    const int ch = channels_;
    const int m = fft_.fftSize;
    float* block = fftBlocks_.data() + static_cast<std::size_t>(c) * m;
    float* tail = tails_.data() + static_cast<std::size_t>(c) * tailStride_;
    float* out = blockOutput_.data() + c;
    if (evenOnly_) {
        const float* even = evenValues_.data();
        realConvolveEven(m, block, fft_.spectrum.data(), evenValues_.data(), tables_, halfTables_,
                         fft_.pairedSpectrum.data());
        const int outputs = half_ / 2;
        for (int j = 0; j < outputs; ++j)
            out[j * ch] = tail[j] + even[j];
        for (int j = 0; j < outputs; ++j)
            tail[j] = even[outputs + j];
        return outputs;
    }
    realConvolve(m, block, fft_.spectrum.data(), tables_, fft_.pairedSpectrum.data());
    int i = decimationOffset_;
    int j = 0;
    for (; i < half_; i += k_, ++j)
        out[j * ch] = tail[j] + block[i];
    int jt = 0;
    for (; i < m; i += k_, ++jt)
        tail[jt] = block[i];
    return j;
}

} // namespace velcora
