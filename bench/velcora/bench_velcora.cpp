// Converts the same 16-bit stereo input with velcora (through its C interface, in the
// editor's block size) and with libsoxr's high-quality preset, and prints the times, their
// ratio and the quality figures of both (pass-band gain at 1 kHz, stop-band level at 15 kHz).
#include "velcora/realfft.h"
#include "velcora/velcora.h"

#include <soxr.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr int kChannels = 2;
constexpr std::size_t kBlockValues = 2048; // the editor's DSP_process block

using Clock = std::chrono::steady_clock;

std::vector<std::int16_t> makeInput(int rate, double seconds) {
    const std::size_t frames = static_cast<std::size_t>(rate * seconds);
    std::vector<std::int16_t> v(frames * kChannels);
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0.0, 1500.0);
    for (std::size_t f = 0; f < frames; ++f) {
        const double t = static_cast<double>(f) / rate;
        for (int c = 0; c < kChannels; ++c) {
            const double s = 9000.0 * std::sin(2 * M_PI * (440.0 + 60 * c) * t) +
                             5000.0 * std::sin(2 * M_PI * 7300.0 * t) + noise(rng);
            v[f * kChannels + c] = static_cast<std::int16_t>(std::clamp(s, -32768.0, 32767.0));
        }
    }
    return v;
}

// Returns output frames; `out` receives the output.
template <typename Sample>
std::size_t runVelcora(int srcRate, int dstRate, std::uint32_t format,
                       const std::vector<Sample>& in, std::vector<Sample>& out) {
    // Buffers are sized before the first run and reused, so timing excludes their setup. Each
    // call writes straight into `out`, as soxr_process does below: neither side pays for a copy.
    const std::size_t needed = in.size() * dstRate / srcRate + 16384;
    if (out.size() < needed) out.resize(needed);
    std::size_t written = 0; // bytes
    auto next = [&] { return reinterpret_cast<std::uint8_t*>(out.data()) + written; };
    DSP_init(srcRate, dstRate, kChannels, kChannels, format, format, 96, 8000, 1024);
    for (std::size_t at = 0; at < in.size(); at += kBlockValues) {
        const std::size_t n = std::min(kBlockValues, in.size() - at);
        std::uint32_t bytes = 0;
        DSP_process(in.data() + at, static_cast<std::uint32_t>(n * sizeof(Sample)), next(), &bytes);
        written += bytes;
    }
    std::uint32_t bytes = 0;
    DSP_exit(next(), &bytes);
    written += bytes;
    return written / sizeof(Sample) / kChannels;
}

template <typename Sample>
std::size_t runSoxr(int srcRate, int dstRate, soxr_datatype_t type, const std::vector<Sample>& in,
                    std::vector<Sample>& out) {
    soxr_error_t error = nullptr;
    const soxr_io_spec_t io = soxr_io_spec(type, type);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    soxr_t soxr = soxr_create(srcRate, dstRate, kChannels, &error, &io, &quality, nullptr);
    if (error != nullptr) {
        std::fprintf(stderr, "soxr_create: %s\n", error);
        return 0;
    }
    const std::size_t needed = in.size() * dstRate / srcRate + 16384;
    if (out.size() < needed) out.resize(needed);
    std::size_t outFrames = 0;
    const std::size_t capacity = out.size() / kChannels;
    for (std::size_t at = 0; at < in.size(); at += kBlockValues) {
        const std::size_t n = std::min(kBlockValues, in.size() - at);
        std::size_t done = 0, made = 0;
        soxr_process(soxr, in.data() + at, n / kChannels, &done, out.data() + outFrames * kChannels,
                     capacity - outFrames, &made);
        outFrames += made;
    }
    for (;;) {
        std::size_t made = 0;
        soxr_process(soxr, nullptr, 0, nullptr, out.data() + outFrames * kChannels,
                     capacity - outFrames, &made);
        outFrames += made;
        if (made == 0) break;
    }
    soxr_delete(soxr);
    return outFrames;
}

template <typename F> double bestSeconds(int runs, F&& f) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        f();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

// Amplitude of `frequency` in channel 0 of x over `count` frames from `from`, by correlation.
double toneAmplitude(const std::vector<float>& x, std::size_t from, std::size_t count,
                     double frequency, double rate) {
    double re = 0, im = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double a = 2 * M_PI * frequency * static_cast<double>(i) / rate;
        const double v = x[(from + i) * kChannels];
        re += v * std::cos(a);
        im += v * std::sin(a);
    }
    return 2 * std::hypot(re, im) / static_cast<double>(count);
}

// Highest peak of the Hann-windowed spectrum of channel 0, as an amplitude.
double spectralPeak(const std::vector<float>& x, std::size_t from, int bits) {
    const int n = 1 << bits;
    std::vector<float> block(n);
    double windowSum = 0;
    for (int i = 0; i < n; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2 * M_PI * i / n);
        windowSum += w;
        block[i] = static_cast<float>(x[(from + i) * kChannels] * w);
    }
    velcora::FftTables tables;
    velcora::realFFT(n, 1, block.data(), tables);
    double peak = 0;
    for (int k = 1; k < n / 2; ++k)
        peak = std::max(peak, std::hypot(double(block[2 * k]), double(block[2 * k + 1])));
    return 2 * peak / windowSum;
}

std::vector<float> tone(double frequency, int rate, double amplitude) {
    std::vector<float> v(static_cast<std::size_t>(rate) * 2 * kChannels);
    for (std::size_t f = 0; f < v.size() / kChannels; ++f)
        for (int c = 0; c < kChannels; ++c)
            v[f * kChannels + c] =
                static_cast<float>(amplitude * std::sin(2 * M_PI * frequency * f / rate));
    return v;
}

void quality(int srcRate, int dstRate) {
    std::vector<float> out;
    // velcora writes float output at half scale, so its figures are doubled back.
    runVelcora(srcRate, dstRate, 16, tone(1000, srcRate, 0.5), out);
    const double vGain = 2 * toneAmplitude(out, dstRate / 2, dstRate, 1000, dstRate) / 0.5;
    runSoxr(srcRate, dstRate, SOXR_FLOAT32_I, tone(1000, srcRate, 0.5), out);
    const double sGain = toneAmplitude(out, dstRate / 2, dstRate, 1000, dstRate) / 0.5;
    std::printf("  1 kHz pass-band gain: velcora %.6f dB, soxr %.6f dB\n", 20 * std::log10(vGain),
                20 * std::log10(sGain));
    if (dstRate < 30000) {
        runVelcora(srcRate, dstRate, 16, tone(15000, srcRate, 0.9), out);
        const double vStop = 2 * spectralPeak(out, 4096, 14) / 0.9;
        runSoxr(srcRate, dstRate, SOXR_FLOAT32_I, tone(15000, srcRate, 0.9), out);
        const double sStop = spectralPeak(out, 4096, 14) / 0.9;
        std::printf("  15 kHz stop-band level: velcora %.1f dB, soxr %.1f dB\n",
                    20 * std::log10(vStop), 20 * std::log10(sStop));
    }
}

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
    const int runs = argc > 3 ? std::atoi(argv[3]) : 9;
    const std::vector<std::int16_t> input = makeInput(44100, seconds);
    std::printf("input: %.0f s of 44100 Hz stereo 16-bit, blocks of %zu values, best of %d runs\n",
                seconds, kBlockValues, runs);
    const int only = argc > 2 ? std::atoi(argv[2]) : 0; // one destination rate, for profiling
    for (int dstRate : {22050, 48000}) {
        if (only != 0 && dstRate != only) continue;
        std::vector<std::int16_t> out;
        std::size_t vFrames = 0, sFrames = 0;
        // Runs alternate between the two, so a change in machine load affects both alike.
        double v = 1e30, s = 1e30;
        for (int r = 0; r < runs; ++r) {
            v = std::min(
                v, bestSeconds(1, [&] { vFrames = runVelcora(44100, dstRate, 2, input, out); }));
            s = std::min(s, bestSeconds(1, [&] {
                             sFrames = runSoxr(44100, dstRate, SOXR_INT16_I, input, out);
                         }));
        }
        const double frames = static_cast<double>(input.size() / kChannels);
        std::printf("44100 -> %d Hz: velcora %.1f ms (%.1f Mframes/s, %zu frames), soxr HQ %.1f ms "
                    "(%.1f Mframes/s, %zu frames), velcora/soxr time ratio %.3f\n",
                    dstRate, v * 1e3, frames / v / 1e6, vFrames, s * 1e3, frames / s / 1e6, sFrames,
                    v / s);
        quality(44100, dstRate);
    }
    return 0;
}
