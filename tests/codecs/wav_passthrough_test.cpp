// 16-bit PCM sources pass into the work file unconverted: by the kernel's copy, or read once into
// the peak index builder and written. The work file must be the one the conversion loop writes,
// byte for byte, whether the kernel copies, cannot copy at all, or stops midway; other formats
// must not take that path; and the index built on the way must be the one a scan of the work
// file gives.

#include "codecs/wav_decoder.h"
#include "engine/errors.h"
#include "wavtestutil.h"

#include <cerrno>
#include <filesystem>
#include <unistd.h>

namespace orvella::test {
namespace {

// Kernel copies for the import, counting their calls.
int CopyCalls = 0;
uint64_t MidwayLeft = 0;

ssize_t CountingCopy(int in, off_t* inOff, int out, off_t* outOff, size_t count, unsigned flags) {
    ++CopyCalls;
    return KernelCopyFileRange(in, inOff, out, outOff, count, flags);
}

ssize_t CrossDeviceCopy(int, off_t*, int, off_t*, size_t, unsigned) {
    ++CopyCalls;
    errno = EXDEV;
    return -1;
}

// Copies MidwayLeft bytes (not a whole number of the writer's buffers), then cannot copy.
ssize_t MidwayCopy(int in, off_t* inOff, int out, off_t* outOff, size_t count, unsigned flags) {
    ++CopyCalls;
    if (MidwayLeft == 0) {
        errno = EINVAL;
        return -1;
    }
    const ssize_t n = KernelCopyFileRange(in, inOff, out, outOff,
                                          size_t(std::min<uint64_t>(count, MidwayLeft)), flags);
    if (n > 0) MidwayLeft -= uint64_t(n);
    return n;
}

ssize_t FailingCopy(int, off_t*, int, off_t*, size_t, unsigned) {
    errno = EIO;
    return -1;
}

std::vector<int16_t> Signal(size_t values) {
    std::vector<int16_t> v(values);
    uint32_t x = 7;
    for (int16_t& s : v)
        s = int16_t((x = x * 1664525u + 1013904223u) >> 16);
    return v;
}

Bytes Pcm(uint16_t channels, uint32_t rate, uint16_t bits, const Bytes& data,
          int64_t declared = -1) {
    const uint16_t align = uint16_t(channels * ((bits + 7) / 8));
    return RiffWave(
        {Chunk("fmt ", FmtBody(1, channels, rate, bits, align)), Chunk("data", data, declared)});
}

Bytes Pcm16(uint16_t channels, uint32_t rate, size_t frames) {
    return Pcm(channels, rate, 16, Values16(Signal(frames * channels)));
}

Bytes Extensible16(size_t frames) {
    Bytes ext;
    PutU16(ext, 16); // valid bits
    PutU32(ext, 3);  // channel mask
    PutU16(ext, 1);  // sub-format GUID {0001-0000-0010-8000-00AA00389B71}: PCM
    for (uint8_t b : {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71})
        ext.push_back(b);
    return RiffWave({Chunk("fmt ", FmtBody(0xFFFE, 2, 8000, 16, 4, &ext)),
                     Chunk("data", Values16(Signal(frames * 2)))});
}

enum class TKernel { Used, NotUsed, Either };

struct PassCase {
    const char* Name;
    Bytes File;
    bool PassesThrough; // 16-bit PCM
    TKernel Kernel;
};

// 8000 Hz: the writer's 100 ms buffer is 800 frames; at 1 Hz it is one frame.
std::vector<PassCase> Cases() {
    Bytes oddSize = Values16(Signal(1000 * 2));
    oddSize.insert(oddSize.end(), {1, 2, 3});
    Bytes toEnd = Pcm16(2, 8000, 900);
    for (size_t i = 40; i < 44; ++i)
        toEnd[i] = 0xFF; // data size 0xFFFFFFFF: the data runs to the end of the file
    Bytes listFirst =
        RiffWave({Chunk("LIST", Bytes(13, 'x')), Chunk("data", Values16(Signal(1700 * 2))),
                  Chunk("fmt ", FmtBody(1, 2, 8000, 16, 4))});
    return {
        {"whole 100 ms buffers", Pcm16(2, 8000, 3 * 800), true, TKernel::Used},
        {"buffers and a rest", Pcm16(1, 8000, 2 * 800 + 123), true, TKernel::Used},
        {"one buffer exactly", Pcm16(2, 8000, 800), true, TKernel::Used},
        {"less than one buffer", Pcm16(2, 8000, 700), true, TKernel::NotUsed},
        {"odd data size", Pcm(2, 8000, 16, oddSize), true, TKernel::Used},
        {"data shorter than its header claims",
         Pcm(2, 8000, 16, Values16(Signal(2000 * 2)), 100000), true, TKernel::Used},
        {"data size 0xFFFFFFFF", toEnd, true, TKernel::Used},
        {"empty data", Pcm16(2, 8000, 0), true, TKernel::NotUsed},
        {"1 Hz, 3 frames", Pcm16(1, 1, 3), true, TKernel::Used},
        {"1 Hz, 5 frames", Pcm16(1, 1, 5), true, TKernel::Used},
        {"pieces of more than a megabyte", Pcm16(2, 44100, 300000), true, TKernel::Used},
        {"six channels", Pcm16(6, 8000, 2 * 800), true, TKernel::Used},
        {"12-bit values in 16-bit containers", Pcm(2, 8000, 12, Values16(Signal(1800 * 2))), true,
         TKernel::Used},
        {"extensible 16-bit PCM", Extensible16(1700), true, TKernel::Used},
        {"data before fmt, after a LIST chunk", listFirst, true, TKernel::Used},
        {"8-bit", Pcm(2, 8000, 8, Bytes(3000, 0x90)), false, TKernel::NotUsed},
        {"24-bit", Pcm(2, 8000, 24, Bytes(6 * 1700, 0x35)), false, TKernel::NotUsed},
        {"32-bit", Pcm(1, 8000, 32, Bytes(4 * 1700, 0x53)), false, TKernel::NotUsed},
    };
}

class WavPassThrough : public TempDirTest {
protected:
    struct Result {
        Bytes Work;
        std::string Error;
        std::unique_ptr<TPeakBuilder> Peaks;
        int Progress = -1;
    };
    Result Import(const std::string& source, const TWavImportOptions& given, bool peaks = false) {
        Result r;
        TWavImportOptions options = given;
        if (peaks) options.Peaks = &r.Peaks;
        TProgress progress;
        progress = -1;
        const std::string work = Path("work.tmp");
        std::filesystem::remove(work);
        try {
            EXPECT_TRUE(DecodeWAVFile(source, work, progress, options));
            r.Work = ReadBytes(work);
        } catch (const Exception& e) {
            r.Error = e.what();
        }
        r.Progress = progress.load();
        return r;
    }
    static TWavImportOptions Converting() {
        TWavImportOptions o;
        o.PassThrough = false;
        return o;
    }
    static TWavImportOptions Copying(TKernelCopy copy) {
        TWavImportOptions o;
        o.KernelCopy = copy;
        return o;
    }

    // The new path against the conversion loop: with the kernel copying, unable to copy,
    // stopping midway, not asked to copy, and with the peak index built on the way.
    void ExpectSameWorkFile(const std::string& source, bool passesThrough, TKernel kernel) {
        const Result old = Import(source, Converting(), true);
        // Float work files (sources of more than 16 bits) are indexed on the way whatever the
        // path; 16-bit ones only when passing through.
        const Bytes oldWork = ReadBytes(Path("work.tmp"));
        const bool floatWork = oldWork.size() >= 44 && GetU16(oldWork, 20) == 3;
        if (!floatWork) {
            EXPECT_TRUE(!old.Peaks);
        }
        CopyCalls = 0;
        const Result copied = Import(source, Copying(CountingCopy));
        EXPECT_EQ(copied.Error, old.Error);
        EXPECT_TRUE(copied.Work == old.Work) << "kernel copy";
        EXPECT_EQ(copied.Progress, old.Progress);
        if (kernel == TKernel::Used) {
            EXPECT_GT(CopyCalls, 0);
        } else if (kernel == TKernel::NotUsed) {
            EXPECT_EQ(CopyCalls, 0);
        }
        const Result crossDevice = Import(source, Copying(CrossDeviceCopy));
        EXPECT_EQ(crossDevice.Error, old.Error);
        EXPECT_TRUE(crossDevice.Work == old.Work) << "no kernel copy";
        MidwayLeft = 1000;
        const Result midway = Import(source, Copying(MidwayCopy));
        EXPECT_EQ(midway.Error, old.Error);
        EXPECT_TRUE(midway.Work == old.Work) << "kernel copy stopping midway";
        const Result none = Import(source, Copying(nullptr));
        EXPECT_TRUE(none.Work == old.Work) << "reads and writes only";
        CopyCalls = 0;
        const Result indexed = Import(source, Copying(CountingCopy), true);
        EXPECT_EQ(indexed.Error, old.Error);
        EXPECT_TRUE(indexed.Work == old.Work) << "index built on the way";
        EXPECT_EQ(indexed.Progress, old.Progress);
        if (indexed.Peaks) {
            EXPECT_EQ(CopyCalls, 0); // read once, then written
        }

        // The index built on the way is the one a scan of the work file gives; imports of
        // converted 16-bit formats, and of sounds of one index block or less, build none.
        const WorkFile w = ReadWorkFile(Path("work.tmp"));
        const uint32_t frames = w.Channels ? uint32_t(w.Values.size() / w.Channels) : 0;
        if ((!passesThrough && !w.Float) || frames <= PeakBlockFrames || !old.Error.empty()) {
            EXPECT_TRUE(!indexed.Peaks);
            return;
        }
        TPeakBuilder scan(frames, w.Channels);
        if (w.Float)
            scan.Feed(w.Floats.data(), uint32_t(w.Floats.size()));
        else
            scan.Feed(w.Values.data(), uint32_t(w.Values.size()));
        int16_t wantLeft, wantRight;
        const TPeakIndexEntries want = scan.Finish(wantLeft, wantRight);
        ASSERT_TRUE(indexed.Peaks);
        EXPECT_TRUE(indexed.Peaks->IsCompleteFor(frames, w.Channels));
        int16_t left, right;
        const TPeakIndexEntries index = indexed.Peaks->Finish(left, right);
        ASSERT_EQ(index.size(), want.size());
        for (size_t i = 0; i < index.size(); ++i) {
            EXPECT_EQ(index[i].Max, want[i].Max) << i;
            EXPECT_EQ(index[i].Min, want[i].Min) << i;
        }
        EXPECT_EQ(left, wantLeft);
        EXPECT_EQ(right, wantRight);
    }
};

TEST_F(WavPassThrough, EveryFixtureGivesTheSameWorkFile) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(FixturePath("wav"))) {
        if (entry.path().extension() != ".wav") continue;
        SCOPED_TRACE(entry.path().filename().string());
        const bool pcm16 = entry.path().filename().string().rfind("pcm16-", 0) == 0;
        ExpectSameWorkFile(entry.path().string(), pcm16,
                           pcm16 ? TKernel::Either : TKernel::NotUsed);
        ++files;
    }
    EXPECT_GT(files, 10);
}

TEST_F(WavPassThrough, EdgeCasesGiveTheSameWorkFile) {
    for (const PassCase& c : Cases()) {
        SCOPED_TRACE(c.Name);
        WriteBytes(Path("in.wav"), c.File);
        ExpectSameWorkFile(Path("in.wav"), c.PassesThrough, c.Kernel);
    }
}

TEST_F(WavPassThrough, AFailingKernelCopyIsAWriteFailure) {
    WriteBytes(Path("in.wav"), Pcm16(2, 8000, 3000));
    EXPECT_EQ(Import(Path("in.wav"), Copying(FailingCopy)).Error, "Failed to write data to file");
}

} // namespace
} // namespace orvella::test
