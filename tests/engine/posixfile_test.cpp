#include "engine/errors.h"
#include "engine/posixfile.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <pthread.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace orvella;

namespace {

std::vector<uint8_t> Pattern(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = uint8_t(i * 31 + i / 251);
    return v;
}

void Ignore(int) {}

} // namespace

// A pipe moves at most its capacity per call, so both sides see short counts; signals without
// SA_RESTART interrupt the blocked reader with EINTR. Every byte still arrives, in order.
TEST(PosixFile, ReadFullyAndWriteFullyCarryOnAfterShortCountsAndSignals) {
    struct sigaction action {
    }, previous{};
    action.sa_handler = Ignore;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: blocked calls return EINTR
    ASSERT_EQ(::sigaction(SIGUSR1, &action, &previous), 0);

    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    TFileDescriptor readEnd(ends[0]), writeEnd(ends[1]);
    const std::vector<uint8_t> sent = Pattern(1 << 20); // 16 pipe capacities
    std::vector<uint8_t> received(sent.size() + 10);
    std::atomic<int64_t> got{-2};
    std::atomic<bool> started{false};
    std::thread reader([&] {
        started = true;
        got = ReadFully(readEnd.Get(), received.data(), received.size());
    });
    while (!started)
        std::this_thread::yield();
    for (int i = 0; i < 20; ++i) {
        ::pthread_kill(reader.native_handle(), SIGUSR1);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(WriteFully(writeEnd.Get(), sent.data(), sent.size()));
    writeEnd.Reset(); // the end of the file: the reader returns short
    reader.join();
    ::sigaction(SIGUSR1, &previous, nullptr);

    ASSERT_EQ(got.load(), int64_t(sent.size()));
    received.resize(sent.size());
    EXPECT_EQ(received, sent);
}

TEST(PosixFile, PositionedCallsMoveBytesAtTheirOffsetAndStopAtTheEnd) {
    char name[] = "/tmp/orvella-posixfile-XXXXXX";
    TFileDescriptor file(::mkstemp(name));
    ASSERT_TRUE(file.IsOpen());
    ::unlink(name);
    const std::vector<uint8_t> bytes = Pattern(1000);
    ASSERT_TRUE(WriteFully(file.Get(), bytes.data(), bytes.size(), 24));
    std::vector<uint8_t> back(2000, 0xEE);
    EXPECT_EQ(ReadFully(file.Get(), back.data(), back.size(), 24), 1000);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), back.begin()));
    EXPECT_EQ(back[1000], 0xEE); // nothing written past what was read
    EXPECT_EQ(ReadFully(file.Get(), back.data(), 10, 5000), 0);
    // A negative offset is refused before any system call.
    errno = 0;
    EXPECT_EQ(ReadFully(file.Get(), back.data(), 10, -1), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_FALSE(WriteFully(file.Get(), back.data(), 10, -1));
}

TEST(PosixFile, AFullVolumeAndAUsedQuotaGiveTheFreeSpaceText) {
    TFileDescriptor full = TFileDescriptor::Open("/dev/full", O_WRONLY);
    if (!full.IsOpen()) GTEST_SKIP() << "no /dev/full here";
    const std::vector<uint8_t> bytes(100, 1);
    errno = 0;
    EXPECT_FALSE(WriteFully(full.Get(), bytes.data(), bytes.size()));
    EXPECT_EQ(errno, ENOSPC);

    const struct {
        int Code;
        std::string Text;
    } cases[] = {
        {ENOSPC, NotEnoughSpaceText},
        {EDQUOT, NotEnoughSpaceText},
        {EIO, SystemErrorText(EIO)},
        {EACCES, SystemErrorText(EACCES)},
    };
    for (const auto& c : cases) {
        try {
            RaiseFileError(c.Code);
            ADD_FAILURE() << "nothing raised for " << c.Code;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), c.Text) << c.Code;
        }
    }
}

TEST(PosixFile, TheDescriptorClosesOnceAndHandsOverOwnership) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    TFileDescriptor a(ends[0]);
    TFileDescriptor b(std::move(a));
    EXPECT_FALSE(a.IsOpen());
    EXPECT_EQ(b.Get(), ends[0]);
    a = std::move(b);
    EXPECT_EQ(a.Get(), ends[0]);
    EXPECT_TRUE(a.Close());
    EXPECT_FALSE(a.IsOpen());
    EXPECT_TRUE(a.Close());                   // nothing left to close
    EXPECT_EQ(::fcntl(ends[0], F_GETFD), -1); // closed for real
    { TFileDescriptor w(ends[1]); }
    EXPECT_EQ(::fcntl(ends[1], F_GETFD), -1);
    EXPECT_FALSE(TFileDescriptor::Open("/nonexistent/x", O_RDONLY).IsOpen());
    EXPECT_EQ(errno, ENOENT);
}

// A file opened empty: an existing one loses its bytes, a missing one is created, and an empty
// one is not truncated (its inode change time stays).
TEST(PosixFile, OpenEmptyEmptiesOnlyWhatHasBytes) {
    test::TempDir temp;
    const std::string full = temp.File("full"), empty = temp.File("empty"),
                      missing = temp.File("new");
    std::ofstream(full) << "some bytes";
    std::ofstream{empty};
    struct stat before {};
    ASSERT_EQ(::stat(empty.c_str(), &before), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    for (const std::string& path : {full, empty, missing}) {
        TFileDescriptor file = TFileDescriptor::OpenEmpty(path, O_RDWR);
        ASSERT_TRUE(file.IsOpen()) << path;
        EXPECT_EQ(std::filesystem::file_size(path), 0u) << path;
    }
    struct stat after {};
    ASSERT_EQ(::stat(empty.c_str(), &after), 0);
    EXPECT_EQ(after.st_ctim.tv_sec, before.st_ctim.tv_sec);
    EXPECT_EQ(after.st_ctim.tv_nsec, before.st_ctim.tv_nsec);
    EXPECT_FALSE(TFileDescriptor::OpenEmpty(temp.File("no/such/folder/x"), O_RDWR).IsOpen());
}
