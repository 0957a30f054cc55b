// The progress of an operation as the main thread hears it: from a worker's many stores, a few
// deliveries that always end on the latest value; nothing after the progress is gone.
#include "engine/progress.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace orvella {
namespace {

TEST(ProgressThreadsTest, TheMainThreadHearsTheLatestValueOfAFastWorker) {
    TMainLoop loop;
    TProgress progress;
    std::vector<int> heard;
    progress.Watch(loop, [&](int percent) { heard.push_back(percent); });
    std::thread worker([&] {
        for (int round = 0; round < 50; ++round)
            for (int percent = 1; percent <= 100; ++percent)
                progress = percent;
        progress = 0;
    });
    worker.join();
    loop.ProcessMessages();
    // 5,001 changes while the main thread was away: one delivery, of the last value.
    EXPECT_EQ(heard, std::vector<int>{0});

    std::thread again([&] { progress = 42; });
    again.join();
    progress = 42; // no change: nothing more is queued
    loop.ProcessMessages();
    EXPECT_EQ(heard, (std::vector<int>{0, 42}));
}

TEST(ProgressTest, UnwatchedItOnlyKeepsTheValueAndQueuedCallsOutliveNothing) {
    TMainLoop loop;
    {
        TProgress quiet;
        quiet = 7;
        EXPECT_EQ(quiet.load(), 7);
    }
    std::vector<int> heard;
    {
        TProgress progress;
        progress.Watch(loop, [&](int percent) { heard.push_back(percent); });
        progress = 3;
    }
    loop.ProcessMessages(); // the call queued by the destroyed progress does nothing
    EXPECT_TRUE(heard.empty());
}

} // namespace
} // namespace orvella
