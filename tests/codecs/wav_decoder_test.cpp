// The WAV import end to end: fixture files of every supported format, unusual layouts built
// from bytes, and the failures of damaged files.

#include "codecs/wav_decoder.h"
#include "codecs/wavstream.h"
#include "codecs/wavwriter.h"
#include "wavtestutil.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace orvella::test {
namespace {

std::vector<int16_t> RawValues(const Bytes& b) {
    std::vector<int16_t> v;
    for (size_t i = 0; i + 1 < b.size(); i += 2)
        v.push_back(int16_t(GetU16(b, i)));
    return v;
}

// The values of the committed 16-bit reference signal (stereo, 8 kHz, 400 frames), taken from
// its data chunk directly.
std::vector<int16_t> ReferenceSignal() {
    const Bytes b = ReadBytes(FixturePath("wav/pcm16-8000-2.wav"));
    for (size_t i = 12; i + 8 <= b.size(); i += 8 + GetU32(b, i + 4)) {
        if (std::memcmp(&b[i], "data", 4) == 0) {
            return RawValues(Bytes(b.begin() + i + 8, b.begin() + i + 8 + GetU32(b, i + 4)));
        }
    }
    return {};
}

class WavImport : public TempDirTest {
protected:
    // Imports source into a work file and returns it; records the final progress.
    WorkFile Import(const std::string& source) {
        TProgress progress;
        progress = -1;
        EXPECT_TRUE(DecodeWAVFile(source, Path("work.tmp"), progress));
        FinalProgress = progress.load();
        return ReadWorkFile(Path("work.tmp"));
    }
    WorkFile ImportBytes(const Bytes& file) {
        WriteBytes(Path("in.wav"), file);
        return Import(Path("in.wav"));
    }
    // The message a failed import raises ("" when it succeeds).
    std::string FailureOf(const Bytes& file) {
        WriteBytes(Path("in.wav"), file);
        return FailureOfFile(Path("in.wav"));
    }
    std::string FailureOfFile(const std::string& path) {
        TProgress progress;
        try {
            DecodeWAVFile(path, Path("work.tmp"), progress);
        } catch (const Exception& e) {
            return e.what();
        }
        return "";
    }
    int FinalProgress = -1;
};

// --- fixtures made once with ffmpeg and sox from one reference signal ---

struct FixtureCase {
    const char* File;
    const char* Reference; // raw 16-bit reference decode; nullptr: the reference signal
    uint16_t Channels;
    uint32_t Rate;
    int Tolerance;
    const char* Why;
};

const FixtureCase Fixtures[] = {
    {"pcm16-8000-2.wav", nullptr, 2, 8000, 0, "identical conversion"},
    {"pcm24-8000-2.wav", nullptr, 2, 8000, 0, "widened from 16 bits: the low byte is 0"},
    {"pcm32-8000-2.wav", nullptr, 2, 8000, 0, "widened from 16 bits: the low bytes are 0"},
    {"float32-8000-2.wav", nullptr, 2, 8000, 0, "x / 32768 is exact in float"},
    {"float64-8000-2.wav", nullptr, 2, 8000, 0, "x / 32768 is exact in double"},
    {"pcm8-8000-2.wav", nullptr, 2, 8000, 255, "8-bit source: one 8-bit step"},
    // Lossy codecs: compared with ffmpeg's decode of the same file, which uses the same
    // libavcodec decoders; the float decoders (MPEG) go through the same round-to-nearest.
    {"alaw-8000-2.wav", "alaw-8000-2.ref.raw", 2, 8000, 0, "G.711 decoding is a table"},
    {"mulaw-8000-2.wav", "mulaw-8000-2.ref.raw", 2, 8000, 0, "G.711 decoding is a table"},
    {"ima-adpcm-8000-2.wav", "ima-adpcm-8000-2.ref.raw", 2, 8000, 0, "integer decoder"},
    {"ms-adpcm-8000-2.wav", "ms-adpcm-8000-2.ref.raw", 2, 8000, 0, "integer decoder"},
    {"gsm-8000-1.wav", "gsm-8000-1.ref.raw", 1, 8000, 0, "integer decoder"},
    {"mp2-16000-1.wav", "mp2-16000-1.ref.raw", 1, 16000, 1, "float output, rounding"},
    {"mp3-16000-1.wav", "mp3-16000-1.ref.raw", 1, 16000, 1, "float output, rounding"},
};

TEST_F(WavImport, EveryFixtureFormatDecodesToItsReference) {
    const std::vector<int16_t> signal = ReferenceSignal();
    ASSERT_EQ(signal.size(), 800u);
    for (const FixtureCase& c : Fixtures) {
        SCOPED_TRACE(c.File);
        const WorkFile w = Import(FixturePath(std::string("wav/") + c.File));
        EXPECT_EQ(w.Channels, c.Channels);
        EXPECT_EQ(w.Rate, c.Rate);
        const std::vector<int16_t> expected =
            c.Reference ? RawValues(ReadBytes(FixturePath(std::string("wav/") + c.Reference)))
                        : signal;
        ASSERT_FALSE(expected.empty());
        ASSERT_EQ(w.Values.size(), expected.size());
        int worst = 0;
        for (size_t i = 0; i < expected.size(); ++i)
            worst = std::max(worst, std::abs(w.Values[i] - expected[i]));
        EXPECT_LE(worst, c.Tolerance) << c.Why;
        EXPECT_EQ(FinalProgress, 0);
    }
}

TEST_F(WavImport, EightBitValuesAreWholeSteps) {
    for (int16_t v : Import(FixturePath("wav/pcm8-8000-2.wav")).Values)
        EXPECT_EQ(v % 256, 0);
}

// --- layouts built from bytes ---

const std::vector<int16_t> Ramp = {0, 1, -1, 1000, -1000, 32767, -32768, 7};

Bytes PcmFmt(uint16_t channels = 2) {
    return Chunk("fmt ", FmtBody(1, channels, 8000, 16, 2 * channels));
}

TEST_F(WavImport, LayoutsThatReadNormally) {
    const Bytes data = Values16(Ramp);
    const Bytes odd{'a', 'b', 'c'}; // odd body: followed by a pad byte
    Bytes longFmt = FmtBody(1, 2, 8000, 16, 4);
    longFmt.insert(longFmt.end(), {0, 0, 9, 9, 9}); // PCM fmt of 21 bytes: only 16 are used
    struct Case {
        const char* Name;
        Bytes File;
    } cases[] = {
        {"fmt then data", RiffWave({PcmFmt(), Chunk("data", data)})},
        {"data before fmt", RiffWave({Chunk("data", data), PcmFmt()})},
        {"LIST and odd chunks between",
         RiffWave({Chunk("LIST", {'I', 'N', 'F', 'O'}), Chunk("junk", odd), PcmFmt(),
                   Chunk("fact", {1, 2, 3, 4}), Chunk("xyz ", odd), Chunk("data", data)})},
        {"long PCM fmt", RiffWave({Chunk("fmt ", longFmt), Chunk("data", data)})},
        {"data size 0 means to the end", RiffWave({PcmFmt(), Chunk("data", data, 0)})},
        {"data size 0xFFFFFFFF", RiffWave({PcmFmt(), Chunk("data", data, 0xFFFFFFFF)})},
        {"data larger than the file", RiffWave({PcmFmt(), Chunk("data", data, 100000)})},
        {"RIFF size 0 (streamed)", RiffWave({PcmFmt(), Chunk("data", data, 0)}, 0)},
        {"RIFF size larger than the file", RiffWave({PcmFmt(), Chunk("data", data)}, 1 << 20)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const WorkFile w = ImportBytes(c.File);
        EXPECT_EQ(w.Channels, 2);
        EXPECT_EQ(w.Rate, 8000u);
        EXPECT_EQ(w.Values, Ramp);
    }
}

TEST_F(WavImport, TrailingPartialBlockIsDropped) {
    Bytes data = Values16(Ramp);
    data.insert(data.end(), {0x11, 0x22, 0x33}); // 3 bytes of a 4-byte block
    EXPECT_EQ(ImportBytes(RiffWave({PcmFmt(), Chunk("data", data)})).Values, Ramp);
}

TEST_F(WavImport, EmptyDataGivesTheHeaderOnly) {
    const WorkFile w = ImportBytes(RiffWave({PcmFmt(), Chunk("data", {})}));
    EXPECT_TRUE(w.Values.empty());
    EXPECT_EQ(ReadBytes(Path("work.tmp")).size(), 44u);
    EXPECT_EQ(FinalProgress, 0);
}

TEST_F(WavImport, DataChunkWithoutAnyBytesOfItsOwn) {
    // The data header is the last thing in the file: nothing to read.
    Bytes file = RiffWave({PcmFmt()}, 4 + 24 + 8);
    const Bytes header = Chunk("data", {}, 64);
    file.insert(file.end(), header.begin(), header.end());
    EXPECT_TRUE(ImportBytes(file).Values.empty());
}

// Integer widths the file holds are narrowed by the writer with round-to-nearest-even; samples
// narrower than their container count as the container's width.
// Sources of more than 16 bits make float work files holding their values exactly (24-bit) or
// to float precision, beyond full scale too; 16-bit containers stay 16-bit.
TEST_F(WavImport, IntegerWidthsAndContainers) {
    Bytes s24;
    const std::vector<int32_t> v24 = {0x123456, 0x000180, 0x000280, -0x000080, 0x7FFF80, -0x800000};
    for (int32_t v : v24) {
        s24.push_back(uint8_t(v));
        s24.push_back(uint8_t(v >> 8));
        s24.push_back(uint8_t(v >> 16));
    }
    const WorkFile w24 =
        ImportBytes(RiffWave({Chunk("fmt ", FmtBody(1, 1, 8000, 24, 3)), Chunk("data", s24)}));
    EXPECT_TRUE(w24.Float);
    ASSERT_EQ(w24.Floats.size(), v24.size());
    for (size_t i = 0; i < v24.size(); ++i)
        EXPECT_EQ(double(w24.Floats[i]) * 8388608.0, double(v24[i])) << i;
    EXPECT_EQ(w24.Values, (std::vector<int16_t>{0x1234, 2, 2, 0, 32767, -32768}));
    // 12 valid bits in a 16-bit container
    const WorkFile w12 = ImportBytes(RiffWave(
        {Chunk("fmt ", FmtBody(1, 1, 8000, 12, 2)), Chunk("data", Values16({0x7FF0, -16}))}));
    EXPECT_FALSE(w12.Float);
    EXPECT_EQ(w12.Values, (std::vector<int16_t>{0x7FF0, -16}));
}

TEST_F(WavImport, FloatIsKeptBeyondFullScale) {
    Bytes data;
    const std::vector<float> values = {0.5f,         -1.0f,        1.0f,          2.5f, -3.0f,
                                       1.5f / 32768, 2.5f / 32768, -0.5f / 32768};
    for (float f : values) {
        uint32_t u;
        std::memcpy(&u, &f, 4);
        PutU32(data, u);
    }
    const uint32_t nan = 0x7FC00000, infinity = 0x7F800000;
    PutU32(data, nan);
    PutU32(data, infinity);
    const WorkFile w =
        ImportBytes(RiffWave({Chunk("fmt ", FmtBody(3, 1, 8000, 32, 4)), Chunk("data", data)}));
    EXPECT_TRUE(w.Float);
    std::vector<float> expected = values;
    expected.push_back(0.0f); // NaN and infinity would poison every sum: they become silence
    expected.push_back(0.0f);
    EXPECT_EQ(w.Floats, expected);
}

// RF64, as a save past 4 GiB writes it: sizes of 0xFFFFFFFF, the real ones in ds64, the data
// running to the end of the file.
TEST_F(WavImport, Rf64ReadsItsDataToTheEndOfTheFile) {
    Bytes data;
    for (float f : {0.25f, -2.0f, 0.5f, 1.0f}) {
        uint32_t u;
        std::memcpy(&u, &f, 4);
        PutU32(data, u);
    }
    Bytes ds64;
    for (uint64_t v : {uint64_t(72 + data.size()), uint64_t(data.size()), uint64_t(2)}) {
        PutU32(ds64, uint32_t(v));
        PutU32(ds64, uint32_t(v >> 32));
    }
    PutU32(ds64, 0);
    Bytes file = RiffWave({Chunk("ds64", ds64), Chunk("fmt ", FmtBody(3, 2, 8000, 32, 8)),
                           Chunk("data", data, 0xFFFFFFFF)},
                          0xFFFFFFFF);
    std::memcpy(file.data(), "RF64", 4);
    const WorkFile w = ImportBytes(file);
    EXPECT_EQ(w.Channels, 2);
    EXPECT_EQ(w.Floats, (std::vector<float>{0.25f, -2.0f, 0.5f, 1.0f}));
}

Bytes Extensible(uint16_t subTag, uint16_t bits, uint16_t channels) {
    Bytes ext;
    PutU16(ext, bits);   // valid bits
    PutU32(ext, 3);      // channel mask
    PutU16(ext, subTag); // sub-format GUID {tag-0000-0010-8000-00AA00389B71}
    for (uint8_t b : {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71})
        ext.push_back(b);
    return FmtBody(0xFFFE, channels, 8000, bits, uint16_t(channels * bits / 8), &ext);
}

TEST_F(WavImport, ExtensiblePcmAndFloat) {
    EXPECT_EQ(
        ImportBytes(RiffWave({Chunk("fmt ", Extensible(1, 16, 2)), Chunk("data", Values16(Ramp))}))
            .Values,
        Ramp);
    Bytes data;
    for (double d : {0.25, -0.25}) {
        uint64_t u;
        std::memcpy(&u, &d, 8);
        PutU32(data, uint32_t(u));
        PutU32(data, uint32_t(u >> 32));
    }
    const WorkFile w =
        ImportBytes(RiffWave({Chunk("fmt ", Extensible(3, 64, 1)), Chunk("data", data)}));
    EXPECT_EQ(w.Floats, (std::vector<float>{0.25f, -0.25f}));
}

// A source of a whole number of the writer's 100 ms buffers imports with exactly its frames.
TEST_F(WavImport, WholeSourceBuffersImportExactly) {
    std::vector<int16_t> values(800 * 2, 1234); // 800 frames = 100 ms at 8 kHz
    EXPECT_EQ(ImportBytes(RiffWave({PcmFmt(), Chunk("data", Values16(values))})).Values, values);
}

TEST_F(WavImport, ChannelsBeyondTwoAreKept) {
    const WorkFile w = ImportBytes(RiffWave({PcmFmt(4), Chunk("data", Values16(Ramp))}));
    EXPECT_EQ(w.Channels, 4);
    EXPECT_EQ(w.Values, Ramp);
}

// --- damaged and unsupported files ---

TEST_F(WavImport, FailuresCarryTheirMessages) {
    const Bytes data = Values16(Ramp);
    Bytes mp3{0xFF, 0xFB, 0x90, 0x64};
    mp3.resize(400, 0x55);
    Bytes gsmFmtShortExtra = FmtBody(0x31, 1, 8000, 0, 65);
    PutU16(gsmFmtShortExtra, 10); // cbSize 10, but the body ends here
    struct Case {
        const char* Name;
        Bytes File;
        const char* Message;
    } cases[] = {
        {"empty file", {}, "Error 12: Invalid multimedia file!"},
        {"truncated header", {'R', 'I', 'F', 'F', 4, 0}, "Error 12: Invalid multimedia file!"},
        {"RIFF without form type",
         {'R', 'I', 'F', 'F', 4, 0, 0, 0},
         "Error 12: Invalid multimedia file!"},
        {"MP3 data", mp3, "Error 13: Not a wave file!"},
        {"RIFF but not WAVE",
         {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'V', 'I', ' '},
         "Error 13: Not a wave file!"},
        {"missing fmt", RiffWave({Chunk("data", data)}), "Error 14: Cannot find 'fmt' chunk!"},
        {"fmt beyond the RIFF size", RiffWave({Chunk("data", data), PcmFmt()}, 4 + 8 + 16),
         "Error 14: Cannot find 'fmt' chunk!"},
        {"fmt of 14 bytes", RiffWave({Chunk("fmt ", Bytes(14, 1)), Chunk("data", data)}),
         "Error 15: Abnormal 'fmt' size!"},
        {"block align 0",
         RiffWave({Chunk("fmt ", FmtBody(0x11, 1, 8000, 4, 0)), Chunk("data", data)}),
         "Error 15: Abnormal 'fmt' size!"},
        {"PCM block align wrong",
         RiffWave({Chunk("fmt ", FmtBody(1, 2, 8000, 16, 2)), Chunk("data", data)}),
         "Error 15: Abnormal 'fmt' size!"},
        {"float block align wrong",
         RiffWave({Chunk("fmt ", FmtBody(3, 1, 8000, 32, 8)), Chunk("data", data)}),
         "Error 15: Abnormal 'fmt' size!"},
        {"fmt cut by the end of the file", RiffWave({Chunk("fmt ", Bytes(8, 0), 16)}),
         "Error 16: Cannot read 'fmt' chunk!"},
        {"cbSize cut by the end of the file",
         RiffWave({Chunk("fmt ", FmtBody(0x11, 1, 8000, 4, 256), 20)}),
         "Error 17: Cannot read 'waveformatex' length!"},
        {"extra bytes beyond fmt", RiffWave({Chunk("fmt ", gsmFmtShortExtra), Chunk("data", data)}),
         "Error 18: Cannot read 'waveformatex'!"},
        {"no data chunk", RiffWave({PcmFmt()}), "Error 21: Cannot seek to data!"},
        {"unknown tag",
         RiffWave({Chunk("fmt ", FmtBody(0xABCD, 1, 8000, 8, 1, &data)), Chunk("data", data)}),
         "Error 26: Cannot suggest pcm format."},
        {"extensible with unknown sub-format",
         RiffWave({Chunk("fmt ", Extensible(0xABCD, 16, 1)), Chunk("data", data)}),
         "Error 26: Cannot suggest pcm format."},
        {"16-bit float", RiffWave({Chunk("fmt ", FmtBody(3, 1, 8000, 16, 2)), Chunk("data", data)}),
         "Error 26: Cannot suggest pcm format."},
        {"40-bit integer PCM",
         RiffWave({Chunk("fmt ", FmtBody(1, 1, 8000, 40, 5)), Chunk("data", Bytes(10, 0))}),
         "Can not open conversion stream. File format not supported"},
        {"sample rate 0", RiffWave({Chunk("fmt ", FmtBody(1, 2, 0, 16, 4)), Chunk("data", data)}),
         "Can not open conversion stream. File format not supported"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(FailureOf(c.File), c.Message);
    }
}

TEST_F(WavImport, CorruptCompressedDataFailsToConvert) {
    // MS ADPCM blocks whose predictor index is out of range.
    const Bytes fixture = ReadBytes(FixturePath("wav/ms-adpcm-8000-2.wav"));
    Bytes damaged = fixture;
    for (size_t i = 12; i + 8 <= damaged.size(); i += 8 + GetU32(damaged, i + 4)) {
        if (std::memcmp(&damaged[i], "data", 4) == 0) {
            for (size_t k = i + 8; k < damaged.size(); ++k)
                damaged[k] = 0xFF;
            break;
        }
    }
    EXPECT_EQ(FailureOf(damaged), "Error 34: Unable to convert sample.");
}

TEST_F(WavImport, CompressedDataThatDecodesToNothingGivesTheHeaderOnly) {
    // MPEG audio in a WAV whose data holds no frame sync: the decoder produces no output at
    // all, and the reader must end cleanly instead of copying from an empty buffer.
    Bytes file = ReadBytes(FixturePath("wav/mp3-16000-1.wav"));
    for (size_t i = 12; i + 8 <= file.size(); i += 8 + GetU32(file, i + 4)) {
        if (std::memcmp(&file[i], "data", 4) == 0) {
            for (size_t k = i + 8; k < file.size(); ++k)
                file[k] = 0;
            break;
        }
    }
    EXPECT_TRUE(ImportBytes(file).Values.empty());
}

TEST_F(WavImport, MissingFileCannotBeOpened) {
    EXPECT_EQ(FailureOfFile(Path("absent.wav")), "Error 24: Cannot open file.");
}

// A source whose work file would reach 4 GiB fails before the work file gets any byte. The
// source is sparse: it occupies no disk space.
TEST_F(WavImport, WorkFileOf4GiBIsRefusedBeforeWriting) {
    // 8-bit mono doubles: 44 + 2 * D bytes of work file must stay below 4 GiB, so D = 0x7FFFFFE9
    // is the largest data size that may import.
    struct Case {
        uint16_t Bits;
        uint64_t DataBytes;
        bool Fails;
    } cases[] = {
        {8, 0x7FFFFFE9ull, false},
        {8, 0x7FFFFFEAull, true},
        {8, 0x80000000ull, true},
        {16, 0xFFFFFFF0ull, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.DataBytes);
        const Bytes head =
            RiffWave({Chunk("fmt ", FmtBody(1, 1, 8000, c.Bits, c.Bits / 8))}, 0xFFFFFFFF);
        Bytes file = head;
        Bytes dataHeader{'d', 'a', 't', 'a'};
        PutU32(dataHeader, uint32_t(c.DataBytes));
        file.insert(file.end(), dataHeader.begin(), dataHeader.end());
        WriteBytes(Path("big.wav"), file);
        ASSERT_EQ(truncate(Path("big.wav").c_str(), off_t(file.size() + c.DataBytes)), 0);
        if (c.Fails) {
            WriteBytes(Path("work.tmp"), {});
            EXPECT_EQ(FailureOfFile(Path("big.wav")), WorkFileTooLargeText);
            EXPECT_EQ(std::filesystem::file_size(Path("work.tmp")), 0u);
        } else {
            // Importing 4 GiB is not a unit test: a work file that cannot be created shows that
            // the size test let the import go on to the writer.
            TProgress progress;
            try {
                DecodeWAVFile(Path("big.wav"), Path("absent/work.tmp"), progress);
                ADD_FAILURE() << "the work file cannot be created";
            } catch (const Exception& e) {
                EXPECT_STREQ(e.what(), "Can not open file");
            }
        }
    }
}

// A lower size limit holds for every way the work file is written, to the byte: uncompressed
// sources are checked before writing, compressed ones while writing.
TEST_F(WavImport, WorkFileLimitHoldsToTheByte) {
    for (const char* file :
         {"pcm16-8000-2.wav", "pcm8-8000-2.wav", "ima-adpcm-8000-2.wav", "mp3-16000-1.wav"}) {
        SCOPED_TRACE(file);
        const std::string source = FixturePath(std::string("wav/") + file);
        Import(source);
        const uint64_t smallest = std::filesystem::file_size(Path("work.tmp"));
        for (const uint64_t limit : {smallest, smallest - 1}) {
            TWavImportOptions options;
            options.WorkFileLimit = limit;
            TProgress progress;
            std::string failure;
            try {
                DecodeWAVFile(source, Path("work.tmp"), progress, options);
            } catch (const Exception& e) {
                failure = e.what();
            }
            EXPECT_EQ(failure, limit == smallest ? "" : WorkFileTooLargeText) << limit;
        }
    }
}

// --- the reader and the stream directly ---

TEST_F(WavImport, ReaderDeliversWholeBlocksAndCountsSourceBytes) {
    // 24-bit stereo: 6-byte blocks; 8192 - 8192 % 6 = 8190 bytes per read.
    const Bytes data(6 * 2000, 0x10);
    WriteBytes(Path("in.wav"),
               RiffWave({Chunk("fmt ", FmtBody(1, 2, 8000, 24, 6)), Chunk("data", data)}));
    TFileWaveStream stream(Path("in.wav"), nullptr);
    TPCMWaveReader reader(stream);
    std::vector<uint8_t> buffer(TPCMWaveReader::ChunkSize);
    std::vector<int32_t> sizes;
    int32_t count = 0;
    EXPECT_EQ(reader.Read(buffer.data(), count), 0); // a count below 1 reads nothing
    while (true) {
        count = 1;
        const int32_t n = reader.Read(buffer.data(), count);
        if (n <= 0) break;
        EXPECT_EQ(count, n);
        sizes.push_back(n);
    }
    EXPECT_EQ(sizes, (std::vector<int32_t>{8190, 3810}));
}

TEST_F(WavImport, CompressedReaderDeliversAtMostOneChunkPerRead) {
    TFileWaveStream stream(FixturePath("wav/ima-adpcm-8000-2.wav"), nullptr);
    TPCMWaveReader reader(stream);
    EXPECT_EQ(reader.PCMFormat().wBitsPerSample, 16);
    std::vector<uint8_t> buffer(TPCMWaveReader::ChunkSize);
    int64_t consumed = 0, produced = 0;
    while (true) {
        int32_t count = 1;
        const int32_t n = reader.Read(buffer.data(), count);
        if (n <= 0) break;
        EXPECT_LE(n, TPCMWaveReader::ChunkSize);
        consumed += count;
        produced += n;
    }
    EXPECT_EQ(consumed, reader.DataSize());
    EXPECT_EQ(produced, int64_t(ReadBytes(FixturePath("wav/ima-adpcm-8000-2.ref.raw")).size()));
}

TEST_F(WavImport, StreamWritesAFileItReadsBack) {
    const TWaveFormat format = MakePCMFormat(2, 8000, 16);
    const Bytes data = Values16(Ramp);
    {
        TFileWaveStream out(Path("made.wav"), &format);
        EXPECT_EQ(out.Write(data.data(), 2), 2);
        EXPECT_EQ(out.Write(data.data() + 8, 2), 2);
    }
    const Bytes made = ReadBytes(Path("made.wav"));
    ASSERT_EQ(made.size(), 12u + 8 + 18 + 8 + 16);
    EXPECT_EQ(GetU32(made, 4), made.size() - 8);
    EXPECT_EQ(GetU32(made, 16), 18u); // fmt holds the 18-byte record
    EXPECT_EQ(GetU32(made, 42), 16u); // data size
    TFileWaveStream in(Path("made.wav"), nullptr);
    EXPECT_EQ(in.DataSize(), 16);
    EXPECT_EQ(in.DataOffset(), 46);
    EXPECT_EQ(in.Seek(2, 0), 2);
    int16_t v[2];
    EXPECT_EQ(in.Read(v, 4), 4);
    EXPECT_EQ(v[0], Ramp[4]);
    EXPECT_EQ(in.Seek(-1, 1), 2);
    EXPECT_EQ(in.Seek(0, 2), 4);
    try {
        in.Seek(-1, 0);
        ADD_FAILURE() << "a seek before the data must fail";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Error 10: Cannot seek in file.");
    }
}

} // namespace
} // namespace orvella::test
