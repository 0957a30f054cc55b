// The exported interface, through the shared library itself.
#include "velcora/velcora.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

constexpr std::uint32_t kS16 = 2;
constexpr std::uint32_t kFloat = 16;

// Initialises with the editor's filter parameters.
void init(int srcRate, int dstRate, std::uint32_t srcChannels, std::uint32_t dstChannels,
          std::uint32_t inFormat = kS16, std::uint32_t outFormat = kS16) {
    DSP_init(srcRate, dstRate, srcChannels, dstChannels, inFormat, outFormat, 96, 8000, 1024);
}

std::vector<std::int16_t> process(const std::vector<std::int16_t>& in) {
    std::vector<std::int16_t> out(in.size() * 4 + 8192, 0x5555);
    std::uint32_t bytes = 12345;
    DSP_process(in.data(), static_cast<std::uint32_t>(in.size() * 2), out.data(), &bytes);
    out.resize(bytes / 2);
    return out;
}

std::vector<std::int16_t> finish() {
    std::vector<std::int16_t> out(8192, 0x5555);
    std::uint32_t bytes = 12345;
    DSP_exit(out.data(), &bytes);
    out.resize(bytes / 2);
    return out;
}

TEST(DspInterface, EqualRatePassThroughIsByteForByte) {
    init(44100, 44100, 2, 2);
    std::vector<std::int16_t> every(65536);
    for (int i = 0; i < 65536; ++i)
        every[i] = static_cast<std::int16_t>(i - 32768);
    EXPECT_EQ(process(every), every);
    EXPECT_TRUE(finish().empty());
}

TEST(DspInterface, SixteenBitToFloat) {
    init(22050, 22050, 1, 1, kS16, kFloat);
    const std::int16_t in[2] = {16384, -32768};
    float out[2] = {};
    std::uint32_t bytes = 0;
    DSP_process(in, sizeof in, out, &bytes);
    EXPECT_EQ(bytes, 8u);
    EXPECT_EQ(out[0], 0.25f);
    EXPECT_EQ(out[1], -0.5f);
    finish();
}

TEST(DspInterface, TwoToOneMixRoundsHalfUp) {
    init(22050, 22050, 2, 1);
    EXPECT_EQ(process({1000, 3000, -1, -2}), (std::vector<std::int16_t>{2000, -1}));
    // Mixes of -2.5 and 2.5 round up to -2 and 3.
    EXPECT_EQ(process({-3, -2, 2, 3}), (std::vector<std::int16_t>{-2, 3}));
    finish();
}

TEST(DspInterface, OneToTwoRepeatsEveryValue) {
    init(22050, 22050, 1, 2);
    EXPECT_EQ(process({7, -9, 32767}), (std::vector<std::int16_t>{7, 7, -9, -9, 32767, 32767}));
    finish();
}

TEST(DspInterface, TrailingPartialSampleIsIgnored) {
    init(22050, 22050, 1, 1);
    const std::uint8_t in[5] = {1, 0, 2, 0, 9};
    std::int16_t out[4] = {};
    std::uint32_t bytes = 0;
    DSP_process(in, 5, out, &bytes);
    EXPECT_EQ(bytes, 4u);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(out[1], 2);
    finish();
}

TEST(DspInterface, UpsamplingStreamHasTwoNPlusTwoFrames) {
    init(11025, 22050, 1, 1);
    std::size_t total = 0;
    std::vector<std::int16_t> block(2048);
    for (int i = 0; i < 2048; ++i)
        block[i] = static_cast<std::int16_t>(8000 * std::sin(i * 0.05));
    const int blocks = 5;
    for (int b = 0; b < blocks; ++b)
        total += process(block).size();
    EXPECT_TRUE(process({}).empty()); // inputBytes 0
    total += finish().size();
    EXPECT_EQ(total, 2u * blocks * 2048 + 2);
}

TEST(DspInterface, NoInputGivesTwoSilentFrames) {
    init(48000, 22050, 2, 1);
    EXPECT_EQ(finish(), (std::vector<std::int16_t>{0, 0}));
}

TEST(DspInterface, UnsupportedPairPassesNoAudio) {
    init(37800, 22050, 1, 1);
    EXPECT_TRUE(process(std::vector<std::int16_t>(4096, 100)).empty());
    EXPECT_TRUE(finish().empty());
}

TEST(DspInterface, InitReleasesAnOpenConversion) {
    init(44100, 22050, 2, 1);
    process(std::vector<std::int16_t>(4096, 1000));
    // Never ended: a new conversion starts from a fresh converter.
    init(11025, 22050, 1, 1);
    EXPECT_EQ(finish().size(), 2u);
    // Ending twice reports nothing the second time.
    EXPECT_TRUE(finish().empty());
}

TEST(DspInterface, UnknownOutputFormatWritesNothing) {
    init(22050, 22050, 1, 1, kS16, 3);
    EXPECT_TRUE(process({1, 2, 3}).empty());
    finish();
    init(22050, 22050, 1, 1, 5, kS16);
    EXPECT_EQ(process({1, 2, 3}), (std::vector<std::int16_t>{0, 0, 0}));
    finish();
}

// One conversion fed in pieces of `split` values (everything at once for 0), ended with DSP_exit.
// The pieces hold whole frames, as the interface asks of its callers.
std::vector<std::int16_t> convertInPieces(const std::vector<std::int16_t>& in, std::size_t split) {
    std::vector<std::int16_t> out;
    const std::size_t step = split == 0 ? in.size() : split;
    for (std::size_t at = 0; at < in.size(); at += step) {
        const std::size_t n = std::min(step, in.size() - at);
        const std::vector<std::int16_t> piece = process({in.begin() + at, in.begin() + at + n});
        out.insert(out.end(), piece.begin(), piece.end());
    }
    const std::vector<std::int16_t> tail = finish();
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
}

// The stream's output does not depend on how the input is cut (one frame, 37 frames, or the
// editor's block of 2048 values), and a fresh DSP_init starts the same conversion over exactly.
TEST(DspInterface, PiecesOfAnySizeGiveTheBytesOfOneCall) {
    struct Pair {
        int From, To;
        std::uint32_t InChannels, OutChannels;
    };
    const Pair pairs[] = {
        {44100, 22050, 2, 1}, {11025, 22050, 1, 1}, {48000, 22050, 2, 2}, {22050, 44100, 1, 2}};
    std::vector<std::int16_t> in(9001 * 2);
    std::uint32_t noise = 12345;
    for (std::size_t i = 0; i < in.size(); ++i) {
        noise = noise * 1664525u + 1013904223u;
        in[i] = static_cast<std::int16_t>(12000 * std::sin(double(i) * 0.031) + int(noise >> 20) -
                                          2048);
    }
    for (const Pair& p : pairs) {
        init(p.From, p.To, p.InChannels, p.OutChannels);
        const std::vector<std::int16_t> whole = convertInPieces(in, 0);
        ASSERT_GT(whole.size(), 1000u) << p.From << "->" << p.To;
        const std::size_t frame = p.InChannels;
        for (std::size_t split : {frame, 37 * frame, std::size_t(2048)}) {
            init(p.From, p.To, p.InChannels, p.OutChannels);
            EXPECT_EQ(convertInPieces(in, split), whole)
                << p.From << "->" << p.To << " in pieces of " << split;
        }
        init(p.From, p.To, p.InChannels, p.OutChannels);
        EXPECT_EQ(convertInPieces(in, 0), whole) << p.From << "->" << p.To << " run again";
    }
}

} // namespace
