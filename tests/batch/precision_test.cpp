// Float documents end to end through orvella-batch: sources of more than 16 bits keep their values
// through open, edits, the history, the clipboard and save, and a save to a narrower precision
// clips and says so.

#include "batchrun.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace {

namespace fs = std::filesystem;
using orvella::test::RunBatch;
using orvella::test::Slurp;

void Put(std::string& b, uint32_t v, int bytes) {
    for (int k = 0; k < bytes; ++k) b += char(uint8_t(v >> (8 * k)));
}

// A canonical WAV: tag 1 (integer) or 3 (float), bits per value, the values' bytes.
std::string Wav(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits,
                const std::string& data) {
    std::string b = "RIFF";
    Put(b, uint32_t(36 + data.size()), 4);
    b += "WAVEfmt ";
    Put(b, 16, 4);
    Put(b, tag, 2);
    Put(b, channels, 2);
    Put(b, rate, 4);
    Put(b, rate * channels * bits / 8, 4);
    Put(b, channels * bits / 8, 2);
    Put(b, bits, 2);
    b += "data";
    Put(b, uint32_t(data.size()), 4);
    return b + data;
}

std::string FloatWav(const std::vector<float>& values, uint16_t channels = 1) {
    std::string data(values.size() * 4, '\0');
    std::memcpy(data.data(), values.data(), data.size());
    return Wav(3, channels, 8000, 32, data);
}

std::string Int24Wav(const std::vector<int32_t>& values) {
    std::string data;
    for (int32_t v : values) Put(data, uint32_t(v), 3);
    return Wav(1, 1, 8000, 24, data);
}

// The data chunk's bytes of a canonical WAV file.
std::string DataOf(const std::string& file) {
    return file.size() < 44 ? std::string() : file.substr(44);
}

std::vector<float> FloatsOf(const std::string& file) {
    const std::string data = DataOf(file);
    std::vector<float> values(data.size() / 4);
    std::memcpy(values.data(), data.data(), values.size() * 4);
    return values;
}

// A sine of 2000 frames peaking at +6 dBFS (2.0): more than one peak block, overs included.
std::vector<float> LoudSine() {
    std::vector<float> v(2000);
    for (size_t i = 0; i < v.size(); ++i) v[i] = float(2.0 * std::sin(double(i) * 0.05));
    return v;
}

class PrecisionTest : public ::testing::Test {
protected:
    orvella::test::TBatchResult Run(const std::string& args) { return RunBatch(Temp.Path(), args); }
    std::string Path(const std::string& name) const { return Temp.Path() + "/" + name; }
    std::string Write(const std::string& name, const std::string& bytes) {
        std::ofstream(Path(name), std::ios::binary) << bytes;
        return Path(name);
    }
    orvella::test::TempDir Temp;
};

TEST_F(PrecisionTest, A24BitSourceSavesBackIdentically) {
    const std::string file = Int24Wav({0x123456, -0x800000, 0x7FFFFF, 1, -1, 0, 0x400000});
    const std::string source = Write("in.wav", file);
    const auto r = Run(source + " --info --reverse --reverse --save " + Path("out.wav"));
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_NE(r.Out.find("\nprecision: float\n"), std::string::npos) << r.Out;
    EXPECT_EQ(Slurp(Path("out.wav")), file);
}

TEST_F(PrecisionTest, FloatValuesBeyondFullScaleSurviveEditsAndTheHistory) {
    const std::vector<float> sine = LoudSine();
    const std::string source = Write("in.wav", FloatWav(sine));
    const auto r = Run(source + " --info --amplify 50 --save " + Path("half.wav") +
                       " --undo --save " + Path("undone.wav") + " --redo --invert --invert --save " +
                       Path("redone.wav"));
    ASSERT_EQ(r.Status, 0) << r.Err;
    // The peak reads above full scale, on the 16-bit scale and in dB.
    EXPECT_NE(r.Out.find("peak: 65536\npeakdb: 6\nprecision: float\n"), std::string::npos) << r.Out;
    std::vector<float> half = sine;
    for (float& v : half) v *= 0.5f;
    EXPECT_EQ(FloatsOf(Slurp(Path("half.wav"))), half);
    EXPECT_EQ(FloatsOf(Slurp(Path("undone.wav"))), sine);
    EXPECT_EQ(FloatsOf(Slurp(Path("redone.wav"))), half);
    EXPECT_EQ(r.Err, "");
}

TEST_F(PrecisionTest, NormalizeMeasuresAgainstFullScale) {
    const std::string source = Write("in.wav", FloatWav(LoudSine()));
    const auto r = Run(source + " --normalize 50 --info");
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_NE(r.Out.find("peak: 16384\npeakdb: -6\n"), std::string::npos) << r.Out;
}

TEST_F(PrecisionTest, TheClipboardCarriesEachPrecision) {
    const std::vector<float> values = {0.25f, -1.5f, 2.0f, 0.125f};
    const std::string floatSource = Write("f.wav", FloatWav(values));
    // Float into float: the values exactly, beyond full scale too.
    auto r = Run(floatSource + " --copy 1:3 --paste 0 --save " + Path("ff.wav"));
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(FloatsOf(Slurp(Path("ff.wav"))),
              (std::vector<float>{-1.5f, 2.0f, 0.25f, -1.5f, 2.0f, 0.125f}));
    // 16-bit into float: exact (v / 32768); the batch tool's clipboard lives for one run, so the
    // 16-bit values come from a --bits 16 save reopened.
    r = Run(floatSource + " --bits 16 --dither none --save " + Path("i16.wav"));
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Err, "2 samples were beyond full scale and were clipped.\n");
    const std::string i16 = DataOf(Slurp(Path("i16.wav")));
    std::vector<int16_t> shorts(i16.size() / 2);
    std::memcpy(shorts.data(), i16.data(), i16.size());
    EXPECT_EQ(shorts, (std::vector<int16_t>{8192, -32768, 32767, 4096}));
}

TEST_F(PrecisionTest, BitsAndDitherChooseTheSavedFormat) {
    const std::string source = Write("in.wav", FloatWav({0.5f, -0.25f, 0.1f}));
    const auto r = Run(source + " --bits 24 --save " + Path("a.wav") + " --bits 32f --save " +
                       Path("b.wav") + " --bits 16 --save " + Path("c.wav"));
    ASSERT_EQ(r.Status, 0) << r.Err;
    const std::string a = Slurp(Path("a.wav")), b = Slurp(Path("b.wav")), c = Slurp(Path("c.wav"));
    EXPECT_EQ(uint8_t(a[34]), 24);
    EXPECT_EQ(DataOf(a).size(), 9u);
    EXPECT_EQ(uint8_t(b[20]), 3);
    EXPECT_EQ(FloatsOf(b), (std::vector<float>{0.5f, -0.25f, 0.1f}));
    EXPECT_EQ(uint8_t(c[34]), 16);
    // Values on the 16-bit grid pass exactly; the one between steps is dithered within a step.
    int16_t v[3];
    std::memcpy(v, DataOf(c).data(), 6);
    EXPECT_EQ(v[0], 16384);
    EXPECT_EQ(v[1], -8192);
    EXPECT_LE(std::abs(v[2] - 0.1 * 32768), 1.5);
    const auto bad = Run(source + " --bits 20");
    EXPECT_EQ(bad.Status, 2);
    EXPECT_NE(bad.Err.find("--bits: 20 is not 16, 24 or 32f"), std::string::npos) << bad.Err;
}

// The MP3 encoder takes a float document's values as they are: its file differs from the one made
// from the same sound rounded to 16 bits, and opens again.
TEST_F(PrecisionTest, MP3IsEncodedFromTheFloatValues) {
    std::vector<float> values(2 * 22050);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = float(0.3 * std::sin(double(i / 2) * 0.0625) + 1e-5 * double(i % 7));
    std::string data(values.size() * 4, '\0');
    std::memcpy(data.data(), values.data(), data.size());
    const std::string source = Write("in.wav", Wav(3, 2, 22050, 32, data));
    auto r = Run(source + " --mp3 cbr:128 --save " + Path("float.mp3") +
                 " --bits 16 --dither none --save " + Path("short.wav"));
    ASSERT_EQ(r.Status, 0) << r.Err;
    r = Run(Path("short.wav") + " --mp3 cbr:128 --save " + Path("short.mp3"));
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_NE(Slurp(Path("float.mp3")), Slurp(Path("short.mp3")));
    r = Run(Path("float.mp3") + " --info");
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_NE(r.Out.find("format: MP3\nchannels: 2\nsamplerate: 22050\n"), std::string::npos)
        << r.Out;
}

// A float document past 4 GiB: silence inserted before a short sound moves it beyond the 32-bit
// sizes; it is still read back exactly, and undo returns. The work file is allocated, not
// written, so this costs seconds, and needs the disk space.
TEST_F(PrecisionTest, AFloatDocumentPastFourGiBKeepsItsValues) {
    constexpr uint64_t Silence = 560000000; // stereo float: 4.48 GB
    if (fs::space(Temp.Path()).available < 6 * Silence * 8 / 4)
        GTEST_SKIP() << "needs 6.7 GB free in " << Temp.Path();
    std::vector<float> values(2000);
    for (size_t i = 0; i < values.size(); ++i) values[i] = float(i) / 1024 - 1.0f;
    const std::string source = Write("in.wav", FloatWav(values, 2));
    const std::string silence = std::to_string(Silence);
    const auto r = Run(source + " --silence 0:" + silence + " --info --save-range " + silence +
                       ":" + std::to_string(Silence + 1000) + " " + Path("tail.wav") +
                       " --undo --info");
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_NE(r.Out.find("frames: 560001000\ndatabytes: 4480008000\n"), std::string::npos)
        << r.Out;
    EXPECT_NE(r.Out.find("frames: 1000\ndatabytes: 8000\n"), std::string::npos) << r.Out;
    EXPECT_EQ(FloatsOf(Slurp(Path("tail.wav"))), values);
}

} // namespace
