// TWavWriter: the file layout, the 100 ms buffering with its filler frame, the conversions and
// the failures.

#include "codecs/wavwriter.h"
#include "wavtestutil.h"

#include <numeric>

namespace orvella::test {
namespace {

class WavWriter : public TempDirTest {
protected:
    // Writes input in pieces of the given sizes (the rest in one piece) and returns the file.
    Bytes Make(const TWaveFormat& source, const Bytes& input, std::vector<size_t> pieces = {}) {
        TWavWriter w(source, MakePCMFormat(source.nChannels, source.nSamplesPerSec, 16));
        w.Open(Path("out.wav"));
        EXPECT_TRUE(w.IsOpen());
        size_t at = 0;
        for (size_t n : pieces) {
            n = std::min(n, input.size() - at);
            w.Write(input.data() + at, uint32_t(n));
            at += n;
        }
        if (at < input.size()) w.Write(input.data() + at, uint32_t(input.size() - at));
        w.Close();
        EXPECT_FALSE(w.IsOpen());
        return ReadBytes(Path("out.wav"));
    }
    static std::string Failure(const std::function<void()>& f) {
        try {
            f();
        } catch (const EMakerError& e) {
            EXPECT_EQ(e.Code, -1);
            return e.what();
        }
        return "";
    }
};

Bytes Data(const Bytes& file) {
    return Bytes(file.begin() + 44, file.end());
}

TEST_F(WavWriter, HeaderOfAPcmTarget) {
    const Bytes file = Make(MakePCMFormat(2, 44100, 16), Values16({1, 2, 3, 4}));
    Bytes expected{'R', 'I', 'F', 'F'};
    PutU32(expected, 44 - 8 + 8);
    for (char c : std::string("WAVEfmt "))
        expected.push_back(uint8_t(c));
    PutU32(expected, 16);
    const Bytes fmt = FmtBody(1, 2, 44100, 16, 4);
    expected.insert(expected.end(), fmt.begin(), fmt.end());
    for (char c : std::string("data"))
        expected.push_back(uint8_t(c));
    PutU32(expected, 8);
    const Bytes values = Values16({1, 2, 3, 4});
    expected.insert(expected.end(), values.begin(), values.end());
    EXPECT_EQ(file, expected);
}

TEST_F(WavWriter, NoWriteGivesAnEmptyDataChunk) {
    const Bytes file = Make(MakePCMFormat(2, 44100, 16), {});
    EXPECT_EQ(file.size(), 44u);
    EXPECT_EQ(GetU32(file, 40), 0u);
    EXPECT_EQ(GetU32(file, 4), 36u);
}

// 100 ms at 44100 Hz is 4410 frames; at 10 Hz one frame. A filler frame of silence is added when
// the input ends on a buffer boundary, and kept only after more than 4 frames in all.
TEST_F(WavWriter, FillerFrameRule) {
    struct Case {
        uint16_t Bits;
        uint32_t Rate;
        size_t Frames;
        size_t ExpectedFrames;
    } cases[] = {
        {16, 44100, 4410, 4411}, {16, 44100, 8820, 8821}, {16, 44100, 4409, 4409},
        {16, 44100, 4411, 4411}, {16, 10, 3, 3},          {16, 10, 4, 5},
        {16, 10, 5, 6},          {16, 14, 1, 1},          {8, 44100, 4410, 4411},
        {8, 10, 5, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.Bits << " bits, " << c.Rate << " Hz, " << c.Frames << " frames");
        std::vector<int16_t> values(c.Frames * 2);
        std::iota(values.begin(), values.end(), int16_t(1));
        Bytes input = Values16(values);
        if (c.Bits == 8) {
            // Unsigned 8-bit: 0x81 is 256 after conversion.
            input.assign(c.Frames * 2, 0x81);
            for (size_t i = 0; i < values.size(); ++i)
                values[i] = 256;
        }
        const Bytes data = Data(Make(MakePCMFormat(2, c.Rate, c.Bits), input));
        ASSERT_EQ(data.size(), c.ExpectedFrames * 4);
        EXPECT_TRUE(
            std::equal(data.begin(), data.begin() + c.Frames * 4, Values16(values).begin()));
        // The filler frame is silence, whatever the source's width.
        EXPECT_TRUE(
            std::all_of(data.begin() + c.Frames * 4, data.end(), [](uint8_t b) { return b == 0; }));
    }
}

// The output must not depend on how the input is cut, on either side of the fast path for
// identical formats.
TEST_F(WavWriter, PiecesGiveTheSameFileAsOneWrite) {
    std::vector<int16_t> values(2 * 4410 * 3 + 2 * 17);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = int16_t(i * 37);
    const Bytes input = Values16(values);
    for (uint16_t bits : {16, 8}) {
        const TWaveFormat source = MakePCMFormat(2, 44100, bits);
        const Bytes whole = Make(source, input);
        for (const std::vector<size_t>& pieces :
             {std::vector<size_t>{1, 3, 17639, 1, 40000}, std::vector<size_t>{17640, 17640},
              std::vector<size_t>(300, 333)}) {
            EXPECT_EQ(Make(source, input, pieces), whole) << bits << " bits";
        }
    }
}

TEST_F(WavWriter, ConvertsIntegerWidthsTo16Bits) {
    struct Case {
        uint16_t Bits;
        Bytes Input;
        std::vector<int16_t> Expected;
    } cases[] = {
        {8, {0, 128, 255, 1}, {-32768, 0, 32512, -32512}},
        {16, Values16({-5, 5}), {-5, 5}},
        // 24 bits: ties (0x80 in the low byte) go to the even neighbour; the top is limited.
        {24,
         {0x80, 0x01, 0x00, 0x80, 0x02, 0x00, 0x81, 0x02, 0x00, 0xFF, 0xFF, 0x7F},
         {2, 2, 3, 32767}},
        {32,
         {0x00, 0x80, 0x01, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x80},
         {2, 0, -32768}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Bits);
        EXPECT_EQ(Data(Make(MakePCMFormat(1, 8000, c.Bits), c.Input)), Values16(c.Expected));
    }
}

TEST_F(WavWriter, EightBitSourceDoublesTheData) {
    const Bytes input(800, 200); // one full 100 ms buffer at 8 kHz mono
    const Bytes data = Data(Make(MakePCMFormat(1, 8000, 8), input));
    EXPECT_EQ(data.size(), 2 * input.size() + 2); // plus the filler frame
}

TEST_F(WavWriter, WriteReturnsTheBytesWrittenDuringTheCall) {
    TWavWriter w(MakePCMFormat(1, 8000, 8), MakePCMFormat(1, 8000, 16));
    const Bytes input(1000, 128);
    EXPECT_EQ(w.Write(input.data(), 10), 0u); // not open: ignored
    w.Open(Path("out.wav"));
    EXPECT_EQ(w.Write(input.data(), 799), 0u);
    EXPECT_EQ(w.Write(input.data(), 2), 1600u); // completes one buffer
    w.Close();
    w.Close(); // closed: nothing
    EXPECT_EQ(GetU32(ReadBytes(Path("out.wav")), 40), 1602u);
    // After Close the writer may open again.
    w.Open(Path("again.wav"));
    w.Close();
    EXPECT_EQ(ReadBytes(Path("again.wav")).size(), 44u);
}

TEST_F(WavWriter, SetSourceFormatRebuildsTheSource) {
    TWavWriter w(MakePCMFormat(1, 8000, 8), MakePCMFormat(2, 8000, 16));
    w.SetSourceFormat(8000, 2, 16);
    w.Open(Path("out.wav"));
    const Bytes input = Values16({7, -7});
    w.Write(input.data(), 4);
    w.Close();
    EXPECT_EQ(Data(ReadBytes(Path("out.wav"))), input);
}

TEST_F(WavWriter, FailuresCarryTheirMessages) {
    const std::string unsupported = "Can not open conversion stream. File format not supported";
    struct Case {
        const char* Name;
        TWaveFormat Source, Target;
    } cases[] = {
        {"12-bit source", MakePCMFormat(1, 8000, 12), MakePCMFormat(1, 8000, 16)},
        {"64-bit source", MakePCMFormat(1, 8000, 64), MakePCMFormat(1, 8000, 16)},
        {"rate 0", MakePCMFormat(1, 0, 16), MakePCMFormat(1, 0, 16)},
        {"no channels", MakePCMFormat(0, 8000, 16), MakePCMFormat(0, 8000, 16)},
        {"other rate", MakePCMFormat(1, 8000, 16), MakePCMFormat(1, 11025, 16)},
        {"other channels", MakePCMFormat(1, 8000, 16), MakePCMFormat(2, 8000, 16)},
        {"8-bit target", MakePCMFormat(1, 8000, 16), MakePCMFormat(1, 8000, 8)},
        {"compressed target", MakePCMFormat(1, 8000, 16),
         [] {
             TWaveFormat f = MakePCMFormat(1, 8000, 4);
             f.wFormatTag = 0x11;
             return f;
         }()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TWavWriter w(c.Source, c.Target);
        EXPECT_EQ(Failure([&] { w.Open(Path("out.wav")); }), unsupported);
        EXPECT_FALSE(w.IsOpen());
        w.Close(); // a failed Open leaves the writer closed
    }
    TWavWriter huge(MakePCMFormat(2, 400000000, 16), MakePCMFormat(2, 400000000, 16));
    EXPECT_EQ(Failure([&] { huge.Open(Path("out.wav")); }), "Not enought memory for source buffer");
    TWavWriter noFolder(MakePCMFormat(1, 8000, 16), MakePCMFormat(1, 8000, 16));
    EXPECT_EQ(Failure([&] { noFolder.Open(Path("missing/out.wav")); }), "Can not open file");
}

TEST_F(WavWriter, PartialFrameAtTheEndCannotBeConverted) {
    TWavWriter w(MakePCMFormat(2, 8000, 16), MakePCMFormat(2, 8000, 16));
    w.Open(Path("out.wav"));
    const Bytes input = Values16({1}); // half of a stereo frame
    w.Write(input.data(), 2);
    EXPECT_EQ(Failure([&] { w.Close(); }), "Destination buffer to small for conversion");
    EXPECT_FALSE(w.IsOpen());
}

TEST_F(WavWriter, FullDiskFailsToWrite) {
    if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    TWavWriter w(MakePCMFormat(1, 8000, 16), MakePCMFormat(1, 8000, 16));
    w.Open("/dev/full");
    const Bytes input(1 << 20, 1);
    EXPECT_EQ(Failure([&] { w.Write(input.data(), uint32_t(input.size())); }),
              "Failed to write data to file");
}

} // namespace
} // namespace orvella::test
