#include "velcora/sampleformat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace velcora {
namespace {

TEST(SampleFormat, WidthsAndUnknownCodes) {
    struct Case {
        std::uint32_t code, width;
        bool known;
    };
    for (const Case c : {Case{1, 1, true}, Case{2, 2, true}, Case{4, 3, true}, Case{8, 4, true},
                         Case{16, 4, true}, Case{0, 2, false}, Case{3, 2, false}, Case{5, 2, false},
                         Case{15, 2, false}, Case{17, 2, false}}) {
        EXPECT_EQ(sampleWidth(c.code), c.width) << c.code;
        EXPECT_EQ(isSampleFormat(c.code), c.known) << c.code;
    }
}

TEST(SampleFormat, RoundingIsFloorOfHalfUpWithinLimits) {
    struct Case {
        double v;
        std::int32_t expected;
    };
    for (const Case c :
         {Case{2.5, 3}, Case{-2.5, -2}, Case{-1.7, -2}, Case{-1.5, -1}, Case{1.49, 1},
          Case{0.49999997, 0}, Case{-0.5, 0}, Case{32766.5, 32767}, Case{32767.0, 32767},
          Case{40000.0, 32767}, Case{-32768.0, -32768}, Case{-32768.5, -32768}})
        EXPECT_EQ(roundToLimits(c.v, -32768.0, 32767.0), c.expected) << c.v;
}

struct FormatCase {
    std::uint32_t code;
    std::vector<std::uint8_t> bytes;
    std::vector<float> values;
};

class SampleFormatCodes : public ::testing::TestWithParam<FormatCase> {};

TEST_P(SampleFormatCodes, ReadsAndWritesTheStoredForm) {
    const FormatCase& c = GetParam();
    std::vector<float> values(c.values.size());
    samplesToFloat(c.code, c.bytes.data(), values.size(), values.data());
    EXPECT_EQ(values, c.values);
    std::vector<std::uint8_t> bytes(c.bytes.size());
    floatToSamples(c.code, c.values.data(), c.values.size(), bytes.data());
    EXPECT_EQ(bytes, c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, SampleFormatCodes,
    ::testing::Values(
        FormatCase{1, {0, 128, 255}, {-1.0f, 0.0f, 127.0f / 128}},
        FormatCase{2, {0x00, 0x80, 0xff, 0x7f, 0x00, 0x40}, {-1.0f, 32767.0f / 32768, 0.5f}},
        FormatCase{4,
                   {0x00, 0x00, 0x80, 0xff, 0xff, 0x7f, 0xff, 0xff, 0xff},
                   {-1.0f, 8388607.0f / 8388608, -1.0f / 8388608}},
        FormatCase{8, {0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00, 0xc0}, {0.5f, -0.5f}}));

TEST(SampleFormat, LimitsOfEveryIntegerWidth) {
    const float extremes[4] = {1.0f, -1.0f, 2.0f, -2.0f};
    std::uint8_t b8[4];
    floatToSamples(kUnsigned8, extremes, 4, b8);
    EXPECT_EQ(std::vector<int>(b8, b8 + 4), (std::vector<int>{255, 0, 255, 0}));

    std::int16_t s16[4];
    floatToSamples(kSigned16, extremes, 4, reinterpret_cast<std::uint8_t*>(s16));
    EXPECT_EQ(std::vector<int>(s16, s16 + 4), (std::vector<int>{32767, -32768, 32767, -32768}));

    std::uint8_t s24[12];
    floatToSamples(kSigned24, extremes, 4, s24);
    EXPECT_EQ(std::vector<int>(s24, s24 + 6),
              (std::vector<int>{0xff, 0xff, 0x7f, 0x00, 0x00, 0x80}));

    std::int32_t s32[4];
    floatToSamples(kSigned32, extremes, 4, reinterpret_cast<std::uint8_t*>(s32));
    // The lower limit of 32-bit output is -2147483647.
    EXPECT_EQ(std::vector<std::int64_t>(s32, s32 + 4),
              (std::vector<std::int64_t>{2147483647, -2147483647, 2147483647, -2147483647}));
}

TEST(SampleFormat, FloatIsReadAsIsAndWrittenAtHalfScale) {
    const float in[2] = {0.75f, -3.0f};
    float read[2];
    samplesToFloat(kFloat32, reinterpret_cast<const std::uint8_t*>(in), 2, read);
    EXPECT_EQ(read[0], 0.75f);
    EXPECT_EQ(read[1], -3.0f);
    float written[2];
    floatToSamples(kFloat32, in, 2, reinterpret_cast<std::uint8_t*>(written));
    EXPECT_EQ(written[0], 0.375f);
    EXPECT_EQ(written[1], -1.5f);
}

TEST(SampleFormat, UnknownCodeReadsSilenceAndWritesNothing) {
    const std::uint8_t in[4] = {1, 2, 3, 4};
    float values[2] = {9, 9};
    samplesToFloat(3, in, 2, values);
    EXPECT_EQ(values[0], 0.0f);
    EXPECT_EQ(values[1], 0.0f);
    std::uint8_t out[4] = {7, 7, 7, 7};
    floatToSamples(32, values, 2, out);
    EXPECT_EQ(std::vector<int>(out, out + 4), (std::vector<int>{7, 7, 7, 7}));
}

// The conversion loops round in float where that is exact; compare with the rule in double
// over halves, near-halves and random values of every narrow width.
TEST(SampleFormat, NarrowOutputMatchesTheDoubleRule) {
    std::vector<float> xs;
    for (int k = -140000; k <= 140000; ++k) {
        const float half = static_cast<float>(k) / 4.0f;
        xs.push_back(half / 32768.0f);
        xs.push_back(std::nextafter(half, 1e9f) / 32768.0f);
        xs.push_back(std::nextafter(half, -1e9f) / 32768.0f);
        xs.push_back(half / 128.0f);
    }
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> dist(-1.1f, 1.1f);
    for (int i = 0; i < 100000; ++i)
        xs.push_back(dist(rng));
    std::vector<std::int16_t> s16(xs.size());
    std::vector<std::uint8_t> u8(xs.size());
    floatToSamples(kSigned16, xs.data(), xs.size(), reinterpret_cast<std::uint8_t*>(s16.data()));
    floatToSamples(kUnsigned8, xs.data(), xs.size(), u8.data());
    for (std::size_t i = 0; i < xs.size(); ++i) {
        ASSERT_EQ(s16[i], roundToLimits(static_cast<double>(xs[i]) * 32768.0, -32768, 32767))
            << xs[i];
        ASSERT_EQ(u8[i], roundToLimits(static_cast<double>(xs[i]) * 128.0, -128, 127) + 128)
            << xs[i];
    }
}

TEST(SampleFormat, NanIsWrittenAsSilence) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::int16_t out = 5;
    floatToSamples(kSigned16, &nan, 1, reinterpret_cast<std::uint8_t*>(&out));
    EXPECT_EQ(out, 0);
}

} // namespace
} // namespace velcora
