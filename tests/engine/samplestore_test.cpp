#include "engine/errors.h"
#include "engine/samplestore.h"
#include "engine/workfilestack.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <numeric>
#include <sys/mount.h>

using namespace orvella;
using namespace orvella::test;

namespace {

std::vector<int16_t> Ramp(size_t n, int16_t start = 0) {
    std::vector<int16_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = int16_t(start + int(i * 7));
    return v;
}

} // namespace

TEST(TSampleStore, EmptyWorkFileHasOneWindowOfItsHeader) {
    TempDir dir;
    WriteWorkFile(dir.File("a.tmp"), 2, 44100, {});
    TSampleStore store(dir.File("a.tmp"), 0, false, dir.Path());
    EXPECT_EQ(store.FileSize(), 44u);
    EXPECT_EQ(store.WindowStart(), 0u);
    EXPECT_EQ(store.WindowEnd(), 43u);
    TWaveHeader h;
    store.ReadHeader(h);
    EXPECT_EQ(h.DataSize, 0u);
    EXPECT_EQ(h.RiffSize, 36u);
}

TEST(TSampleStore, WindowMovesOnlyOnAMissToTheAlignedStart) {
    TempDir dir;
    // Two windows' worth of values plus a little.
    const uint32_t values = TSampleStore::MaxWindowSize / 2 + 5000;
    const std::string path = dir.File("big.tmp");
    {
        TSampleStore store(path, 44 + values * 2, true, dir.Path());
        store.SetValue(values - 1, 77);
    }
    TSampleStore store(path, 0, false, dir.Path());
    // The last value that fits in the first window: byte offset MaxWindowSize - 2.
    const uint32_t lastInFirst = (TSampleStore::MaxWindowSize - 2 - 44) / 2;
    store.GetValue(lastInFirst);
    EXPECT_EQ(store.WindowStart(), 0u);
    store.GetValue(lastInFirst + 1);
    const uint32_t a = 44 + 2 * (lastInFirst + 1);
    EXPECT_EQ(store.WindowStart(), a - a % store.Granularity());
    EXPECT_LE(store.WindowEnd() - store.WindowStart() + 1, TSampleStore::MaxWindowSize);
    EXPECT_EQ(store.GetValue(values - 1), 77);
}

// A store the document has let go of gives up its window; whatever is called next maps one again,
// the header included (its window started at 0 before).
TEST(TSampleStore, ReleasedWindowIsMappedAgainByTheNextAccess) {
    TempDir dir;
    const std::vector<int16_t> values = Ramp(1000);
    WriteWorkFile(dir.File("a.tmp"), 1, 8000, values);
    TSampleStore store(dir.File("a.tmp"), 0, false, dir.Path());
    store.ReleaseWindow();
    TWaveHeader h;
    store.ReadHeader(h);
    EXPECT_EQ(h.DataSize, 2000u);
    store.ReleaseWindow();
    store.ReleaseWindow();
    EXPECT_EQ(store.GetValue(999), values[999]);
    store.ReleaseWindow();
    std::vector<int16_t> read(values.size());
    store.ReadBlock(read.data(), 0, int64_t(read.size()) - 1);
    EXPECT_EQ(read, values);

    TSampleStore target(dir.File("b.tmp"), 44 + 4, true, dir.Path());
    target.ReleaseWindow();
    target.WriteHeader(MakeWorkHeader(1, 8000, 4));
    target.ReleaseWindow();
    target.SetValue(1, -3);
    target.Flush();
    EXPECT_EQ(ReadWorkFileValues(dir.File("b.tmp")), (std::vector<int16_t>{0, -3}));
}

TEST(TSampleStore, BlocksMoveExactlyTheirValuesAcrossWindows) {
    TempDir dir;
    const uint32_t values = TSampleStore::MaxWindowSize / 2 + 3000;
    const std::vector<int16_t> data = Ramp(values);
    const std::string path = dir.File("w.tmp");
    {
        TSampleStore store(path, 44 + values * 2, true, dir.Path());
        store.WriteBlock(data.data(), 0, values - 1);
    }
    TSampleStore store(path, 0, false, dir.Path());
    std::vector<int16_t> back(values, -1);
    store.ReadBlock(back.data(), 0, values - 1);
    EXPECT_EQ(back, data);

    // First 10, Last 9 reads nothing; First 10, Last 10 reads one value.
    int16_t one[2] = {-5, -5};
    store.ReadBlock(one, 10, 9);
    EXPECT_EQ(one[0], -5);
    store.ReadBlock(one, 10, 10);
    EXPECT_EQ(one[0], data[10]);
    EXPECT_EQ(one[1], -5);
}

TEST(TSampleStore, CopyFromAcrossWindowsAndCountZero) {
    TempDir dir;
    const uint32_t values = TSampleStore::MaxWindowSize / 2 + 1000;
    const std::vector<int16_t> data = Ramp(values, 3);
    WriteWorkFile(dir.File("src.tmp"), 1, 8000, data);
    TSampleStore source(dir.File("src.tmp"), 0, false, dir.Path());
    TSampleStore target(dir.File("dst.tmp"), 44 + values * 2, true, dir.Path());
    target.CopyFrom(source, 0, 0, 0);
    EXPECT_EQ(target.GetValue(0), 0);
    target.CopyFrom(source, 100, 7, values - 100);
    for (uint32_t i : {0u, 6u, 7u, 8u, values / 2, values - 94})
        EXPECT_EQ(target.GetValue(i), i < 7 ? 0 : data[i - 7 + 100]) << i;
}

TEST(TSampleStore, SetValueStoresTheLow16Bits) {
    TempDir dir;
    TSampleStore store(dir.File("s.tmp"), 48, true, dir.Path());
    store.SetValue(0, 0x12345);
    store.SetValue(1, -1);
    EXPECT_EQ(store.GetValue(0), 0x2345);
    EXPECT_EQ(store.GetValue(1), -1);
}

TEST(TSampleStore, OutOfRangeAccessIsAnErrorNotACrash) {
    TempDir dir;
    WriteWorkFile(dir.File("r.tmp"), 1, 8000, {1, 2, 3});
    TSampleStore store(dir.File("r.tmp"), 0, false, dir.Path());
    EXPECT_THROW(store.GetValue(3), Exception);
    int16_t buffer[8];
    EXPECT_THROW(store.ReadBlock(buffer, 1, 5), Exception);
}

namespace {

// A 1 MiB volume of its own (tmpfs), when this process may mount one.
class SmallVolume {
public:
    explicit SmallVolume(const std::string& dir)
        : Dir(dir) {
        std::filesystem::create_directory(dir);
        Mounted = ::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=1m") == 0;
    }
    ~SmallVolume() {
        if (Mounted) ::umount(Dir.c_str());
    }
    bool Mounted = false;

private:
    std::string Dir;
};

const char* const NoSpace = "There is not enough memory or disk space to complete the operation.";

} // namespace

TEST(TSampleStore, FreeSpaceIsTestedOnTheTemporaryFolderVolume) {
    TempDir dir;
    SmallVolume small(dir.File("small"));
    if (!small.Mounted) GTEST_SKIP() << "cannot mount a small volume here";
    // The store lies on the large volume, but the temporary folder is on the small one.
    try {
        TSampleStore store(dir.File("x.tmp"), 2 << 20, true, dir.File("small"));
        FAIL() << "created a store larger than the free space";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), NoSpace);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("x.tmp")));
}

TEST(TSampleStore, WriteStoreReservesItsSpaceSoAFullDiskIsAnError) {
    TempDir dir;
    SmallVolume small(dir.File("small"));
    if (!small.Mounted) GTEST_SKIP() << "cannot mount a small volume here";
    // The free-space test looks at the (large) temporary folder; the store's own volume is full.
    try {
        TSampleStore store(dir.File("small/x.tmp"), 2 << 20, true, dir.Path());
        FAIL() << "a store larger than its volume was created";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), NoSpace);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("small/x.tmp")));
}

// A float store grows by appends: the values land after the last, the header's sizes follow, a
// reader of the file sees the whole, and a store of the other type refuses them. On a full volume
// an append fails before writing, and the store stays as it was.
TEST(TSampleStore, AppendsGrowAFloatStoreAndItsHeader) {
    TempDir dir;
    const std::string path = dir.File("grow.tmp");
    TSampleStore store(path, 44, true, dir.Path());
    store.WriteHeader(MakeWorkHeader(2, 48000, 0, TSampleFormat::Float32));
    const std::vector<float> first = {0.5f, -0.5f, 2.0f, -2.0f}, second = {0.25f, 0.125f};
    store.Append(first.data(), 4);
    store.Append(second.data(), 2);
    EXPECT_THROW(store.Append(Ramp(2).data(), 2), Exception);
    EXPECT_EQ(store.ValueCount(), 6);
    std::vector<float> back(6);
    store.ReadBlock(back.data(), 0, 5);
    EXPECT_EQ(back, (std::vector<float>{0.5f, -0.5f, 2.0f, -2.0f, 0.25f, 0.125f}));
    TSampleStore reader(path, 0, false, dir.Path());
    TWaveHeader header;
    reader.ReadHeader(header);
    EXPECT_EQ(header.DataSize, 24u);
    EXPECT_EQ(header.RiffSize, 60u);
    EXPECT_EQ(reader.Format(), TSampleFormat::Float32);
    EXPECT_EQ(reader.ValueCount(), 6);

    SmallVolume small(dir.File("small"));
    if (!small.Mounted) GTEST_SKIP() << "cannot mount a small volume here";
    TSampleStore full(dir.File("small/x.tmp"), 44, true, dir.Path());
    full.WriteHeader(MakeWorkHeader(1, 8000, 0, TSampleFormat::Float32));
    const std::vector<float> big(1 << 20, 0.5f); // 4 MiB, more than the volume holds
    EXPECT_THROW(full.Append(big.data(), int64_t(big.size())), Exception);
    EXPECT_EQ(full.ValueCount(), 0);
}

TEST(TSampleStore, SystemErrorsCarryCodeAndText) {
    EXPECT_EQ(SystemErrorText(2), "System Error.  Code: 2.\r\nNo such file or directory");
    EXPECT_EQ(SystemErrorText(0), "A call to an OS function failed");
    TempDir dir;
    try {
        TSampleStore store(dir.File("missing/x.tmp"), 0, false, dir.Path());
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), SystemErrorText(2));
    }
}

TEST(TWorkFileWriter, HeaderFollowsTheBytesWritten) {
    TempDir dir;
    std::vector<int16_t> values(500, 3);
    WriteWorkFile(dir.File("t.tmp"), 2, 44100, values);
    TSampleStore store(dir.File("t.tmp"), 0, false, dir.Path());
    TWaveHeader h;
    store.ReadHeader(h);
    EXPECT_EQ(std::string(h.ChunkId, 4), "RIFF");
    EXPECT_EQ(h.RiffSize, 1036u);
    EXPECT_EQ(h.AvgBytesPerSec, 176400u);
    EXPECT_EQ(h.BlockAlign, 4);
    EXPECT_EQ(h.DataSize, 1000u);
    EXPECT_EQ(h.FormatTag, 1);
    EXPECT_EQ(h.BitsPerSample, 16);
}

TEST(NewWorkFileName, CreatesDistinctEmptyFilesInTheFolder) {
    TempDir dir;
    const std::string a = NewWorkFileName(dir.Path());
    const std::string b = NewWorkFileName(dir.Path());
    EXPECT_NE(a, b);
    for (const std::string& path : {a, b}) {
        const std::string name = std::filesystem::path(path).filename().string();
        EXPECT_EQ(name.front(), '~');
        EXPECT_EQ(name.substr(name.size() - 4), ".tmp");
        EXPECT_EQ(name.find_first_not_of("0123456789ABCDEF", 1), name.size() - 4);
        EXPECT_EQ(std::filesystem::file_size(path), 0u);
        EXPECT_EQ(std::filesystem::path(path).parent_path().string(), dir.Path());
    }
    EXPECT_THROW(NewWorkFileName(dir.File("nowhere")), Exception);
}

TEST(TWorkFileStack, LastInFirstOutAndClearDeletesFiles) {
    TempDir dir;
    TWorkFileStack stack;
    EXPECT_TRUE(stack.IsEmpty());
    EXPECT_EQ(stack.Pop(), "");
    for (const char* name : {"a", "b"}) {
        WriteWorkFile(dir.File(name), 1, 8000, {});
        stack.Push(dir.File(name));
    }
    stack.Push(dir.File("never-existed"));
    EXPECT_EQ(stack.Pop(), dir.File("never-existed"));
    stack.Push(dir.File("never-existed"));
    stack.Clear();
    EXPECT_TRUE(stack.IsEmpty());
    EXPECT_TRUE(dir.Files().empty());
}

// Byte offsets are 64-bit: a value past 4 GiB is reached through the window and through the
// system calls alike, and a window past 4 GiB moves back to the start. The file's blocks are
// reserved, not written.
TEST(TSampleStore, ValuesPastFourGiB) {
    TempDir dir;
    const std::string path = dir.File("big.tmp");
    const uint64_t size = (uint64_t(1) << 32) + 44 + 4096;
    const int64_t last = int64_t((size - 44) / 2) - 1;
    {
        TSampleStore store(path, size, true, dir.Path());
        ASSERT_EQ(store.ValueCount(), last + 1);
        store.SetValue(last, 1234);
        const int16_t block[3] = {7, 8, 9};
        store.WriteBlock(block, last - 3, last - 1);
        store.Flush();
    }
    TSampleStore store(path, 0, false, dir.Path());
    EXPECT_EQ(store.FileSize(), size);
    EXPECT_EQ(store.GetValue(last), 1234);
    EXPECT_GT(store.WindowEnd(), uint64_t(UINT32_MAX));
    int16_t values[4] = {};
    store.ReadBlock(values, last - 3, last);
    EXPECT_EQ(std::vector<int16_t>(values, values + 4), (std::vector<int16_t>{7, 8, 9, 1234}));
    EXPECT_EQ(store.GetValue(0), 0);
    EXPECT_EQ(store.WindowStart(), 0u);
    for (const int64_t outside : {int64_t(-1), last + 1, INT64_MIN})
        EXPECT_THROW(store.GetValue(outside), Exception) << outside;
}
