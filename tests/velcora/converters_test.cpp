#include "velcora/converterfactory.h"
#include "velcora/downsampler.h"
#include "velcora/realfft.h"
#include "velcora/upsampler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace velcora {
namespace {

ConverterConfig editorConfig(int srcRate, int dstRate, int channels) {
    return ConverterConfig{srcRate, dstRate, channels, 96, 8000, 1024};
}

// Feeds `input` in chunks of `chunkFrames` frames (0: all at once), then flushes.
std::vector<float> convert(RateConverter& converter, const std::vector<float>& input, int channels,
                           std::size_t chunkFrames) {
    std::vector<float> out;
    auto drain = [&] {
        const float* d = converter.outputData();
        out.insert(out.end(), d, d + converter.outputCount());
        converter.clearOutput();
    };
    const std::size_t chunk = chunkFrames == 0 ? input.size() : chunkFrames * channels;
    for (std::size_t at = 0; at < input.size(); at += chunk) {
        const std::size_t n = std::min(chunk, input.size() - at);
        converter.feed(input.data() + at, static_cast<std::uint32_t>(n));
        drain();
    }
    converter.flush();
    drain();
    return out;
}

std::vector<float> sine(double frequency, double rate, std::size_t frames, int channels,
                        double amplitude, int silentChannel = -1) {
    std::vector<float> v(frames * channels);
    for (std::size_t f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            v[f * channels + c] =
                c == silentChannel
                    ? 0.0f
                    : static_cast<float>(amplitude * std::sin(2.0 * M_PI * frequency * f / rate));
    return v;
}

std::vector<float> channel(const std::vector<float>& v, int channels, int c) {
    std::vector<float> out;
    for (std::size_t i = c; i < v.size(); i += channels)
        out.push_back(v[i]);
    return out;
}

// Amplitude of `frequency` over whole periods of `x` at `rate`, by correlation.
double toneAmplitude(const std::vector<float>& x, std::size_t from, std::size_t count,
                     double frequency, double rate) {
    double re = 0, im = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double a = 2.0 * M_PI * frequency * static_cast<double>(i + from) / rate;
        re += x[from + i] * std::cos(a);
        im += x[from + i] * std::sin(a);
    }
    return 2.0 * std::sqrt(re * re + im * im) / static_cast<double>(count);
}

// Highest spectral peak of x[from .. from + 2^bits) under a Hann window, as an amplitude.
double spectralPeak(const std::vector<float>& x, std::size_t from, int bits) {
    const int n = 1 << bits;
    std::vector<float> block(n);
    double windowSum = 0;
    for (int i = 0; i < n; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2.0 * M_PI * i / n);
        windowSum += w;
        block[i] = static_cast<float>(x[from + i] * w);
    }
    FftTables tables;
    realFFT(n, 1, block.data(), tables);
    double peak = 0;
    for (int k = 1; k < n / 2; ++k)
        peak = std::max(peak, std::hypot(double(block[2 * k]), double(block[2 * k + 1])));
    return 2.0 * peak / windowSum;
}

struct DesignCase {
    int srcRate, dstRate;
    int k, np, phases, taps, nf, m;
    int framesHeld; // upsampler only
    int framesToDrop;
    std::int64_t firstNeed;
};

class UpsamplerDesign : public ::testing::TestWithParam<DesignCase> {};

TEST_P(UpsamplerDesign, Figures) {
    const DesignCase d = GetParam();
    Upsampler up(editorConfig(d.srcRate, d.dstRate, 1));
    ASSERT_TRUE(up.valid());
    EXPECT_EQ(up.oversampling(), d.k);
    EXPECT_EQ(up.polyphaseLength(), d.np);
    EXPECT_EQ(up.phases(), d.phases);
    EXPECT_EQ(up.tapsPerPhase(), d.taps);
    EXPECT_EQ(up.fftFilter().length, d.nf);
    EXPECT_EQ(up.fftFilter().fftSize, d.m);
    EXPECT_EQ(up.framesHeld(), d.framesHeld);
    EXPECT_EQ(up.framesToDrop(), d.framesToDrop);
    EXPECT_EQ(up.blockNeed(), d.firstNeed);
    EXPECT_EQ(up.fftFilter().cutoff, std::floor(d.srcRate / 2));
}

INSTANTIATE_TEST_SUITE_P(
    EditorParameters, UpsamplerDesign,
    ::testing::Values(DesignCase{8000, 22050, 2, 1199, 441, 3, 1023, 2048, 2, 255, 188},
                      DesignCase{11025, 22050, 1, 25, 2, 13, 1023, 2048, 7, 511, 520},
                      DesignCase{44100, 48000, 3, 867, 160, 6, 1023, 2048, 3, 170, 318}));

class DownsamplerDesign : public ::testing::TestWithParam<DesignCase> {};

TEST_P(DownsamplerDesign, Figures) {
    const DesignCase d = GetParam();
    Downsampler down(editorConfig(d.srcRate, d.dstRate, 1));
    ASSERT_TRUE(down.valid());
    EXPECT_EQ(down.oversampling(), d.k);
    EXPECT_EQ(down.polyphaseLength(), d.np);
    EXPECT_EQ(down.phases(), d.phases);
    EXPECT_EQ(down.tapsPerPhase(), d.taps);
    EXPECT_EQ(down.fftFilter().length, d.nf);
    EXPECT_EQ(down.fftFilter().fftSize, d.m);
    EXPECT_EQ(down.framesToDrop(), d.framesToDrop);
    EXPECT_EQ(down.blockNeed(), d.firstNeed);
}

INSTANTIATE_TEST_SUITE_P(
    EditorParameters, DownsamplerDesign,
    ::testing::Values(DesignCase{48000, 22050, 3, 903, 49, 19, 1023, 2048, 0, 79, 342},
                      DesignCase{44100, 22050, 1, 1, 1, 1, 1023, 2048, 0, 256, 1024},
                      DesignCase{32000, 22050, 3, 2705, 147, 19, 1023, 2048, 0, 119, 342}));

TEST(ConverterDesign, CutoffsAndCentreTaps) {
    Downsampler d48(editorConfig(48000, 22050, 1));
    EXPECT_NEAR(d48.fftFilter().width, 863.9458, 1e-4);
    EXPECT_NEAR(d48.fftFilter().cutoff, 10593.027, 1e-3);
    EXPECT_EQ(d48.polyphaseRate(), 7056000);
    EXPECT_EQ(d48.fftRate(), 144000);
    Downsampler d44(editorConfig(44100, 22050, 1));
    EXPECT_NEAR(d44.fftFilter().cutoff, 10892.708, 1e-3);

    // The centre tap of the polyphase prototype is 2 fc / Fp x P (the window is 1 there).
    auto centre = [](const PolyphaseFilter& f) {
        const int k = (f.length - 1) / 2;
        return f.row(k % f.phases)[k / f.phases];
    };
    EXPECT_EQ(centre(d48.polyphaseFilter()), static_cast<float>(2.0 * 48000 / 7056000 * 49));
    Upsampler u8(editorConfig(8000, 22050, 1));
    EXPECT_EQ(u8.polyphaseRate(), 3528000);
    EXPECT_EQ(u8.fftRate(), 44100);
    EXPECT_EQ(u8.fftFilter().cutoff, 4000.0);
    EXPECT_EQ(centre(u8.polyphaseFilter()), static_cast<float>(2.0 * 13025 / 3528000 * 441));
    // 11025 -> 22050: m = 5512, o = 11025, so the stage-one cutoff is 8268.5, not 8268.
    Upsampler u11(editorConfig(11025, 22050, 1));
    EXPECT_EQ(centre(u11.polyphaseFilter()), static_cast<float>(2.0 * 8268.5 / 22050 * 2));
}

TEST(ConverterDesign, UnsupportedRatiosBuildNothing) {
    EXPECT_FALSE(Downsampler(editorConfig(37800, 22050, 1)).valid());
    EXPECT_EQ(createConverter(editorConfig(37800, 22050, 2)), nullptr);
    EXPECT_EQ(createConverter(editorConfig(22050, 22050, 2)), nullptr);
    EXPECT_EQ(createConverter(editorConfig(0, 22050, 2)), nullptr);
    EXPECT_EQ(createConverter(editorConfig(44100, 22050, 0)), nullptr);
    EXPECT_EQ(createConverter(ConverterConfig{44100, 22050, 2, 96, 0, 1024}), nullptr);
    EXPECT_EQ(createConverter(ConverterConfig{44100, 22050, 2, 96, 8000, 0}), nullptr);
    EXPECT_NE(createConverter(editorConfig(44100, 48000, 2)), nullptr);
}

struct StreamCase {
    int srcRate, dstRate, channels;
};

class ConverterStream : public ::testing::TestWithParam<StreamCase> {};

// Whatever the feed sizes, the stream has floor(N Fd / Fs) + 2 frames and the same values.
TEST_P(ConverterStream, LengthAndValuesIndependentOfFeedSizes) {
    const StreamCase s = GetParam();
    std::mt19937 rng(s.srcRate + s.dstRate);
    std::uniform_real_distribution<float> dist(-0.5f, 0.5f);
    for (std::size_t frames : {std::size_t{0}, std::size_t{1}, std::size_t{3}, std::size_t{4999}}) {
        std::vector<float> input(frames * s.channels);
        for (float& v : input)
            v = dist(rng);
        std::vector<float> reference;
        for (std::size_t chunk :
             {std::size_t{0}, std::size_t{1}, std::size_t{37}, std::size_t{1000}}) {
            auto converter = createConverter(editorConfig(s.srcRate, s.dstRate, s.channels));
            ASSERT_NE(converter, nullptr);
            const std::vector<float> out = convert(*converter, input, s.channels, chunk);
            const std::size_t expected = static_cast<std::size_t>(
                static_cast<std::int64_t>(frames) * s.dstRate / s.srcRate + 2);
            ASSERT_EQ(out.size(), expected * s.channels)
                << "frames " << frames << " chunk " << chunk;
            if (chunk == 0)
                reference = out;
            else
                ASSERT_EQ(out, reference) << "frames " << frames << " chunk " << chunk;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(RatePairs, ConverterStream,
                         ::testing::Values(StreamCase{8000, 22050, 1}, StreamCase{11025, 22050, 2},
                                           StreamCase{44100, 48000, 2}, StreamCase{16000, 48000, 1},
                                           StreamCase{48000, 22050, 2}, StreamCase{44100, 22050, 2},
                                           StreamCase{32000, 22050, 1}, StreamCase{44100, 8000, 3},
                                           StreamCase{48000, 16000, 1},
                                           StreamCase{96000, 44100, 2}));

// Channels are filtered independently: each channel of a stereo conversion equals the
// mono conversion of that channel, value for value (whatever code path the count takes).
TEST_P(ConverterStream, StereoChannelsEqualMonoConversions) {
    const StreamCase s = GetParam();
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> dist(-0.5f, 0.5f);
    const std::size_t frames = 3000;
    std::vector<float> stereo(frames * 2);
    for (float& v : stereo)
        v = dist(rng);
    auto both = createConverter(editorConfig(s.srcRate, s.dstRate, 2));
    const std::vector<float> out = convert(*both, stereo, 2, 0);
    for (int c = 0; c < 2; ++c) {
        auto mono = createConverter(editorConfig(s.srcRate, s.dstRate, 1));
        EXPECT_EQ(channel(out, 2, c), convert(*mono, channel(stereo, 2, c), 1, 0)) << c;
    }
}

// 44100 -> 22050 Hz is a plain FFT low-pass followed by keeping every second value:
// compare it with the direct convolution in double. Output j is the filtered value at
// input position 2j + 510 (the 256 dropped frames cover the filter's half-length of 511).
TEST(ConverterExactness, DecimationByTwoMatchesDirectConvolution) {
    Downsampler down(editorConfig(44100, 22050, 1));
    const FftFilter& f = down.fftFilter();
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> dist(-0.5f, 0.5f);
    std::vector<float> x(3001);
    for (float& v : x)
        v = dist(rng);
    const std::vector<float> out = convert(down, x, 1, 700);
    ASSERT_EQ(out.size(), 3001u / 2 + 2);
    const double beta = kaiserBeta(96.0);
    std::vector<double> taps(f.length);
    for (int i = 0; i < f.length; ++i)
        taps[i] = kaiserLowpassTap(i - (f.length - 1) / 2, f.length, beta, 44100, f.cutoff, 1.0);
    for (std::size_t j = 0; j < out.size(); ++j) {
        const long n = static_cast<long>(2 * j) + 510;
        double y = 0;
        for (int i = 0; i < f.length; ++i)
            if (n - i >= 0 && n - i < static_cast<long>(x.size())) y += x[n - i] * taps[i];
        ASSERT_NEAR(out[j], y, 2e-6) << j; // float FFT rounding of sums of size ~1
    }
}

// A steady level stays steady across every internal block boundary of an upsampler: a block
// that computed its last stage-one outputs from a frame it does not hold would dip there.
TEST(ConverterExactness, SteadyLevelStaysSteadyAcrossUpsamplerBlocks) {
    for (const auto& [srcRate, dstRate] : {std::pair{8000, 22050}, std::pair{11025, 22050},
                                           std::pair{44100, 48000}, std::pair{16000, 48000}}) {
        SCOPED_TRACE(testing::Message() << srcRate << " -> " << dstRate);
        Upsampler up(editorConfig(srcRate, dstRate, 1));
        const std::size_t frames = static_cast<std::size_t>(srcRate); // one second, many blocks
        const std::vector<float> out = convert(up, std::vector<float>(frames, 0.5f), 1, 0);
        // Away from both ends, where the filters see the start and end of the signal.
        const std::size_t margin = static_cast<std::size_t>(dstRate) / 20;
        ASSERT_GT(out.size(), 2 * margin);
        // The pass-band ripple of 96 dB is about 1.6e-5; a missing frame costs several times more.
        for (std::size_t j = margin; j < out.size() - margin; ++j)
            ASSERT_NEAR(out[j], 0.5f, 5e-5f) << j;
    }
}

TEST(ConverterStream, FeedBelowNeedKeepsValuesQueued) {
    Downsampler down(editorConfig(44100, 22050, 2));
    std::vector<float> input(2 * 1023, 0.25f);
    down.feed(input.data(), static_cast<std::uint32_t>(input.size()));
    EXPECT_EQ(down.outputCount(), 0u);
    EXPECT_NEAR(down.bufferedSeconds(), 1023.0 / 44100.0, 1e-12);
    down.feed(input.data(), 0);
    EXPECT_EQ(down.outputCount(), 0u);
    down.feed(input.data(), 2);
    EXPECT_EQ(down.outputCount(), 2u * (513 - 256));
}

TEST(ConverterStream, FlushWithoutInputGivesTwoSilentFrames) {
    for (auto pair : {std::pair{11025, 22050}, std::pair{48000, 22050}}) {
        auto converter = createConverter(editorConfig(pair.first, pair.second, 2));
        converter->flush();
        ASSERT_EQ(converter->outputCount(), 4u);
        for (std::uint32_t i = 0; i < 4; ++i)
            EXPECT_EQ(converter->outputData()[i], 0.0f);
    }
}

TEST(ConverterStream, ClearOutputReusesStorage) {
    Upsampler up(editorConfig(11025, 22050, 1));
    std::vector<float> input(2000, 0.1f);
    up.feed(input.data(), 520);
    ASSERT_EQ(up.outputCount(), 513u);
    const float* storage = up.outputData();
    up.clearOutput();
    EXPECT_EQ(up.outputCount(), 0u);
    up.feed(input.data(), 511);
    EXPECT_EQ(up.outputCount(), 1024u);
    EXPECT_EQ(up.outputData(), storage);
}

struct QualityCase {
    int srcRate, dstRate;
};

class ConverterQuality : public ::testing::TestWithParam<QualityCase> {};

// A 1 kHz tone keeps its amplitude; the silent second channel stays exactly silent.
TEST_P(ConverterQuality, PassBandToneKeepsAmplitude) {
    const QualityCase q = GetParam();
    const int channels = 2;
    auto converter = createConverter(editorConfig(q.srcRate, q.dstRate, channels));
    const std::size_t frames = static_cast<std::size_t>(q.srcRate) * 3 / 2;
    const std::vector<float> out =
        convert(*converter, sine(1000.0, q.srcRate, frames, channels, 0.5, 1), channels, 4096);
    const std::vector<float> left = channel(out, channels, 0);
    const std::vector<float> right = channel(out, channels, 1);
    // One second (exactly 1000 periods) from the middle of the stream.
    const double amplitude = toneAmplitude(left, q.dstRate / 4, q.dstRate, 1000.0, q.dstRate);
    EXPECT_NEAR(amplitude / 0.5, 1.0, 1e-4);
    EXPECT_TRUE(std::all_of(right.begin(), right.end(), [](float v) { return v == 0.0f; }));
}

INSTANTIATE_TEST_SUITE_P(RatePairs, ConverterQuality,
                         ::testing::Values(QualityCase{44100, 22050}, QualityCase{48000, 22050},
                                           QualityCase{11025, 22050}, QualityCase{44100, 48000},
                                           QualityCase{8000, 22050}));

// A 15 kHz tone at 44100 Hz lies in the stop band of a 22050 Hz output; whatever is left
// of it (aliased to 7050 Hz) must be about 96 dB down.
TEST(ConverterQuality, StopBandToneIsSuppressed) {
    Downsampler down(editorConfig(44100, 22050, 1));
    const std::vector<float> out = convert(down, sine(15000.0, 44100, 44100, 1, 0.9), 1, 0);
    const double level = 20.0 * std::log10(spectralPeak(out, 2048, 14) / 0.9);
    ASSERT_EQ(out.size(), 22052u);
    EXPECT_LT(level, -90.0);
}

TEST(ConverterQuality, SilenceGivesExactSilence) {
    for (auto pair : {std::pair{8000, 22050}, std::pair{44100, 48000}, std::pair{48000, 22050},
                      std::pair{44100, 22050}}) {
        auto converter = createConverter(editorConfig(pair.first, pair.second, 2));
        const std::vector<float> out = convert(*converter, std::vector<float>(20000, 0.0f), 2, 777);
        ASSERT_FALSE(out.empty());
        EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](float v) { return v == 0.0f; }));
    }
}

} // namespace
} // namespace velcora
