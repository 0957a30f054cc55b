// The main-thread contract of the plain loop: what a Synchronize'd and a posted call's exception
// do, and which calls a round of ProcessMessages runs.
#include "engine/mainthread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace orvella {
namespace {

TEST(MainLoopThreadsTest, SynchronizedExceptionReachesTheCallerAndTheLoopGoesOn) {
    TMainLoop loop;
    std::atomic<bool> finished{false};
    std::string caught;
    std::thread worker([&] {
        try {
            loop.Synchronize([] { throw std::runtime_error("no device"); });
        } catch (const std::runtime_error& e) {
            caught = e.what();
        }
        loop.Synchronize([] {}); // the loop still serves calls
        finished = true;
        loop.Post([] {}); // wakes the loop to see it
    });
    EXPECT_TRUE(loop.RunUntil([&] { return finished.load(); }, 10000));
    worker.join();
    EXPECT_EQ(caught, "no device");
}

TEST(MainLoopTest, SynchronizeOnTheMainThreadRunsAtOnceAndThrowsThere) {
    TMainLoop loop;
    int ran = 0;
    loop.Synchronize([&] { ++ran; });
    EXPECT_EQ(ran, 1);
    EXPECT_THROW(loop.Synchronize([] { throw std::logic_error("x"); }), std::logic_error);
}

TEST(MainLoopTest, PostedExceptionIsRethrownAfterItsCallAndLaterCallsStayQueued) {
    TMainLoop loop;
    std::vector<int> ran;
    loop.Post([&] { ran.push_back(1); });
    loop.Post([] { throw std::runtime_error("posted"); });
    loop.Post([&] { ran.push_back(3); });
    EXPECT_THROW(loop.ProcessMessages(), std::runtime_error);
    EXPECT_EQ(ran, (std::vector<int>{1}));
    loop.ProcessMessages();
    EXPECT_EQ(ran, (std::vector<int>{1, 3}));

    loop.Post([] { throw std::runtime_error("again"); });
    loop.Post([&] { ran.push_back(4); });
    EXPECT_THROW(loop.RunUntil([] { return false; }, 0), std::runtime_error);
    EXPECT_TRUE(loop.RunUntil([&] { return ran.size() == 3; }, 1000));
}

TEST(MainLoopTest, FailureHandlerReceivesPostedExceptionsAndTheRoundGoesOn) {
    TMainLoop loop;
    std::vector<std::string> failures;
    loop.SetFailureHandler([&](std::exception_ptr e) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& x) {
            failures.push_back(x.what());
        }
    });
    int ran = 0;
    loop.Post([] { throw std::runtime_error("a"); });
    loop.Post([&] { ++ran; });
    EXPECT_NO_THROW(loop.ProcessMessages());
    EXPECT_EQ(failures, (std::vector<std::string>{"a"}));
    EXPECT_EQ(ran, 1);
}

TEST(MainLoopTest, ProcessMessagesRunsOnlyWhatWasPendingAtEntry) {
    TMainLoop loop;
    std::vector<int> ran;
    loop.Post([&] {
        ran.push_back(1);
        loop.Post([&] { ran.push_back(2); });
    });
    loop.ProcessMessages();
    EXPECT_EQ(ran, (std::vector<int>{1}));
    loop.ProcessMessages();
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
}

} // namespace
} // namespace orvella
