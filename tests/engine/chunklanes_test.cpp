#include "engine/chunklanes.h"
#include "engine/errors.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

using namespace orvella;
using namespace orvella::test;

namespace {

int16_t ValueAt(int64_t i) {
    return int16_t((i % 2 ? -1 : 1) * (i % 30000));
}

} // namespace

// Even chunks take longer than odd ones, so the lanes finish them out of order; the target, the
// peaks and the reports still follow the chunk order.
TEST(TChunkLanes, ThreadsWriteFeedAndReportInChunkOrder) {
    TempDir dir;
    constexpr int64_t values = 10 * 1000 + 6, chunk = 1000; // 5003 stereo frames
    TSampleStore target(dir.File("t.tmp"), uint32_t(44 + 2 * values), true, dir.Path());
    TPeakBuilder peaks(uint32_t(values / 2), 2);
    std::vector<int64_t> reports;
    RunChunkLanes(
        target, &peaks, (values + chunk - 1) / chunk, chunk,
        [&](int64_t k, int16_t*, int16_t* out) {
            if (k % 2 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
            const int64_t first = k * chunk, n = std::min(chunk, values - first);
            for (int64_t i = 0; i < n; ++i)
                out[i] = ValueAt(first + i);
            return TChunkPlace{first, size_t(n)};
        },
        [&](int64_t k) { reports.push_back(k); });
    for (int64_t i = 0; i < values; ++i)
        ASSERT_EQ(target.GetValue(uint32_t(i)), ValueAt(i)) << i;
    EXPECT_EQ(reports, (std::vector<int64_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    int16_t left = 0, right = 0;
    const TPeakIndexEntries index = peaks.Finish(left, right);
    EXPECT_EQ(left, 10004);         // the last left value
    EXPECT_EQ(index[1].Min, -1023); // block 0, right channel: the odd values 1 .. 1023, negated
}

TEST(TChunkLanes, ThreadsFailureOfEitherLaneReachesTheCaller) {
    TempDir dir;
    WriteWorkFile(dir.File("r.tmp"), 1, 8000, std::vector<int16_t>(4000, 5));
    TSampleStore readOnly(dir.File("r.tmp"), 0, false, dir.Path());
    TSampleStore target(dir.File("t.tmp"), 44 + 2 * 4000, true, dir.Path());
    auto fill = [](int64_t k, int16_t*, int16_t* out) {
        std::fill_n(out, 1000, int16_t(9));
        return TChunkPlace{k * 1000, 1000};
    };
    // A write that fails (a read store), and a fill that fails on an odd chunk.
    EXPECT_THROW(RunChunkLanes(readOnly, nullptr, 4, 1000, fill), Exception);
    EXPECT_EQ(readOnly.GetValue(0), 5);
    std::vector<int64_t> reports;
    EXPECT_THROW(RunChunkLanes(
                     target, nullptr, 4, 1000,
                     [&](int64_t k, int16_t* scratch, int16_t* out) {
                         if (k == 1) throw std::runtime_error("chunk 1");
                         return fill(k, scratch, out);
                     },
                     [&](int64_t k) { reports.push_back(k); }),
                 std::runtime_error);
    // Nothing from the failed chunk on is reported (chunk 0 may or may not be, by timing).
    for (int64_t k : reports)
        EXPECT_LT(k, 1);
}
