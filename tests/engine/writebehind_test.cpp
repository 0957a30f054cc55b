#include "engine/writebehind.h"

#include <gtest/gtest.h>

#include <numeric>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace orvella;

TEST(TWriteBehind, ThreadsWritesTheBuffersInOrder) {
    std::vector<uint8_t> written;
    std::vector<size_t> sizes;
    {
        TWriteBehind behind(
            [&](const uint8_t* bytes, size_t count) {
                written.insert(written.end(), bytes, bytes + count);
                sizes.push_back(count);
            },
            100);
        for (size_t k = 0; k < 20; ++k) {
            uint8_t* b = behind.Next();
            const size_t n = 1 + k * 5 % 100;
            std::iota(b, b + n, uint8_t(k));
            behind.Submit(n);
        }
        behind.Finish();
    }
    std::vector<uint8_t> expected;
    for (size_t k = 0; k < 20; ++k) {
        const size_t n = 1 + k * 5 % 100;
        EXPECT_EQ(sizes[k], n);
        for (size_t i = 0; i < n; ++i)
            expected.push_back(uint8_t(k + i));
    }
    EXPECT_EQ(written, expected);
}

TEST(TWriteBehind, ThreadsWriteFailureReachesTheCallerAndStopsTheWrites) {
    int writes = 0;
    TWriteBehind behind(
        [&](const uint8_t*, size_t) {
            if (++writes == 2) throw std::length_error("disk full");
        },
        10);
    for (int k = 0; k < 2; ++k) {
        behind.Next();
        behind.Submit(10);
    }
    EXPECT_THROW(behind.Finish(), std::length_error); // the write function's own exception
    EXPECT_THROW(behind.Next(), std::length_error);
    EXPECT_EQ(writes, 2);
}

// One buffer needs no overlap: Finish writes it on the caller's thread. From the second buffer on
// the writer's thread writes them all, the first included, still in order; a failure on either
// road reaches the caller.
TEST(TWriteBehind, ThreadsOneBufferIsWrittenByFinishTwoStartTheThread) {
    for (const int buffers : {1, 2, 5}) {
        for (const bool fail : {false, true}) {
            std::vector<std::thread::id> writers;
            std::vector<uint8_t> firstBytes;
            TWriteBehind behind(
                [&](const uint8_t* bytes, size_t) {
                    writers.push_back(std::this_thread::get_id());
                    firstBytes.push_back(bytes[0]);
                    if (fail && writers.size() == size_t(buffers)) throw std::length_error("full");
                },
                16);
            for (int k = 0; k < buffers; ++k) {
                uint8_t* b = behind.Next();
                b[0] = uint8_t(k);
                behind.Submit(1);
            }
            if (fail)
                EXPECT_THROW(behind.Finish(), std::length_error) << buffers;
            else
                EXPECT_NO_THROW(behind.Finish()) << buffers;
            ASSERT_EQ(writers.size(), size_t(buffers));
            for (int k = 0; k < buffers; ++k) {
                EXPECT_EQ(firstBytes[size_t(k)], k);
                EXPECT_EQ(writers[size_t(k)] == std::this_thread::get_id(), buffers == 1)
                    << buffers << " buffers, write " << k;
            }
        }
    }
}
