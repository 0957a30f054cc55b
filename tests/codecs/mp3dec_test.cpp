// MP3 import: the work file's format and samples against reference decodes made once with an
// external decoder, and the import's handling of damaged and unusual streams.

#include "codecs/mp3dec.h"
#include "codecs/mpegaudioinfo.h"
#include "codecs/mpegframedecoder.h"
#include "mp3testutil.h"

#include <gtest/gtest.h>

namespace orvella {
namespace {

using test::FixturePath;
using test::TempDir;
using testing::ReadBytes;
using testing::ReadWorkFile;
using testing::ToValues;
using testing::WriteBytes;

TEST(MP3Import, FixturesMatchReferenceDecodes) {
    struct Case {
        const char* Name;
        uint32_t Rate;
        uint16_t Channels;
        int MinProgress, MaxProgress;
    };
    const Case cases[] = {
        {"mono", 44100, 1, 95, 100},
        {"stereo", 44100, 2, 95, 100},
        {"joint", 32000, 2, 95, 100},
        {"dual", 44100, 2, 95, 100},
        {"vbr_xing", 44100, 2, 95, 100},
        {"mpeg2_22050", 22050, 1, 95, 100},
        {"mpeg25_8000", 8000, 1, 95, 100},
        {"layer2", 44100, 2, 95, 100},
        // the bytes before the first frame are never read: progress ends at the audio's share
        {"id3v2_large", 44100, 1, 20, 26},
        {"id3v1_lyrics", 44100, 1, 95, 100},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const std::string name = c.Name;
        TProgress progress;
        ASSERT_TRUE(
            DecodeMP3File(FixturePath("mp3/" + name + ".mp3"), dir.File(name + ".wav"), progress))
            << name;
        auto work = ReadWorkFile(dir.File(name + ".wav"));
        ASSERT_TRUE(work.Valid) << name;
        EXPECT_EQ(work.Tag, 1) << name;
        EXPECT_EQ(work.Bits, 16) << name;
        EXPECT_EQ(work.Rate, c.Rate) << name;
        EXPECT_EQ(work.Channels, c.Channels) << name;
        // Same decoder library as the reference: the samples agree exactly.
        const auto reference = ToValues(ReadBytes(FixturePath("mp3/" + name + ".raw")));
        EXPECT_EQ(work.Values, reference) << name;
        EXPECT_GE(progress.load(), c.MinProgress) << name;
        EXPECT_LE(progress.load(), c.MaxProgress) << name;
    }
}

TEST(MP3Import, NoValidFrameReturnsFalse) {
    TempDir dir;
    TProgress progress;
    WriteBytes(dir.File("noise.mp3"), std::vector<uint8_t>(20000, 0x3C));
    EXPECT_FALSE(DecodeMP3File(dir.File("noise.mp3"), dir.File("w.wav"), progress));
    WriteBytes(dir.File("empty.mp3"), {});
    EXPECT_FALSE(DecodeMP3File(dir.File("empty.mp3"), dir.File("w.wav"), progress));
    EXPECT_FALSE(DecodeMP3File(dir.File("missing.mp3"), dir.File("w.wav"), progress));
}

TEST(MP3Import, ZeroFrameCountReturnsFalse) {
    // Valid frames whose Xing header counts none: nothing is decoded, and the import says so
    // instead of leaving an empty work file.
    TempDir dir;
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 3; ++i) {
        std::vector<uint8_t> frame(208, 0);
        const uint8_t header[4] = {0xFF, 0xFB, 0x50, 0xC4};
        std::memcpy(frame.data(), header, 4);
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    std::memcpy(bytes.data() + 21, "Xing\0\0\0\x01\0\0\0\0", 12);
    WriteBytes(dir.File("silent.mp3"), bytes);
    TProgress progress;
    EXPECT_FALSE(DecodeMP3File(dir.File("silent.mp3"), dir.File("w.wav"), progress));
}

TEST(MP3Import, DamageInsideTheStreamDoesNotEndTheImport) {
    // 20000 bytes of garbage after the second frame of a four-frame stream: every frame is still
    // decoded. The decoder restarts its filter bank after the damage, so the first frame after it
    // differs (a short transient); the frames before it and the last frame are exact.
    TempDir dir;
    auto bytes = ReadBytes(FixturePath("mp3/layer2.mp3"));
    const size_t first = FrameLength(DecodeHeader(bytes.data()));
    const size_t cut = first + FrameLength(DecodeHeader(bytes.data() + first));
    std::vector<uint8_t> damaged(bytes.begin(), bytes.begin() + long(cut));
    damaged.insert(damaged.end(), 20000, 0x55);
    damaged.insert(damaged.end(), bytes.begin() + long(cut), bytes.end());
    WriteBytes(dir.File("damaged.mp3"), damaged);
    TProgress progress;
    ASSERT_TRUE(DecodeMP3File(dir.File("damaged.mp3"), dir.File("w.wav"), progress));
    const auto reference = ToValues(ReadBytes(FixturePath("mp3/layer2.raw")));
    const auto work = ReadWorkFile(dir.File("w.wav")).Values;
    const size_t frameValues = 1152 * 2;
    ASSERT_EQ(work.size(), 4 * frameValues);
    ASSERT_EQ(reference.size(), work.size());
    EXPECT_TRUE(std::equal(work.begin(), work.begin() + 2 * frameValues, reference.begin()));
    EXPECT_TRUE(std::equal(work.begin() + 3 * frameValues, work.end(),
                           reference.begin() + 3 * frameValues));
}

TEST(MP3Import, FormatChangeMidStreamKeepsTheFirstFormat) {
    // Stereo Layer II followed by mono Layer III frames: the mono frames are left out rather
    // than written into the stereo work file.
    TempDir dir;
    auto first = ReadBytes(FixturePath("mp3/layer2.mp3"));
    auto second = ReadBytes(FixturePath("mp3/mono.mp3"));
    first.insert(first.end(), second.begin(), second.end());
    WriteBytes(dir.File("mixed.mp3"), first);
    TProgress progress;
    ASSERT_TRUE(DecodeMP3File(dir.File("mixed.mp3"), dir.File("w.wav"), progress));
    auto work = ReadWorkFile(dir.File("w.wav"));
    EXPECT_EQ(work.Channels, 2);
    const auto reference = ToValues(ReadBytes(FixturePath("mp3/layer2.raw")));
    EXPECT_EQ(work.Values, reference);
}

TEST(MP3Import, LayerIStreams) {
    // Layer I frames with every subband unallocated are silence. Layer I frames are whole
    // 4-byte slots in every version: the frame search must find the second header there.
    struct Case {
        const char* Name;
        uint8_t Header[4];
        size_t Length;
        uint32_t Rate;
        uint16_t Channels;
    };
    const Case cases[] = {
        {"MPEG 1, 32000 Hz, 32 kbit/s, stereo", {0xFF, 0xFF, 0x18, 0x00}, 48, 32000, 2},
        {"MPEG 1, 44100 Hz, 128 kbit/s, stereo", {0xFF, 0xFF, 0x40, 0x00}, 136, 44100, 2},
        {"MPEG 2, 22050 Hz, 64 kbit/s, mono", {0xFF, 0xF7, 0x40, 0xC0}, 136, 22050, 1},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const int frames = 40;
        std::vector<uint8_t> bytes;
        for (int i = 0; i < frames; ++i) {
            std::vector<uint8_t> frame(c.Length, 0);
            std::memcpy(frame.data(), c.Header, 4);
            bytes.insert(bytes.end(), frame.begin(), frame.end());
        }
        WriteBytes(dir.File("l1.mp3"), bytes);
        TMpegAudioInfo mpeg;
        ASSERT_TRUE(mpeg.ReadFromFile(dir.File("l1.mp3"))) << c.Name;
        EXPECT_EQ(mpeg.LayerID(), MPEG_LAYER_I) << c.Name;
        EXPECT_EQ(mpeg.Frames(), frames) << c.Name;
        TProgress progress;
        ASSERT_TRUE(DecodeMP3File(dir.File("l1.mp3"), dir.File("w.wav"), progress)) << c.Name;
        auto work = ReadWorkFile(dir.File("w.wav"));
        EXPECT_EQ(work.Rate, c.Rate) << c.Name;
        EXPECT_EQ(work.Channels, c.Channels) << c.Name;
        const size_t expected = size_t(frames) * 384 * c.Channels;
        const auto& values = work.Values;
        EXPECT_EQ(values, std::vector<int16_t>(expected, 0)) << c.Name;
    }
}

TEST(MP3Decoder, OneFramePerCallAndResults) {
    auto bytes = ReadBytes(FixturePath("mp3/layer2.mp3"));
    TMpegDecoderState state;
    ASSERT_NE(InitMpegDecoder(&state) & 0xFF, 0);
    std::vector<uint8_t> out(8192);
    int done = -1;
    // Half a frame: more input is needed.
    EXPECT_EQ(DecodeMpegFrame(&state, bytes.data(), 200, out.data(), 8192, &done), MP3_NEED_MORE);
    EXPECT_EQ(done, 0);
    // The rest: frames come one per call, 1152 stereo samples each.
    int result = DecodeMpegFrame(&state, bytes.data() + 200, int(bytes.size()) - 200, out.data(),
                                 8192, &done);
    size_t total = 0;
    while (result == MP3_OK) {
        EXPECT_EQ(done, 1152 * 4);
        total += size_t(done);
        result = DecodeMpegFrame(&state, nullptr, 0, out.data(), 8192, &done);
    }
    EXPECT_EQ(result, MP3_NEED_MORE);
    EXPECT_EQ(total, ReadBytes(FixturePath("mp3/layer2.raw")).size());
    // Too small an output for one frame is an error, not an overrun.
    ExitMpegDecoder(&state);
    ASSERT_NE(InitMpegDecoder(&state) & 0xFF, 0);
    EXPECT_EQ(DecodeMpegFrame(&state, bytes.data(), int(bytes.size()), out.data(), 100, &done),
              MP3_ERR);
    ExitMpegDecoder(&state);
    EXPECT_EQ(DecodeMpegFrame(&state, bytes.data(), 10, out.data(), 8192, &done), MP3_ERR);
}

} // namespace
} // namespace orvella
