// The MPEG frame search: header test, frame lengths, the block search with its two-header test,
// VBR headers, and the results over the fixtures.

#include "codecs/mpegaudioinfo.h"
#include "mp3testutil.h"

#include <gtest/gtest.h>

namespace orvella {
namespace {

using test::FixturePath;
using test::TempDir;
using testing::WriteBytes;

// MPEG 1 Layer III, 64 kbit/s, 44100 Hz, mono, no padding: 208 bytes per frame.
const uint8_t MonoHeader[4] = {0xFF, 0xFB, 0x50, 0xC4};
constexpr size_t MonoLength = 208;

std::vector<uint8_t> Frames(size_t lead, int count, const uint8_t* header = MonoHeader,
                            size_t length = MonoLength) {
    std::vector<uint8_t> bytes(lead, 0);
    for (int i = 0; i < count; ++i) {
        size_t at = bytes.size();
        bytes.resize(at + length, 0);
        std::memcpy(bytes.data() + at, header, 4);
    }
    return bytes;
}

TEST(MPEGHeader, Test) {
    struct Case {
        uint8_t H[4];
        bool Valid;
        const char* Why;
    };
    const Case cases[] = {
        {{0xFF, 0xFB, 0x50, 0xC4}, true, "MPEG 1 Layer III"},
        {{0xFE, 0xFB, 0x50, 0xC4}, false, "first byte"},
        {{0xFF, 0xDB, 0x50, 0xC4}, false, "sync bits of the second byte"},
        {{0xFF, 0xE3, 0x18, 0xC4}, true, "MPEG 2.5"},
        {{0xFF, 0xEB, 0x50, 0xC4}, false, "reserved version"},
        {{0xFF, 0xF9, 0x50, 0xC4}, false, "reserved layer"},
        {{0xFF, 0xFB, 0x00, 0xC4}, false, "free bitrate"},
        {{0xFF, 0xFB, 0xF0, 0xC4}, false, "bad bitrate"},
        {{0xFF, 0xFB, 0x5C, 0xC4}, false, "reserved sample rate"},
        {{0xFF, 0xFB, 0x50, 0xC6}, false, "reserved emphasis"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsFrameHeader(c.H), c.Valid) << c.Why;
}

TEST(MPEGHeader, DecodingAndLengths) {
    struct Case {
        uint8_t H[4];
        uint8_t Version, Layer, Mode;
        uint32_t Rate;
        uint16_t BitRate, Length;
    };
    const Case cases[] = {
        // MPEG 1 Layer III 64 kbit/s 44100 mono: trunc(144 × 64000 / 44100)
        {{0xFF, 0xFB, 0x50, 0xC4}, MPEG_VERSION_1, MPEG_LAYER_III, MPEG_CM_MONO, 44100, 64, 208},
        // padded: + 1
        {{0xFF, 0xFB, 0x52, 0xC4}, MPEG_VERSION_1, MPEG_LAYER_III, MPEG_CM_MONO, 44100, 64, 209},
        // MPEG 1 Layer II 128 kbit/s 48000 stereo: 144 × 128000 / 48000
        {{0xFF, 0xFD, 0x84, 0x04}, MPEG_VERSION_1, MPEG_LAYER_II, MPEG_CM_STEREO, 48000, 128, 384},
        // Layer I counts 4-byte slots: (trunc(12 × bitrate / rate) + padding) × 4
        // MPEG 1 Layer I 32 kbit/s 32000 joint stereo, padded: (12 + 1) × 4
        {{0xFF, 0xFF, 0x1A, 0x44},
         MPEG_VERSION_1,
         MPEG_LAYER_I,
         MPEG_CM_JOINT_STEREO,
         32000,
         32,
         52},
        // MPEG 1 Layer I 32 kbit/s 44100: trunc(8.7) × 4
        {{0xFF, 0xFF, 0x10, 0x00}, MPEG_VERSION_1, MPEG_LAYER_I, MPEG_CM_STEREO, 44100, 32, 32},
        // MPEG 2 Layer III 32 kbit/s 22050 mono: trunc(72 × 32000 / 22050)
        {{0xFF, 0xF3, 0x40, 0xC4}, MPEG_VERSION_2, MPEG_LAYER_III, MPEG_CM_MONO, 22050, 32, 104},
        // MPEG 2 Layer I 64 kbit/s 22050 dual channel: slots as in MPEG 1, trunc(34.8) × 4
        {{0xFF, 0xF7, 0x40, 0x84},
         MPEG_VERSION_2,
         MPEG_LAYER_I,
         MPEG_CM_DUAL_CHANNEL,
         22050,
         64,
         136},
        // MPEG 2 Layer II 160 kbit/s 24000: 144 × 160000 / 24000
        {{0xFF, 0xF5, 0xE4, 0x00}, MPEG_VERSION_2, MPEG_LAYER_II, MPEG_CM_STEREO, 24000, 160, 960},
        // MPEG 2.5 Layer III 8 kbit/s 8000 mono: 72 × 8000 / 8000
        {{0xFF, 0xE3, 0x18, 0xC4}, MPEG_VERSION_2_5, MPEG_LAYER_III, MPEG_CM_MONO, 8000, 8, 72},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(IsFrameHeader(c.H)) << int(c.Length);
        FrameData f = DecodeHeader(c.H);
        EXPECT_EQ(f.VersionID, c.Version) << int(c.Length);
        EXPECT_EQ(f.LayerID, c.Layer) << int(c.Length);
        EXPECT_EQ(f.ModeID, c.Mode) << int(c.Length);
        EXPECT_EQ(FrameSampleRate(f), c.Rate) << int(c.Length);
        EXPECT_EQ(FrameBitRate(f), c.BitRate) << int(c.Length);
        EXPECT_EQ(FrameLength(f), c.Length) << int(c.Length);
    }
}

TEST(MPEGSearch, BlockSearch) {
    struct Case {
        const char* Name;
        std::vector<uint8_t> Block;
        bool Found;
        int64_t Position;
    };
    std::vector<uint8_t> lone = Frames(100, 1);
    lone.resize(2000, 0); // no second header at 100 + 208
    std::vector<uint8_t> loneThenPair = Frames(10, 1);
    loneThenPair.resize(300, 0);
    auto pair = Frames(0, 2);
    loneThenPair.insert(loneThenPair.end(), pair.begin(), pair.end());
    std::vector<uint8_t> cut = Frames(100, 1);
    cut.resize(100 + MonoLength + 3); // the second header is not wholly in the block
    const Case cases[] = {
        {"pair at 0", Frames(0, 2), true, 0},
        {"lone header is not taken", lone, false, 0},
        {"the search moves on past a lone header", loneThenPair, true, 300},
        {"second header cut by the block end", cut, false, 0},
        {"first byte at 1729 is taken", Frames(1729, 2), true, 1729},
        {"first byte at 1730 is not", Frames(1730, 2), false, 0},
    };
    for (const Case& c : cases) {
        FrameData frame{};
        VBRData vbr{};
        std::vector<uint8_t> block(c.Block.begin(),
                                   c.Block.begin() + std::min<size_t>(c.Block.size(), 3458));
        EXPECT_EQ(TMpegAudioInfo::FindFrame(block.data(), block.size(), frame, vbr), c.Found)
            << c.Name;
        if (c.Found) {
            EXPECT_EQ(frame.Position, c.Position) << c.Name;
            EXPECT_EQ(frame.Size, MonoLength) << c.Name;
        }
    }
}

TEST(MPEGSearch, FileSearchInBlocks) {
    TempDir dir;
    TMpegAudioInfo mpeg;
    // Frames from offset 1730 on: not taken from the first block (positions 0 … 1729); the second
    // block starts at 3458, and its first header is the frame at 1730 + 9 × 208 = 3602.
    auto bytes = Frames(1730, 30);
    WriteBytes(dir.File("late.mp3"), bytes);
    ASSERT_TRUE(mpeg.ReadFromFile(dir.File("late.mp3")));
    EXPECT_EQ(mpeg.AudioDataOffset(), 3602);
    EXPECT_EQ(mpeg.FileLength(), int64_t(bytes.size()));
    EXPECT_EQ(mpeg.Frames(), (int64_t(bytes.size()) - 3602) / 208);

    // No frame at all: the reset values, true.
    WriteBytes(dir.File("none.mp3"), std::vector<uint8_t>(10000, 0x5A));
    ASSERT_TRUE(mpeg.ReadFromFile(dir.File("none.mp3")));
    EXPECT_EQ(mpeg.SampleRate(), 0u);
    EXPECT_EQ(mpeg.ChannelMode(), "Unknown");
    EXPECT_EQ(mpeg.FileLength(), 0);
    EXPECT_EQ(mpeg.Frames(), 0);

    // Fewer than 10 bytes: no search.
    WriteBytes(dir.File("tiny.mp3"), {0xFF, 0xFB, 0x50});
    EXPECT_TRUE(mpeg.ReadFromFile(dir.File("tiny.mp3")));
    EXPECT_EQ(mpeg.SampleRate(), 0u);

    EXPECT_FALSE(mpeg.ReadFromFile(dir.File("missing.mp3")));
}

TEST(MPEGSearch, VBRHeaders) {
    TempDir dir;
    // MPEG 1 mono: the header sits 21 bytes into the frame.
    auto xing = Frames(0, 20);
    std::memcpy(xing.data() + 21, "Xing\0\0\0\x0f\0\0\x12\x34\0\0\x40\0", 16);
    WriteBytes(dir.File("xing.mp3"), xing);
    TMpegAudioInfo mpeg;
    ASSERT_TRUE(mpeg.ReadFromFile(dir.File("xing.mp3")));
    EXPECT_TRUE(mpeg.VBR().Found);
    EXPECT_EQ(mpeg.Frames(), 0x1234); // the header's count, whatever the file length
    EXPECT_EQ(mpeg.VBR().Bytes, 0x4000);

    auto vbri = Frames(0, 20);
    std::memcpy(vbri.data() + 21, "VBRI\0\x01\0\x4b\0\x50\0\0\x10\0\0\0\x03\x21", 18);
    WriteBytes(dir.File("vbri.mp3"), vbri);
    ASSERT_TRUE(mpeg.ReadFromFile(dir.File("vbri.mp3")));
    EXPECT_TRUE(mpeg.VBR().Found);
    EXPECT_EQ(mpeg.VBR().Scale, 0x50);
    EXPECT_EQ(mpeg.VBR().Bytes, 0x1000);
    EXPECT_EQ(mpeg.Frames(), 0x321);
}

TEST(MPEGSearch, Fixtures) {
    struct Case {
        const char* File;
        uint32_t Rate;
        const char* Mode;
        uint8_t Version, Layer;
        int64_t Offset;
        bool VBR;
    };
    const Case cases[] = {
        {"mono.mp3", 44100, "Mono", MPEG_VERSION_1, MPEG_LAYER_III, 0, false},
        {"stereo.mp3", 44100, "Stereo", MPEG_VERSION_1, MPEG_LAYER_III, 0, false},
        {"joint.mp3", 32000, "Joint Stereo", MPEG_VERSION_1, MPEG_LAYER_III, 0, false},
        {"dual.mp3", 44100, "Dual Channel", MPEG_VERSION_1, MPEG_LAYER_III, 0, false},
        {"vbr_xing.mp3", 44100, "Joint Stereo", MPEG_VERSION_1, MPEG_LAYER_III, 0, true},
        {"mpeg2_22050.mp3", 22050, "Mono", MPEG_VERSION_2, MPEG_LAYER_III, 0, false},
        {"mpeg25_8000.mp3", 8000, "Mono", MPEG_VERSION_2_5, MPEG_LAYER_III, 0, false},
        {"layer2.mp3", 44100, "Stereo", MPEG_VERSION_1, MPEG_LAYER_II, 0, false},
        // the fake frame pair inside the tag is not looked at
        {"id3v2_large.mp3", 44100, "Mono", MPEG_VERSION_1, MPEG_LAYER_III, 4106, false},
        {"id3v1_lyrics.mp3", 44100, "Mono", MPEG_VERSION_1, MPEG_LAYER_III, 0, false},
    };
    for (const Case& c : cases) {
        TMpegAudioInfo mpeg;
        const std::string path = FixturePath(std::string("mp3/") + c.File);
        ASSERT_TRUE(mpeg.ReadFromFile(path)) << c.File;
        EXPECT_EQ(mpeg.SampleRate(), c.Rate) << c.File;
        EXPECT_EQ(mpeg.ChannelMode(), c.Mode) << c.File;
        EXPECT_EQ(mpeg.VersionID(), c.Version) << c.File;
        EXPECT_EQ(mpeg.LayerID(), c.Layer) << c.File;
        EXPECT_EQ(mpeg.AudioDataOffset(), c.Offset) << c.File;
        EXPECT_EQ(mpeg.VBR().Found, c.VBR) << c.File;
        EXPECT_GT(mpeg.Frames(), 0) << c.File;
        const int64_t length = int64_t(testing::ReadBytes(path).size());
        EXPECT_EQ(mpeg.FileLength(), length) << c.File;
        EXPECT_EQ(mpeg.AudioEnd(), length - mpeg.ID3v1().TagSize()) << c.File;
        if (!c.VBR) {
            EXPECT_EQ(mpeg.Frames(), (mpeg.AudioEnd() - c.Offset) / mpeg.Frame().Size) << c.File;
        }
    }
    TMpegAudioInfo lyrics;
    lyrics.ReadFromFile(FixturePath("mp3/id3v1_lyrics.mp3"));
    EXPECT_EQ(lyrics.AudioEnd(), lyrics.FileLength() - 183);
}

} // namespace
} // namespace orvella
