// WMA import: the work file's format and samples against reference decodes, stream selection,
// the attribute reader, the 16-bit conversion and the failure paths.

#include "codecs/wavwriter.h"
#include "codecs/wma_decoder.h"
#include "codecs/wmareader.h"
#include "codecs/wmasupport.h"
#include "mp3testutil.h"
#include "support/recordingdialogs.h"

extern "C" {
#include <libavutil/samplefmt.h>
}

#include <gtest/gtest.h>

namespace orvella {
namespace {

using test::FixturePath;
using test::RecordingDialogs;
using test::TempDir;
using testing::ReadBytes;
using testing::ReadWorkFile;
using testing::ToValues;
using testing::WriteBytes;

TEST(WMAImport, FixturesMatchReferenceDecodes) {
    struct Case {
        const char* Name;
        uint32_t Rate;
        uint16_t Channels;
    };
    const Case cases[] = {
        {"wmav2_stereo", 44100, 2},
        {"wmav1_mono", 22050, 1},
        {"with_video", 22050, 1}, // the video stream comes first in this file
    };
    ASSERT_TRUE(WmaDecodersPresent());
    TempDir dir;
    for (const Case& c : cases) {
        const std::string name = c.Name;
        TProgress progress;
        RecordingDialogs dialogs;
        ASSERT_TRUE(DecodeWMAFile(FixturePath("wma/" + name + ".wma"), dir.File(name + ".wav"),
                                  progress, dialogs))
            << name;
        EXPECT_TRUE(dialogs.Texts().empty()) << name;
        auto work = ReadWorkFile(dir.File(name + ".wav"));
        ASSERT_TRUE(work.Valid) << name;
        EXPECT_EQ(work.Tag, 1) << name;
        EXPECT_EQ(work.Bits, 16) << name;
        EXPECT_EQ(work.Rate, c.Rate) << name;
        EXPECT_EQ(work.Channels, c.Channels) << name;
        // The reference was converted from the decoder's float output with the same rounding.
        const auto reference = ToValues(ReadBytes(FixturePath("wma/" + name + ".raw")));
        EXPECT_EQ(work.Values, reference) << name;
        // These files are shorter than a second (duration 0): progress follows the bytes read.
        EXPECT_GE(progress.load(), 50) << name;
        EXPECT_LE(progress.load(), 100) << name;
    }
}

TEST(WMAImport, ProgressFollowsTheDurationAndStopsAt100) {
    // 1.5 s: the duration counts as 1 s, so the sample times pass 100 % before the end.
    TempDir dir;
    TTagsData tags;
    RecordingDialogs dialogs;
    ReadWMATags(FixturePath("wma/long_1500ms.wma"), tags, dialogs);
    EXPECT_EQ(tags.Duration, 1);
    TProgress progress;
    ASSERT_TRUE(
        DecodeWMAFile(FixturePath("wma/long_1500ms.wma"), dir.File("w.wav"), progress, dialogs));
    EXPECT_EQ(progress.load(), 100);
    auto work = ReadWorkFile(dir.File("w.wav"));
    EXPECT_EQ(work.Rate, 22050u);
    EXPECT_GT(work.Values.size(), size_t(22050 * 1.4)); // the encoder trims a little
}

TEST(WMAImport, NotAWindowsMediaFile) {
    TempDir dir;
    WriteBytes(dir.File("fake.wma"), std::vector<uint8_t>(3000, 0x42));
    TProgress progress;
    RecordingDialogs dialogs;
    try {
        DecodeWMAFile(dir.File("fake.wma"), dir.File("w.wav"), progress, dialogs);
        FAIL() << "no exception";
    } catch (const EMakerError& e) {
        EXPECT_EQ(e.Message(), "Can not open conversion stream. File format not supported");
    }
    EXPECT_THROW(DecodeWMAFile(dir.File("missing.wma"), dir.File("w.wav"), progress, dialogs),
                 EMakerError);
}

TEST(WMAImport, NoSampleDecodedReturnsFalse) {
    // The headers of a real file with its data cut away: the stream opens, nothing plays.
    TempDir dir;
    auto bytes = ReadBytes(FixturePath("wma/wmav2_stereo.wma"));
    // The ASF data object starts with its GUID; keep everything before it.
    const uint8_t dataGuid[16] = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                  0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
    auto at = std::search(bytes.begin(), bytes.end(), dataGuid, dataGuid + 16);
    ASSERT_NE(at, bytes.end());
    bytes.erase(at + 50, bytes.end());
    WriteBytes(dir.File("cut.wma"), bytes);
    TProgress progress;
    RecordingDialogs dialogs;
    EXPECT_FALSE(DecodeWMAFile(dir.File("cut.wma"), dir.File("w.wav"), progress, dialogs));
}

TEST(WMAImport, ProtectedFileGivesNoSample) {
    // The fixture with an (extended) content encryption object added to its ASF header.
    TempDir dir;
    const std::vector<uint8_t> plain = ReadBytes(FixturePath("wma/wmav2_stereo.wma"));
    EXPECT_FALSE(HasContentEncryption(FixturePath("wma/wmav2_stereo.wma")));
    const std::vector<uint8_t> guids[] = {
        {0xFB, 0xB3, 0x11, 0x22, 0x23, 0xBD, 0xD2, 0x11, 0xB4, 0xB7, 0x00, 0xA0, 0xC9, 0x55, 0xFC,
         0x6E},
        {0x14, 0xE6, 0x8A, 0x29, 0x22, 0x26, 0x17, 0x4C, 0xB9, 0x35, 0xDA, 0xE0, 0x7E, 0xE9, 0x28,
         0x9C},
    };
    for (const std::vector<uint8_t>& guid : guids) {
        // An object of 24 + 16 bytes: four empty length-prefixed fields.
        std::vector<uint8_t> object = guid;
        const uint8_t rest[24] = {40};
        object.insert(object.end(), rest, rest + 24);
        std::vector<uint8_t> bytes = plain;
        bytes.insert(bytes.begin() + 30, object.begin(), object.end());
        auto addLE = [&](size_t at, int width, uint64_t add) {
            uint64_t v = 0;
            for (int i = width - 1; i >= 0; --i)
                v = v << 8 | bytes[at + i];
            v += add;
            for (int i = 0; i < width; ++i)
                bytes[at + i] = uint8_t(v >> (8 * i));
        };
        addLE(16, 8, object.size()); // header object size
        addLE(24, 4, 1);             // header object count
        WriteBytes(dir.File("protected.wma"), bytes);
        EXPECT_TRUE(HasContentEncryption(dir.File("protected.wma")));
        TProgress progress;
        RecordingDialogs dialogs;
        EXPECT_FALSE(
            DecodeWMAFile(dir.File("protected.wma"), dir.File("w.wav"), progress, dialogs));
        EXPECT_EQ(progress.load(), 0);
    }
}

TEST(WmaReader, HelperSelectsAudioAndHandsOverLargeSamples) {
    TWmaSampleReader helper;
    ASSERT_EQ(helper.Open(FixturePath("wma/with_video.wma")), 0);
    EXPECT_EQ(helper.VideoStream(), 0);
    EXPECT_EQ(helper.AudioStream(), 1);
    EXPECT_EQ(helper.SampleRate(), 22050u);
    EXPECT_EQ(helper.Channels(), 1);
    EXPECT_EQ(helper.BitsPerSample(), 16);

    // A buffer too small for one sample: the sample comes from the helper's own memory.
    uint8_t small[16];
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    uint64_t time = 99, total = 0, lastTime = 0;
    while (helper.ReadSample(small, sizeof small, data, size, time) == 0) {
        EXPECT_NE(data, small);
        EXPECT_GT(size, sizeof small);
        EXPECT_GE(time, lastTime);
        lastTime = time;
        total += size;
    }
    EXPECT_EQ(total, ReadBytes(FixturePath("wma/with_video.raw")).size());
    EXPECT_GT(lastTime, 10u); // in 10 ms units: the last samples lie past 0.1 s

    TWmaSampleReader none;
    EXPECT_LT(none.Open(FixturePath("mp3/../../fixtures/wma/missing.wma")), 0);
    EXPECT_EQ(none.SampleRate(), 0u);
}

TEST(WmaReader, Tags) {
    RecordingDialogs dialogs;
    TTagsData tags;
    ReadWMATags(FixturePath("wma/wmav2_stereo.wma"), tags, dialogs);
    EXPECT_EQ(tags.Title, "Fixture title");
    EXPECT_EQ(tags.Duration, 0); // 0.138 s: whole seconds, the remainder dropped
    EXPECT_EQ(tags.FileSize, int64_t(ReadBytes(FixturePath("wma/wmav2_stereo.wma")).size()));
    EXPECT_TRUE(dialogs.Texts().empty());

    try {
        ReadWMATags("/nonexistent/a.wma", tags, dialogs);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "The file\r\n/nonexistent/a.wma\r\ndoes'nt exists!");
    }
}

TEST(WmaReader, ConversionTo16Bits) {
    const float planarLeft[3] = {0.5f, 1.0f, -1.5f};
    const float planarRight[3] = {-0.25f, -1.0f, 0.0000153f};
    const uint8_t* planes[2] = {reinterpret_cast<const uint8_t*>(planarLeft),
                                reinterpret_cast<const uint8_t*>(planarRight)};
    int16_t out[6];
    ASSERT_TRUE(ConvertToPCM16(planes, AV_SAMPLE_FMT_FLTP, 2, 3, out));
    // scaled by 32768, limited to the 16-bit range, rounded to nearest
    const int16_t expected[6] = {16384, -8192, 32767, -32768, -32768, 1};
    EXPECT_EQ(std::vector<int16_t>(out, out + 6), std::vector<int16_t>(expected, expected + 6));

    const int32_t wide[4] = {0x7FFFFFFF, int32_t(0x80000000), 0x00018000, 0x00028000};
    const uint8_t* widePlane[1] = {reinterpret_cast<const uint8_t*>(wide)};
    ASSERT_TRUE(ConvertToPCM16(widePlane, AV_SAMPLE_FMT_S32, 2, 2, out));
    // top 16 bits, rounded, ties to even: 1.5 -> 2, 2.5 -> 2
    const int16_t wideExpected[4] = {32767, -32768, 2, 2};
    EXPECT_EQ(std::vector<int16_t>(out, out + 4),
              std::vector<int16_t>(wideExpected, wideExpected + 4));

    const uint8_t bytes[3] = {0, 128, 255};
    const uint8_t* bytePlane[1] = {bytes};
    ASSERT_TRUE(ConvertToPCM16(bytePlane, AV_SAMPLE_FMT_U8, 1, 3, out));
    EXPECT_EQ(out[0], -32768);
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(out[2], 32512);

    const int16_t s16[2][2] = {{1, 2}, {3, 4}};
    const uint8_t* s16Planes[2] = {reinterpret_cast<const uint8_t*>(s16[0]),
                                   reinterpret_cast<const uint8_t*>(s16[1])};
    ASSERT_TRUE(ConvertToPCM16(s16Planes, AV_SAMPLE_FMT_S16P, 2, 2, out));
    EXPECT_EQ(std::vector<int16_t>(out, out + 4), (std::vector<int16_t>{1, 3, 2, 4}));
    EXPECT_FALSE(ConvertToPCM16(s16Planes, AV_SAMPLE_FMT_NONE, 2, 2, out));
}

} // namespace
} // namespace orvella
