// MP3 export: the encoder record filled from the dialog's choices, the writer's failure rules,
// and encoded files read back with the import's own code.

#include "codecs/mp3dec.h"
#include "codecs/mp3format.h"
#include "codecs/mp3writer.h"
#include "codecs/mpegaudioinfo.h"
#include "engine/errors.h"
#include "mp3testutil.h"
#include "support/recordingdialogs.h"

#include <cmath>
#include <gtest/gtest.h>

namespace orvella {
namespace {

using test::RecordingDialogs;
using test::TempDir;
using testing::ReadBytes;
using testing::ReadWorkFile;

int32_t At(const TEncoderConfig& r, size_t offset) {
    return int32_t(uint32_t(r[offset]) | uint32_t(r[offset + 1]) << 8 |
                   uint32_t(r[offset + 2]) << 16 | uint32_t(r[offset + 3]) << 24);
}

TEST(MP3Settings, BitrateTable) {
    EXPECT_EQ(BitrateChoices(44100).size(), 14u);
    EXPECT_EQ(BitrateChoices(22050).front(), 160);
    EXPECT_EQ(BitrateChoices(22050).back(), 8);
    EXPECT_EQ(BitrateChoices(11025).size(), 12u);
    EXPECT_TRUE(BitrateChoices(96000).empty());
    EXPECT_EQ(BitrateAt(48000, 0), 320u);
    EXPECT_EQ(BitrateAt(32000, 13), 32u);
    EXPECT_EQ(BitrateAt(16000, 0), 160u);
    EXPECT_EQ(BitrateAt(8000, 11), 8u);
    EXPECT_EQ(BitrateAt(8000, 13), 8u); // past the row: its last entry
    EXPECT_EQ(BitrateAt(96000, 3), 128u);
}

TEST(MP3Settings, RecordValues) {
    struct Case {
        const char* Name;
        TMP3Settings Settings;
        uint32_t Rate;
        uint16_t Channels;
        // offset -> value
        std::vector<std::pair<size_t, int32_t>> Fields;
    };
    const Case cases[] = {
        {"CBR stereo 44100, 128 kbit/s, checksum",
         {TMP3Settings::CBR, 5, 0, 0, 0, true},
         44100,
         2,
         {{0, 256}, {4, 1},  {8, 331}, {12, 44100}, {16, 0},  {20, 0},  {24, 128}, {28, 320},
          {32, 12}, {36, 1}, {40, 0},  {44, 0},     {48, 0},  {52, -1}, {56, 0},   {60, -1},
          {64, 0},  {68, 0}, {72, 8},  {76, 0},     {80, -1}, {84, 0},  {88, 0},   {92, 5}}},
        {"VBR mono 22050, slider right",
         {TMP3Settings::VBR, 0, 2, 8, 0, false},
         22050,
         1,
         {{12, 22050},
          {20, 3},
          {24, 160},
          {28, 128},
          {32, -1},
          {36, 0},
          {52, 0},
          {60, -1},
          {64, -1},
          {68, -1},
          {72, 0},
          {76, 0},
          {80, 0}}},
        {"ABR stereo 48000, target 192",
         {TMP3Settings::ABR, 13, 0, 0, 3, false},
         48000,
         2,
         {{24, 32},
          {28, 320},
          {32, 11},
          {36, 1},
          {64, 0},
          {68, -1},
          {72, 8},
          {76, 192000},
          {80, 4}}},
        {"ABR at a rate outside the table",
         {TMP3Settings::ABR, 2, 7, 4, 9, false},
         96000,
         2,
         {{24, 128}, {28, 128}, {36, 1}, {72, 4}, {76, 128000}}},
        {"VBR slider left", {TMP3Settings::VBR, 0, 0, 0, 0, false}, 8000, 1, {{72, 8}, {36, 0}}},
    };
    for (const Case& c : cases) {
        const TEncoderConfig r = FillEncoderConfig(c.Settings, c.Rate, c.Channels);
        for (auto [offset, value] : c.Fields)
            EXPECT_EQ(At(r, offset), value) << c.Name << " @" << offset;
        for (size_t i = 96; i < r.size(); ++i)
            ASSERT_EQ(r[i], 0) << c.Name << " @" << i;
    }
}

// A second of two different tones, interleaved.
std::vector<int16_t> Tones(uint32_t rate, uint16_t channels, double seconds) {
    const size_t frames = size_t(rate * seconds);
    std::vector<int16_t> v(frames * channels);
    for (size_t i = 0; i < frames; ++i)
        for (uint16_t c = 0; c < channels; ++c)
            v[i * channels + c] =
                int16_t(12000 * std::sin(2 * M_PI * (440.0 + 220 * c) * double(i) / rate) +
                        3000 * std::sin(2 * M_PI * 3150.0 * double(i) / rate));
    return v;
}

// Feeds the values in chunks as the save does: full chunks, then the rest (also when empty).
bool Encode(const std::string& path, const TEncoderConfig& config, const std::vector<int16_t>& v,
            RecordingDialogs& dialogs) {
    uint32_t chunk = 0;
    auto writer = CreateMP3Writer(path, chunk, config, dialogs);
    if (chunk == 0) return writer->Finish();
    size_t at = 0;
    for (; at + chunk <= v.size(); at += chunk)
        if (writer->Write(v.data() + at, chunk * 2) < 0) return false;
    if (writer->Write(v.data() + at, uint32_t(v.size() - at) * 2) < 0) return false;
    return writer->Finish();
}

TEST(MP3Export, EncodedFilesReadBack) {
    struct Case {
        const char* Name;
        TMP3Settings Settings;
        uint32_t Rate;
        uint16_t Channels;
        const char* Mode;
        int FirstBitRate; // 0: not fixed
        bool Xing;
    };
    const Case cases[] = {
        {"CBR stereo 128", {TMP3Settings::CBR, 5, 0, 0, 0, false}, 44100, 2, "Stereo", 128, false},
        {"CBR mono 64 with CRC",
         {TMP3Settings::CBR, 9, 0, 0, 0, true},
         44100,
         1,
         "Mono",
         64,
         false},
        {"CBR mono 22050 at 32",
         {TMP3Settings::CBR, 10, 0, 0, 0, false},
         22050,
         1,
         "Mono",
         32,
         false},
        {"CBR mono 8000 at 16",
         {TMP3Settings::CBR, 10, 0, 0, 0, false},
         8000,
         1,
         "Mono",
         16,
         false},
        {"VBR stereo", {TMP3Settings::VBR, 13, 0, 4, 0, false}, 44100, 2, "Stereo", 0, true},
        {"ABR stereo 96", {TMP3Settings::ABR, 13, 0, 0, 7, false}, 48000, 2, "Stereo", 0, false},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const std::string mp3 = dir.File("out.mp3");
        RecordingDialogs dialogs;
        const auto values = Tones(c.Rate, c.Channels, 1.0);
        ASSERT_TRUE(Encode(mp3, FillEncoderConfig(c.Settings, c.Rate, c.Channels), values, dialogs))
            << c.Name;
        EXPECT_TRUE(dialogs.Texts().empty()) << c.Name;

        TMpegAudioInfo mpeg;
        ASSERT_TRUE(mpeg.ReadFromFile(mp3)) << c.Name;
        EXPECT_EQ(mpeg.SampleRate(), c.Rate) << c.Name;
        EXPECT_EQ(mpeg.ChannelMode(), c.Mode) << c.Name;
        EXPECT_EQ(mpeg.AudioDataOffset(), 0) << c.Name;
        EXPECT_EQ(mpeg.Frame().ProtectionBit, c.Settings.CRC ? 1 : 0) << c.Name;
        EXPECT_EQ(mpeg.Frame().OriginalBit, 1) << c.Name;
        if (c.FirstBitRate) {
            EXPECT_EQ(mpeg.BitRate(), c.FirstBitRate) << c.Name;
        }
        EXPECT_EQ(mpeg.VBR().Found, c.Xing) << c.Name;

        TProgress progress;
        ASSERT_TRUE(DecodeMP3File(mp3, dir.File("back.wav"), progress)) << c.Name;
        auto work = ReadWorkFile(dir.File("back.wav"));
        EXPECT_EQ(work.Rate, c.Rate) << c.Name;
        EXPECT_EQ(work.Channels, c.Channels) << c.Name;
        if (c.Xing) {
            // The header written at the end carries the exact length: the decode gives it back.
            EXPECT_EQ(work.Values.size(), values.size()) << c.Name;
            EXPECT_GT(mpeg.Frames(), 0) << c.Name;
        } else {
            // Without it the decoder's delay and the last frame's padding remain.
            EXPECT_GE(work.Values.size(), values.size()) << c.Name;
            EXPECT_LE(work.Values.size(), values.size() + 3 * 1152 * c.Channels) << c.Name;
        }
        if (c.Settings.Mode == TMP3Settings::ABR) {
            const double kbps = double(ReadBytes(mp3).size()) * 8 / 1000.0;
            EXPECT_GT(kbps, 96 * 0.6) << c.Name;
            EXPECT_LT(kbps, 96 * 1.4) << c.Name;
        }
    }
}

TEST(MP3Export, EncoderThatCannotOpenFailsTheWriter) {
    TempDir dir;
    RecordingDialogs dialogs;
    TEncoderConfig bad = FillEncoderConfig(TMP3Settings{}, 44100, 2);
    bad[1] = 0; // dwConfig 0: not a record the encoder knows
    uint32_t chunk = 99;
    auto writer = CreateMP3Writer(dir.File("x.mp3"), chunk, bad, dialogs);
    EXPECT_EQ(chunk, 0u);
    ASSERT_EQ(dialogs.Texts().size(), 1u);
    EXPECT_EQ(dialogs.Texts()[0], "Error opening encoding stream 1");
    EXPECT_EQ(dialogs.Messages()[0].Icon, TMessageIcon::Error);
    int16_t values[4] = {};
    EXPECT_EQ(writer->Write(values, sizeof values), -1);
    EXPECT_FALSE(writer->Finish());
    EXPECT_FALSE(writer->Finish());
    EXPECT_TRUE(ReadBytes(dir.File("x.mp3")).empty());

    // A rate the encoder rejects.
    TEncoderConfig zero = FillEncoderConfig(TMP3Settings{}, 0, 2);
    auto second = CreateMP3Writer(dir.File("y.mp3"), chunk, zero, dialogs);
    EXPECT_EQ(chunk, 0u);
    EXPECT_EQ(dialogs.Texts().back(), "Error opening encoding stream 2");
}

TEST(MP3Export, WriterBasics) {
    TempDir dir;
    RecordingDialogs dialogs;
    const std::string path = dir.File("z.mp3");
    testing::WriteBytes(path, std::vector<uint8_t>(5000, 1)); // replaced, not appended to
    uint32_t chunk = 0;
    auto writer =
        CreateMP3Writer(path, chunk, FillEncoderConfig(TMP3Settings{}, 44100, 2), dialogs);
    EXPECT_EQ(chunk, 1152u * 2);
    EXPECT_TRUE(ReadBytes(path).empty());
    EXPECT_GE(writer->Write(nullptr, 0), 0);
    EXPECT_TRUE(writer->Finish());
    EXPECT_TRUE(writer->Finish());

    uint32_t monoChunk = 0;
    auto mono =
        CreateMP3Writer(path, monoChunk, FillEncoderConfig(TMP3Settings{}, 22050, 1), dialogs);
    EXPECT_EQ(monoChunk, 576u);
    EXPECT_THROW(CreateMP3Writer(dir.File("no/such/dir.mp3"), chunk,
                                 FillEncoderConfig(TMP3Settings{}, 44100, 2), dialogs),
                 Exception);
    EXPECT_TRUE(dialogs.Texts().empty());
}

} // namespace
} // namespace orvella
