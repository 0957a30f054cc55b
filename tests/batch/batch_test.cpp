// orvella-batch as scripts see it: its output lines, its messages and its exit statuses.

#include "batchrun.h"
#include "support/fixtures.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

namespace fs = std::filesystem;

using orvella::test::Slurp;
using Result = orvella::test::TBatchResult;

class BatchTest : public ::testing::Test {
protected:
    BatchTest() { fs::create_directories(Dir / "work"); }

    // Runs orvella-batch with --temp <dir>/work and the arguments.
    Result Run(const std::string& args) { return orvella::test::RunBatch(Dir, args); }
    std::string Path(const std::string& name) const { return (Dir / name).string(); }
    bool WorkFolderEmpty() const { return fs::is_empty(Dir / "work"); }

    static std::string Demo() { return orvella::test::SamplePath("demo.wav"); }

    orvella::test::TempDir Temp;
    const fs::path Dir = Temp.Path();
};

// The demo's largest positive value, the document's peak.
int DemoPeak() {
    std::ifstream in(orvella::test::SamplePath("demo.wav"), std::ios::binary);
    std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    int peak = 0;
    for (size_t i = 44; i + 1 < bytes.size(); i += 2)
        peak = std::max(peak, int(int16_t(uint8_t(bytes[i]) | (uint8_t(bytes[i + 1]) << 8))));
    return peak;
}

} // namespace

TEST_F(BatchTest, InfoPrintsTheDocumentLines) {
    const Result r = Run(Demo() + " --info");
    ASSERT_EQ(r.Status, 0) << r.Err;
    const int peak = DemoPeak();
    char db[16];
    std::snprintf(db, sizeof db, "%d", int(std::nearbyint(20 * std::log10(peak / 32768.0))));
    EXPECT_EQ(r.Out, "format: WAV\nchannels: 1\nsamplerate: 11025\nframes: 33075\n"
                     "databytes: 66150\nduration: 3.000\npeak: " +
                         std::to_string(peak) + "\npeakdb: " + db + "\nprecision: 16-bit\n");
    EXPECT_TRUE(WorkFolderEmpty());
}

TEST_F(BatchTest, NewDocumentEditsAndSaves) {
    const Result r = Run("--new 8000,2 --silence 0:800 --info --save " + Path("s.wav"));
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_NE(r.Out.find("format: NEW\nchannels: 2\nsamplerate: 8000\nframes: 800\n"),
              std::string::npos)
        << r.Out;
    EXPECT_EQ(fs::file_size(Path("s.wav")), 44u + 800 * 4);
    EXPECT_TRUE(WorkFolderEmpty());
}

TEST_F(BatchTest, EditsRoundTripToTheOriginalSamples) {
    const Result r = Run(Demo() +
                         " --cut 100:5000 --paste 100 --reverse --reverse --invert --invert"
                         " --save-range 0:33075 " +
                         Path("same.wav"));
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(Slurp(Path("same.wav")), Slurp(Demo()));
    const Result undo = Run(Demo() + " --delete 0:33075 --undo --save " + Path("undo.wav"));
    ASSERT_EQ(undo.Status, 0) << undo.Err;
    EXPECT_EQ(Slurp(Path("undo.wav")), Slurp(Demo()));
}

TEST_F(BatchTest, UsageErrorsExitTwoAndChangeNothing) {
    for (const std::string& args :
         {std::string(""), std::string("--bogus"),
          Demo() + " --delete 0:40000 --save " + Path("no.wav"), Demo() + " --paste 40000",
          Demo() + " --save " + Path("x.ogg"), Demo() + " --fade-in 3:1"}) {
        const Result r = Run(args);
        EXPECT_EQ(r.Status, 2) << args << "\n" << r.Err;
        EXPECT_NE(r.Err.find("usage: orvella-batch"), std::string::npos) << args;
        EXPECT_TRUE(WorkFolderEmpty()) << args;
    }
    EXPECT_FALSE(fs::exists(Path("no.wav")));
    const Result range = Run(Demo() + " --delete 0:40000");
    EXPECT_NE(range.Err.find("--delete: range 0:40000 is outside the document (0:33075)"),
              std::string::npos)
        << range.Err;
}

TEST_F(BatchTest, FailuresExitOneWithTheSystemsText) {
    Result r = Run(Path("missing.wav") + " --info");
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, "Error 24: Cannot open file.\n");
    std::ofstream(Path("song.ogg")) << "not audio";
    r = Run(Path("song.ogg") + " --info");
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, "Unsupported file type. Orvella opens .wav, .mp3 and .wma files.\n");
    std::ofstream(Path("fake.wav")) << "ID3 this is no wave file at all, but long enough";
    r = Run(Path("fake.wav"));
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, "Error 13: Not a wave file!\n");
    r = Run("--new 8000,1 --normalize 100");
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, "The sound is silent or has no positive peak: nothing to normalize.\n");
    EXPECT_TRUE(WorkFolderEmpty());
}

TEST_F(BatchTest, Mp3SettingsSaveAndLoadBack) {
    const Result save = Run(Demo() + " --mp3 cbr:64 --save " + Path("c.mp3") + " --mp3 vbr:2,crc" +
                            " --save-range 0:11025 " + Path("v.mp3"));
    ASSERT_EQ(save.Status, 0) << save.Err;
    for (const char* name : {"c.mp3", "v.mp3"}) {
        const Result info = Run(Path(name) + " --info");
        ASSERT_EQ(info.Status, 0) << info.Err;
        EXPECT_EQ(info.Out.rfind("format: MP3\nchannels: 1\nsamplerate: 11025\n", 0), 0u)
            << info.Out;
    }
    const Result bad = Run(Demo() + " --mp3 cbr:320 --save " + Path("bad.mp3"));
    EXPECT_EQ(bad.Status, 2);
    EXPECT_NE(bad.Err.find("320 kbit/s is not offered at 11025 Hz"), std::string::npos) << bad.Err;
    EXPECT_FALSE(fs::exists(Path("bad.mp3")));
    EXPECT_TRUE(WorkFolderEmpty());
}

TEST_F(BatchTest, ConvertDefaultsToHalfRateMono) {
    Result r = Run(Demo() + " --convert --info");
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_NE(r.Out.find("channels: 1\nsamplerate: 22050\nframes: 66152\n"), std::string::npos)
        << r.Out;
    r = Run(Demo() + " --convert 44100,2 --info --undo --info");
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_NE(r.Out.find("channels: 2\nsamplerate: 44100\nframes: 132302\n"), std::string::npos)
        << r.Out;
    EXPECT_NE(r.Out.find("channels: 1\nsamplerate: 11025\nframes: 33075\n"), std::string::npos)
        << r.Out;
    EXPECT_TRUE(WorkFolderEmpty());
}

TEST_F(BatchTest, PlayWithoutADeviceFailsWithTheDeviceText) {
    const Result r = Run(Demo() + " --play 0:1000");
    if (r.Err.find("No sound driver is available for use") == std::string::npos) {
        EXPECT_EQ(r.Status, 0) << r.Err; // a sound card played the range
        return;
    }
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, "DirectSound call failed: 88780078\rNo sound driver is available for use\n");
    EXPECT_TRUE(WorkFolderEmpty());
}
