#include "engine/blockwriter.h"
#include "engine/errors.h"
#include "testsupport.h"

#include <gtest/gtest.h>

using namespace orvella;
using namespace orvella::test;

TEST(TBlockWriter, WritesAndFeedsTheBlocksInOrder) {
    TempDir dir;
    constexpr int64_t values = 10 * 1000 + 6, block = 1000; // 5003 stereo frames
    TLargeFile target(dir.File("t.tmp"), uint32_t(44 + 2 * values), true, dir.Path());
    TPeakBuilder peaks(uint32_t(values / 2), 2);
    {
        TBlockWriter writer(target, &peaks, block);
        for (int64_t i = 0; i < values; i += block) {
            const int64_t n = std::min(block, values - i);
            int16_t* b = writer.Next();
            for (int64_t k = 0; k < n; ++k)
                b[k] = int16_t(((i + k) % 2 ? -1 : 1) * ((i + k) % 30000));
            writer.Submit(i, size_t(n));
        }
        writer.Finish();
    }
    for (int64_t i = 0; i < values; ++i)
        ASSERT_EQ(target.GetValue(uint32_t(i)), int16_t((i % 2 ? -1 : 1) * (i % 30000))) << i;
    int16_t left = 0, right = 0;
    const Tindexdata index = peaks.Finish(left, right);
    EXPECT_EQ(left, 10004);         // the last left value
    EXPECT_EQ(index[1].Min, -1023); // block 0, right channel: the odd values 1 .. 1023, negated
}

TEST(TBlockWriter, AWriteFailureReachesTheCallerAndStopsTheWrites) {
    TempDir dir;
    WriteWorkFile(dir.File("r.tmp"), 1, 8000, std::vector<int16_t>(4000, 5));
    TLargeFile readOnly(dir.File("r.tmp"), 0, false, dir.Path());
    TBlockWriter writer(readOnly, nullptr, 1000);
    std::fill_n(writer.Next(), 1000, int16_t(9));
    writer.Submit(0, 1000);
    EXPECT_THROW(writer.Finish(), Exception);
    EXPECT_THROW(writer.Next(), Exception);
    EXPECT_EQ(readOnly.GetValue(0), 5);
}
