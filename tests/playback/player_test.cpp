#include "playback/drivendevice.h"
#include "playback/player.h"
#include "support/recordingdialogs.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

namespace orvella {
namespace {

using testing::Ramp;
using testing::Settle;
using testing::TWorkFile;

TEST(PlayerGeometryTest, ChunkAndBufferBytes) {
    struct Case {
        uint16_t Channels;
        uint32_t Rate;
        uint32_t Chunk, Buffer;
    };
    const Case cases[] = {{2, 44100, 5512, 88192},
                          {1, 44100, 2756, 44096},
                          {1, 11025, 690, 11040},
                          {1, 8000, 500, 8000}};
    for (const Case& c : cases) {
        const uint32_t chunk = TPlayer::ChunkBytesOf(MakePCMFormat(c.Channels, c.Rate, 16));
        EXPECT_EQ(chunk, c.Chunk) << c.Rate;
        EXPECT_EQ(chunk * TPlayer::ChunkCount, c.Buffer) << c.Rate;
    }
}

// 8000 Hz mono: chunks of 500 bytes (250 frames), a buffer of 8000 bytes. The played range starts
// at frame Lead of a document that goes on past it.
class PlayerTest : public ::testing::Test {
protected:
    static constexpr uint32_t Chunk = 500;
    static constexpr uint32_t ChunkFrames = 250;
    static constexpr uint32_t Lead = 100;

    void SetUp() override {
        Player.OnPosition = [this](uint32_t bytes) { Positions.push_back(bytes); };
        Player.OnStatus = [this](bool playing) { Statuses.push_back(playing); };
        Player.OnError = [this](const std::string& text) { Errors.push_back(text); };
        Player.InitDevice();
        Statuses.clear();
    }
    void MakeDocument(int channels, std::vector<int16_t> values) {
        Values = std::move(values);
        Doc = std::make_unique<TWorkFile>(channels, 8000, Values);
    }
    TPlaySource Source() {
        return {Doc->Store, [this] { return Ready.load(); }};
    }
    void PrepareBytes(uint32_t bytes) {
        Player.Prepare(Source(), Lead, MakePCMFormat(1, 8000, 16), bytes);
        Statuses.clear(); // Prepare's release reports false first
    }
    void Step(uint32_t frames = ChunkFrames) {
        Device->Advance(frames);
        ASSERT_TRUE(Settle(Loop, [this] { return Player.Buffer(); }));
    }
    // Chunks advanced until the player stopped.
    int RunToStop(int limit = 100) {
        int steps = 0;
        while (Player.Playing() && steps < limit) {
            Step();
            ++steps;
        }
        return steps;
    }
    std::vector<int16_t> OutputValues() const {
        const std::vector<uint8_t> bytes = Device->Output();
        std::vector<int16_t> v(bytes.size() / 2);
        std::memcpy(v.data(), bytes.data(), v.size() * 2);
        return v;
    }

    TMainLoop Loop;
    std::shared_ptr<TDrivenDevice> Device = std::make_shared<TDrivenDevice>();
    std::vector<int16_t> Values;
    std::unique_ptr<TWorkFile> Doc;
    std::atomic<bool> Ready{true};
    // Before the player: its destructor still reports its status.
    std::vector<uint32_t> Positions;
    std::vector<bool> Statuses;
    std::vector<std::string> Errors;
    TPlayer Player{Loop, [this] { return Device; }};
};

struct RangeCase {
    uint32_t Bytes;
    int ChunksToStop; // chunks played before output stops
};

class PlayerRangeTest : public PlayerTest, public ::testing::WithParamInterface<RangeCase> {};

// The whole road of a range: priming, refills, the end declared a chunk early, the final report
// clamped to the range's length, the stop one notification later, and the device given exactly
// the range's samples followed by silence.
TEST_P(PlayerRangeTest, PlaysTheRangeThenSilenceAndStops) {
    const RangeCase c = GetParam();
    MakeDocument(1, Ramp(Lead + 40 * ChunkFrames + 100));
    PrepareBytes(c.Bytes);
    EXPECT_EQ(Player.BytesRead(), std::min<uint32_t>(c.Bytes, 16 * Chunk));
    EXPECT_EQ(Player.DataEnded(), c.Bytes < Chunk); // a buffer's worth still leaves it false
    Player.Play();
    EXPECT_EQ(RunToStop(), c.ChunksToStop);
    ASSERT_FALSE(Positions.empty());
    EXPECT_EQ(Positions.back(), c.Bytes);
    EXPECT_EQ(Positions.size(), size_t(c.ChunksToStop - 1)); // the stopping one reports nothing
    for (size_t k = 1; k < Positions.size(); ++k)
        EXPECT_LE(Positions[k - 1], Positions[k]);
    // Playing, then stopped twice: by the end test and by the buffer's stop notification.
    EXPECT_EQ(Statuses, (std::vector<bool>{true, false, false}));

    const std::vector<int16_t> out = OutputValues();
    ASSERT_EQ(out.size(), size_t(c.ChunksToStop) * ChunkFrames);
    const size_t rangeFrames = c.Bytes / 2;
    for (size_t k = 0; k < out.size(); ++k) {
        const int16_t expected = k < rangeFrames ? Values[Lead + k] : 0;
        ASSERT_EQ(out[k], expected) << "frame " << k;
    }
    // Rewound and ready to play the same range again.
    EXPECT_FALSE(Player.Playing());
    EXPECT_EQ(Player.PlayedBytes(), 0u);
    EXPECT_TRUE(Player.BufferReady());
}

INSTANTIATE_TEST_SUITE_P(Ranges, PlayerRangeTest,
                         ::testing::Values(RangeCase{0, 2},         // pure silence, ~1/16 s
                                           RangeCase{250, 2},       // half a chunk
                                           RangeCase{500, 3},       // one chunk
                                           RangeCase{1250, 3},      // 2.5 chunks
                                           RangeCase{16 * 500, 16}, // exactly one buffer
                                           RangeCase{16 * 500 + 250, 17}, RangeCase{17 * 500, 17},
                                           RangeCase{40 * 500, 40}));

// A device that still holds the last 300 frames it took (more than a chunk), as a sound card
// does: the end of a range plays out before output stops; a user's stop drops what it holds.
class PlayerLatencyTest : public PlayerTest {
protected:
    static constexpr uint32_t Held = 300;
    PlayerLatencyTest() { Device = std::make_shared<TDrivenDevice>(Held); }
};

TEST_F(PlayerLatencyTest, TheEndOfARangePlaysOutBeforeOutputStops) {
    MakeDocument(1, Ramp(Lead + 40 * ChunkFrames + 100));
    for (uint32_t bytes : {0u, 250u, 16 * Chunk, 16 * Chunk + 250, 17 * Chunk + 2}) {
        SCOPED_TRACE(bytes);
        PrepareBytes(bytes);
        Device->ClearOutput();
        Positions.clear();
        Player.Play();
        const int chunks = RunToStop();
        EXPECT_EQ(Statuses, (std::vector<bool>{true, false, false}));
        ASSERT_FALSE(Positions.empty());
        EXPECT_EQ(Positions.back(), bytes);
        const std::vector<int16_t> out = OutputValues();
        ASSERT_EQ(out.size(), size_t(chunks) * ChunkFrames); // all it took, the held frames too
        for (size_t k = 0; k < out.size(); ++k)
            ASSERT_EQ(out[k], k < bytes / 2 ? Values[Lead + k] : 0) << "frame " << k;
    }
}

TEST_F(PlayerLatencyTest, UserStopDropsWhatTheDeviceHolds) {
    MakeDocument(1, Ramp(Lead + 40 * ChunkFrames));
    PrepareBytes(40 * Chunk);
    Player.Play();
    Step();
    Step();
    Player.Halt();
    EXPECT_EQ(Statuses, (std::vector<bool>{true, false}));
    EXPECT_EQ(OutputValues().size(), 2 * ChunkFrames - Held);
    EXPECT_EQ(Device->RunningStreams(), 0);
}

TEST_F(PlayerTest, UserStopReportsFalseTwiceAndRewinds) {
    MakeDocument(1, Ramp(Lead + 40 * ChunkFrames));
    PrepareBytes(40 * Chunk);
    Player.Play();
    Step();
    Step();
    Step();
    EXPECT_EQ(Positions, (std::vector<uint32_t>{500, 1000, 1500}));
    Player.Halt();
    EXPECT_EQ(Statuses, (std::vector<bool>{true, false}));
    ASSERT_TRUE(Settle(Loop, [this] { return Player.Buffer(); }));
    EXPECT_EQ(Statuses, (std::vector<bool>{true, false, false}));
    EXPECT_EQ(Positions.size(), 3u); // the cursor stays where the last report put it
    EXPECT_EQ(Player.PlayedBytes(), 0u);
    EXPECT_EQ(Player.BytesRead(), 16 * Chunk);

    // Playing again starts over from the range's first frame.
    Device->ClearOutput();
    Player.Play();
    Step();
    const std::vector<int16_t> out = OutputValues();
    ASSERT_EQ(out.size(), ChunkFrames);
    for (size_t k = 0; k < out.size(); ++k)
        ASSERT_EQ(out[k], Values[Lead + k]) << k;
    EXPECT_EQ(Positions.back(), 500u);
}

TEST_F(PlayerTest, PlayWhilePlayingRestarts) {
    MakeDocument(1, Ramp(Lead + 40 * ChunkFrames));
    PrepareBytes(40 * Chunk);
    Player.Play();
    Step();
    Step();
    Player.Play();
    ASSERT_TRUE(Settle(Loop, [this] { return Player.Buffer(); }));
    Step();
    EXPECT_EQ(Positions.back(), 500u);
    EXPECT_TRUE(Player.Playing());
}

TEST_F(PlayerTest, VolumeAndHaltWithoutBufferDoNothing) {
    Player.SetVolume(-3000);
    Player.Halt();
    EXPECT_TRUE(Statuses.empty());
    MakeDocument(1, Ramp(Lead + 4 * ChunkFrames));
    PrepareBytes(Chunk);
    Player.Release();
    Player.SetVolume(-242);
    Player.Halt();
    EXPECT_EQ(Statuses, (std::vector<bool>{false})); // from Release only
}

TEST_F(PlayerTest, VolumeReachesTheBufferThatExists) {
    MakeDocument(1, Ramp(Lead + 40 * ChunkFrames));
    PrepareBytes(40 * Chunk);
    Player.SetVolume(-2000); // a gain of 0.1
    Player.Play();
    Step();
    const std::vector<int16_t> out = OutputValues();
    for (size_t k = 0; k < out.size(); ++k)
        ASSERT_NEAR(out[k], Values[Lead + k] / 10.0, 0.51) << k;
    // A buffer of a later Prepare plays at full volume until the volume changes again.
    PrepareBytes(40 * Chunk);
    Device->ClearOutput();
    Player.Play();
    Step();
    EXPECT_EQ(OutputValues()[0], Values[Lead]);
}

TEST_F(PlayerTest, DocumentNoLongerReadyEndsPlayback) {
    MakeDocument(1, Ramp(Lead + 40 * ChunkFrames));
    PrepareBytes(40 * Chunk);
    Player.Play();
    Step();
    Ready = false;
    Step();
    EXPECT_FALSE(Player.Playing());
    EXPECT_EQ(Positions.size(), 1u);
    EXPECT_EQ(Statuses, (std::vector<bool>{true, false, false}));
}

TEST_F(PlayerTest, WaitingNotificationIsDroppedOnRelease) {
    MakeDocument(1, Ramp(Lead + 40 * ChunkFrames));
    PrepareBytes(40 * Chunk);
    Player.Play();
    Device->Advance(ChunkFrames); // signalled; the main thread has not handled it yet
    Player.Release();
    Loop.ProcessMessages();
    EXPECT_TRUE(Positions.empty());
    EXPECT_EQ(Player.Buffer(), nullptr);
    EXPECT_EQ(Device->OpenStreams(), 0);
}

TEST_F(PlayerTest, ReleaseFromTheStatusReportOfANotification) {
    MakeDocument(1, Ramp(Lead + 4 * ChunkFrames));
    PrepareBytes(Chunk / 2);
    bool released = false;
    Player.OnStatus = [&](bool playing) {
        Statuses.push_back(playing);
        if (!playing && !released) {
            released = true;
            Player.Release();
        }
    };
    Player.Play();
    EXPECT_EQ(RunToStop(), 2);
    EXPECT_EQ(Player.Buffer(), nullptr);
    EXPECT_EQ(Device->OpenStreams(), 0);
    Player.OnStatus = nullptr; // it refers to this test's locals
}

TEST_F(PlayerTest, NoDeviceFailsAtPlay) {
    std::vector<bool> statuses;
    TPlayer player(Loop,
                   []() -> std::shared_ptr<TSoundDevice> { RaiseDSError(SoundErrorNoDriver); });
    player.OnStatus = [&](bool playing) { statuses.push_back(playing); };
    EXPECT_NO_THROW(player.InitDevice());
    MakeDocument(1, Ramp(1000));
    EXPECT_NO_THROW(player.Prepare(Source(), 0, MakePCMFormat(1, 8000, 16), 1000));
    statuses.clear();
    try {
        player.Play();
        ADD_FAILURE() << "Play did not raise";
    } catch (const ESoundOutputError& e) {
        EXPECT_EQ(e.Message(), "DirectSound call failed: 88780078\rNo sound driver is available "
                               "for use");
    }
    EXPECT_EQ(statuses, (std::vector<bool>{false}));
}

TEST_F(PlayerTest, UnsupportedFormatLeavesNoBuffer) {
    MakeDocument(1, Ramp(1000));
    TWaveFormat format = MakePCMFormat(1, 8000, 16);
    format.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    EXPECT_THROW(Player.Prepare(Source(), 0, format, 1000), ESoundOutputError);
    Statuses.clear();
    Player.Play();
    EXPECT_EQ(Statuses, (std::vector<bool>{false}));
}

TEST_F(PlayerTest, ReadFailures) {
    // Priming past the document's end: no buffer is left to play.
    MakeDocument(1, Ramp(Lead + 10 * ChunkFrames));
    EXPECT_THROW(PrepareBytes(12 * Chunk), Exception);
    EXPECT_EQ(Player.Buffer(), nullptr);
    // A refill past it: playback halts and the failure is shown.
    MakeDocument(1, Ramp(Lead + 17 * ChunkFrames));
    PrepareBytes(20 * Chunk);
    Player.Play();
    Step(); // reads the seventeenth chunk, the document's last
    EXPECT_TRUE(Errors.empty());
    Step();
    EXPECT_EQ(Errors.size(), 1u);
    EXPECT_FALSE(Player.Playing());
}

class PlayerLevelTest : public PlayerTest {};

TEST_F(PlayerLevelTest, StereoChannelsOverATenthOfASecond) {
    // 800 frames are read at 8000 Hz.
    std::vector<int16_t> v(2 * 1200, 100);
    v[2 * 10] = -20000;     // left
    v[2 * 500 + 1] = 12800; // right
    v[2 * 900] = 32000;     // past the tenth of a second
    MakeDocument(2, v);
    Player.Prepare(Source(), 0, MakePCMFormat(2, 8000, 16), uint32_t(v.size() * 2));
    float left = -1, right = -1;
    Player.GetLevels(left, right);
    EXPECT_FLOAT_EQ(left, 20000 / 256.0f);
    EXPECT_FLOAT_EQ(right, 50.0f);
}

TEST_F(PlayerLevelTest, MonoReadsItsChannelForBoth) {
    std::vector<int16_t> v(1000, 0);
    v[700] = -32768;
    MakeDocument(1, v);
    Player.Prepare(Source(), 0, MakePCMFormat(1, 8000, 16), 2000);
    float left = -1, right = -1;
    Player.GetLevels(left, right);
    EXPECT_FLOAT_EQ(left, 128.0f);
    EXPECT_FLOAT_EQ(right, 128.0f);
}

TEST_F(PlayerLevelTest, StaysInsideTheRangeAndTheDocument) {
    std::vector<int16_t> v(2 * 1000, 0);
    v[2 * 50] = 2560;
    v[2 * 150] = 30000; // after the range
    MakeDocument(2, v);
    Player.Prepare(Source(), 0, MakePCMFormat(2, 8000, 16), 100 * 4);
    float left = -1, right = -1;
    Player.GetLevels(left, right);
    EXPECT_FLOAT_EQ(left, 10.0f);
    EXPECT_FLOAT_EQ(right, 0.0f);
    // The last frames of the document: the tenth of a second runs past its end.
    v.assign(v.size(), 0);
    v.back() = -512;
    MakeDocument(2, v);
    Player.Prepare(Source(), 2 * 990, MakePCMFormat(2, 8000, 16), 10 * 4);
    Player.GetLevels(left, right);
    EXPECT_FLOAT_EQ(left, 0.0f);
    EXPECT_FLOAT_EQ(right, 2.0f);
}

// The clock on its own thread in steps of a fifth of a chunk, as a sound card's: the refills on the
// main thread race the renders of the rest of the buffer.
TEST_F(PlayerTest, ClockOnAnotherThread) {
    MakeDocument(1, Ramp(Lead + 40 * ChunkFrames));
    PrepareBytes(40 * Chunk);
    Player.Play();
    TLoopingBuffer* buffer = Player.Buffer();
    std::atomic<bool> stop{false};
    std::thread clock([&] {
        while (!stop.load()) {
            Device->Advance(ChunkFrames / 5);
            while (!buffer->NotificationsIdle() && !stop.load())
                std::this_thread::yield();
        }
    });
    const bool ended = Loop.RunUntil([&] { return Statuses.size() >= 3; }, 20000);
    stop = true;
    clock.join();
    ASSERT_TRUE(ended);
    EXPECT_EQ(Positions.back(), 40 * Chunk);
    const std::vector<int16_t> out = OutputValues();
    ASSERT_GE(out.size(), 40 * ChunkFrames);
    for (size_t k = 0; k < 40 * ChunkFrames; ++k)
        ASSERT_EQ(out[k], Values[Lead + k]) << k;
    for (size_t k = 40 * ChunkFrames; k < out.size(); ++k)
        ASSERT_EQ(out[k], 0) << k;
}

} // namespace
} // namespace orvella

namespace orvella {
namespace {

// The player on a loaded document: it reads the document's store and stops once the document is
// no longer ready.
TEST(PlayerDocumentTest, PlaysALoadedDocumentUntilItCloses) {
    TMainLoop loop;
    const std::vector<int16_t> values = Ramp(2 * 40 * 250);
    TWorkFile source(2, 8000, values);
    test::RecordingDialogs dialogs;
    TEngineSettings settings;
    settings.TempFolder = source.Folder;
    TCodecServices codecs;
    TDecoderRow row;
    row.Extension = ".wav";
    row.SourceKind = 1;
    row.Decode = [](const std::string& from, const std::string& to, TProgress&) {
        TSampleStore in(from, 0, false, "");
        std::vector<int16_t> all(in.ValueCount());
        in.ReadBlock(all.data(), 0, int64_t(all.size()) - 1);
        TWorkFileWriter out(to, 2, 8000);
        out.Write(all.data(), uint32_t(all.size() * 2));
        out.Close();
        return true;
    };
    codecs.Decoders.push_back(row);
    TDocument document(loop, dialogs, settings, codecs);
    ASSERT_TRUE(document.Open(source.Path));
    ASSERT_TRUE(loop.RunUntil([&] { return !document.IsBusy(); }, 10000));
    ASSERT_TRUE(document.Ready);

    auto device = std::make_shared<TDrivenDevice>();
    std::vector<uint32_t> positions;
    std::vector<bool> statuses;
    TPlayer player(loop, [&] { return device; });
    player.OnPosition = [&](uint32_t bytes) { positions.push_back(bytes); };
    player.OnStatus = [&](bool playing) { statuses.push_back(playing); };
    player.InitDevice();
    const uint32_t first = 100; // frames
    player.Prepare(document, 2 * first, MakePCMFormat(2, 8000, 16), 2 * 2 * 30 * 250);
    player.Play();
    auto step = [&] {
        device->Advance(250);
        ASSERT_TRUE(Settle(loop, [&] { return player.Buffer(); }));
    };
    step();
    step();
    EXPECT_EQ(positions, (std::vector<uint32_t>{1000, 2000}));
    std::vector<int16_t> out(device->Output().size() / 2);
    std::memcpy(out.data(), device->Output().data(), out.size() * 2);
    ASSERT_EQ(out.size(), 2u * 2 * 250);
    for (size_t k = 0; k < out.size(); ++k)
        ASSERT_EQ(out[k], values[2 * first + k]) << k;

    document.Close();
    step();
    EXPECT_FALSE(player.Playing());
    EXPECT_EQ(positions.size(), 2u);
    player.OnPosition = nullptr;
    player.OnStatus = nullptr;
}

} // namespace
} // namespace orvella
