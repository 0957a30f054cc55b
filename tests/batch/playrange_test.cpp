// PlayRange: the batch tool's --play, a document range played to its end on a main loop, over the
// driven device.

#include "batch/playrange.h"
#include "engine/errors.h"
#include "playback/drivendevice.h"
#include "playback/testsupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace orvella {
namespace {

using testing::Ramp;
using testing::TWorkFile;

// 8000 Hz mono: chunks of 250 frames. The played range starts at frame Lead of a document that
// goes on past it.
class PlayRangeTest : public ::testing::Test {
protected:
    static constexpr uint32_t ChunkFrames = 250;
    static constexpr uint32_t Lead = 100;

    void SetUp() override {
        Player.OnStatus = [this](bool playing) { Statuses.push_back(playing); };
        Player.OnError = [this](const std::string& text) { Errors.push_back(text); };
        Player.InitDevice();
        Statuses.clear();
    }
    void MakeDocument(std::vector<int16_t> values) {
        Doc = std::make_unique<TWorkFile>(1, 8000, values);
    }
    TPlaySource Source() {
        return {Doc->Store, [] { return true; }};
    }

    TMainLoop Loop;
    std::shared_ptr<TDrivenDevice> Device = std::make_shared<TDrivenDevice>();
    std::unique_ptr<TWorkFile> Doc;
    // Before the player: its destructor still reports its status.
    std::vector<bool> Statuses;
    std::vector<std::string> Errors;
    TPlayer Player{Loop, [this] { return Device; }};
};

// Advances the driven device one chunk at a time, each handled before the next (reports counts
// the position reports), until finished.
std::thread ChunkClock(TDrivenDevice& device, std::atomic<int>& reports,
                       std::atomic<bool>& finished, uint32_t chunkFrames) {
    return std::thread([&device, &reports, &finished, chunkFrames] {
        for (int k = 1; !finished.load(); ++k) {
            while (device.RunningStreams() == 0 && !finished.load())
                std::this_thread::yield();
            device.Advance(chunkFrames);
            while (reports.load() < k && !finished.load())
                std::this_thread::yield();
        }
    });
}

// What the batch tool's --play does: a document range played to its end on a main loop.
TEST_F(PlayRangeTest, RunsToTheEnd) {
    MakeDocument(Ramp(Lead + 10 * ChunkFrames));
    std::atomic<int> reports{0};
    std::atomic<bool> finished{false};
    std::vector<uint32_t> frames;
    // Playback ends with a notification that reports nothing.
    std::thread clock = ChunkClock(*Device, reports, finished, ChunkFrames);
    const bool ended = PlayRange(
        Player, Loop, Source(), 1, 8000, Lead, Lead + 5 * ChunkFrames + 10,
        [&](uint32_t played) {
            frames.push_back(played);
            ++reports;
        },
        20000);
    finished = true;
    clock.join();
    EXPECT_TRUE(ended);
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.back(), 5 * ChunkFrames + 10);
    EXPECT_TRUE(Player.OnStatus); // the fixture's handlers are back
    Statuses.clear();
    Player.Halt();
    EXPECT_EQ(Statuses.size(), 1u);
}

TEST_F(PlayRangeTest, RaisesARefillFailure) {
    // The range runs past the document's end, so a refill fails while it plays.
    MakeDocument(Ramp(Lead + 17 * ChunkFrames));
    std::atomic<int> reports{0};
    std::atomic<bool> finished{false};
    std::thread clock = ChunkClock(*Device, reports, finished, ChunkFrames);
    EXPECT_THROW(PlayRange(
                     Player, Loop, Source(), 1, 8000, Lead, Lead + 20 * ChunkFrames,
                     [&](uint32_t) { ++reports; }, 20000),
                 Exception);
    finished = true;
    clock.join();
    EXPECT_FALSE(Player.Playing());
    EXPECT_TRUE(Errors.empty()); // raised to the caller, not shown a second time
    EXPECT_TRUE(Player.OnError); // the fixture's handlers are back
}

TEST_F(PlayRangeTest, StopsOnRequestWhenTheDeviceIsSilent) {
    // The device never calls back: no notification wakes the loop, the stop request still ends it.
    MakeDocument(Ramp(Lead + 10 * ChunkFrames));
    const auto asked = std::chrono::steady_clock::now() + std::chrono::milliseconds(150);
    const bool ended = PlayRange(Player, Loop, Source(), 1, 8000, Lead, Lead + 5 * ChunkFrames, {},
                                 -1, [&] { return std::chrono::steady_clock::now() >= asked; });
    EXPECT_FALSE(ended);
    EXPECT_FALSE(Player.Playing());
}

} // namespace
} // namespace orvella
