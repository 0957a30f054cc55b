#include "engine/writebehind.h"

#include <gtest/gtest.h>

#include <numeric>
#include <stdexcept>

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
