#include "playback/drivendevice.h"
#include "playback/portaudiodevice.h"
#include "playback/soundoutput.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

namespace orvella {
namespace {

using testing::Settle;

TEST(DSCheckTest, FailureTexts) {
    EXPECT_NO_THROW(DSCheck(SoundOk));
    struct Case {
        uint32_t Code;
        const char* Message;
    };
    const Case cases[] = {
        {0x88780078, "DirectSound call failed: 88780078\rNo sound driver is available for use"},
        {0x88780064,
         "DirectSound call failed: 88780064\rThe specified WAVE format is not supported"},
        {0x80004005, "DirectSound call failed: 80004005\rAn undetermined error occured inside the "
                     "DSound subsystem"},
        // Success codes other than 0 still fail, as unknown values.
        {1, "DirectSound call failed: 1\rUnrecognized error value."},
        {0x8878ABCD, "DirectSound call failed: 8878ABCD\rUnrecognized error value."},
    };
    for (const Case& c : cases) {
        try {
            DSCheck(c.Code);
            ADD_FAILURE() << "no exception for " << std::hex << c.Code;
        } catch (const ESoundOutputError& e) {
            EXPECT_EQ(e.ResultCode, c.Code);
            EXPECT_EQ(e.Message(), c.Message);
        }
    }
}

TEST(PortAudioResultTest, MapsOntoLayerCodes) {
    EXPECT_EQ(PortAudioResult(0), SoundOk);
    EXPECT_EQ(PortAudioResult(-9997), SoundErrorBadFormat);   // paInvalidSampleRate
    EXPECT_EQ(PortAudioResult(-9994), SoundErrorBadFormat);   // paSampleFormatNotSupported
    EXPECT_EQ(PortAudioResult(-9996), SoundErrorNoDriver);    // paInvalidDevice
    EXPECT_EQ(PortAudioResult(-9985), SoundErrorAllocated);   // paDeviceUnavailable
    EXPECT_EQ(PortAudioResult(-9992), SoundErrorOutOfMemory); // paInsufficientMemory
    EXPECT_EQ(PortAudioResult(-9999), SoundErrorGeneric);     // paUnanticipatedHostError
}

// 8000 Hz mono 16-bit: one frame is two bytes.
class BufferTest : public ::testing::Test {
protected:
    static constexpr uint32_t Size = 1000;

    std::unique_ptr<TLoopingBuffer> MakeBuffer(uint32_t flags = BufferControlVolume |
                                                                BufferControlPositionNotify,
                                               uint32_t bytes = Size) {
        TBufferDescription d;
        d.dwFlags = flags;
        d.dwBufferBytes = bytes;
        d.lpwfxFormat = &Format;
        return std::make_unique<TLoopingBuffer>(Sound, d);
    }
    void Arm(TLoopingBuffer& b, std::vector<uint32_t> offsets) {
        b.OnNotify = [this, &b](TLoopingBuffer* sender, int index) {
            EXPECT_EQ(sender, &b);
            EXPECT_TRUE(Loop.IsMainThread());
            Seen.push_back(index);
        };
        b.SetNotificationPositions(int(offsets.size()), offsets.data());
    }
    void Step(TLoopingBuffer& b, uint32_t frames) {
        Device->Advance(frames);
        ASSERT_TRUE(Settle(Loop, [&] { return &b; }));
    }

    TMainLoop Loop;
    std::shared_ptr<TDrivenDevice> Device = std::make_shared<TDrivenDevice>();
    TSoundOutput Sound{Loop, Device};
    TWaveFormat Format = MakePCMFormat(1, 8000, 16);
    std::vector<int> Seen;
};

TEST_F(BufferTest, FormatAndSizeChecks) {
    auto codeOf = [&](auto&& make) -> uint32_t {
        try {
            make();
        } catch (const ESoundOutputError& e) {
            return e.ResultCode;
        }
        return SoundOk;
    };
    EXPECT_EQ(codeOf([&] { MakeBuffer(); }), SoundOk);
    Format = MakePCMFormat(1, 8000, 24);
    EXPECT_EQ(codeOf([&] { MakeBuffer(); }), SoundErrorBadFormat);
    Format = MakePCMFormat(2, 44100, 16);
    Format.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    EXPECT_EQ(codeOf([&] { MakeBuffer(); }), SoundErrorBadFormat);
    Format = MakePCMFormat(2, 44100, 16);
    EXPECT_EQ(codeOf([&] { MakeBuffer(BufferControlVolume, 1002); }), SoundErrorInvalidParam);
    EXPECT_EQ(codeOf([&] { MakeBuffer(BufferPrimary, 1000); }), SoundErrorUnsupported);
    EXPECT_EQ(Device->OpenStreams(), 0); // failed buffers leave no stream behind
}

TEST_F(BufferTest, LockWrapsAndUnlockChecksRegions) {
    auto b = MakeBuffer();
    TLockedRegions r = b->Lock(900, 300);
    EXPECT_EQ(r.Bytes1, 100u);
    EXPECT_EQ(r.Bytes2, 200u);
    EXPECT_EQ(r.Ptr2 + 900, r.Ptr1);
    b->Unlock(r);
    r = b->Lock(0, 0, LockEntireBuffer);
    EXPECT_EQ(r.Bytes1, Size);
    EXPECT_EQ(r.Bytes2, 0u);
    TLockedRegions bad = r;
    bad.Ptr1 += 10; // runs past the end
    try {
        b->Unlock(bad);
        ADD_FAILURE();
    } catch (const ESoundOutputError& e) {
        EXPECT_EQ(e.ResultCode, SoundErrorInvalidParam);
    }
    EXPECT_THROW(b->Lock(Size, 1), ESoundOutputError);
}

TEST_F(BufferTest, VolumeChecks) {
    auto b = MakeBuffer();
    b->SetVolume(BufferVolumeMin);
    b->SetVolume(BufferVolumeMax);
    try {
        b->SetVolume(1);
        ADD_FAILURE();
    } catch (const ESoundOutputError& e) {
        EXPECT_EQ(e.ResultCode, SoundErrorInvalidParam);
    }
    auto plain = MakeBuffer(BufferControlPositionNotify);
    try {
        plain->SetVolume(-100);
        ADD_FAILURE();
    } catch (const ESoundOutputError& e) {
        EXPECT_EQ(e.ResultCode, SoundErrorControlUnavailable);
    }
}

TEST_F(BufferTest, LoopsOverItsMemoryWithGain) {
    auto b = MakeBuffer();
    TLockedRegions r = b->Lock(0, Size);
    auto* v = reinterpret_cast<int16_t*>(r.Ptr1);
    for (uint32_t i = 0; i < Size / 2; ++i)
        v[i] = int16_t(i * 10 + 3);
    b->Unlock(r);
    b->SetCurrentPosition(980); // ten frames before the end
    b->Play(PlayLooping);
    Device->Advance(20);
    EXPECT_EQ(b->GetCurrentPosition(), 20u);
    b->SetVolume(-2000); // a gain of 0.1
    Device->Advance(2);
    b->Stop();
    Device->Advance(5); // stopped: nothing rendered
    const std::vector<uint8_t> out = Device->Output();
    ASSERT_EQ(out.size(), 44u);
    std::vector<int16_t> frames(22);
    std::memcpy(frames.data(), out.data(), out.size());
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(frames[k], int16_t((490 + k) * 10 + 3)) << k;
    for (int k = 10; k < 20; ++k)
        EXPECT_EQ(frames[k], int16_t((k - 10) * 10 + 3)) << k;
    EXPECT_EQ(frames[20], 10); // 103 * 0.1
    EXPECT_EQ(frames[21], 11); // 113 * 0.1
}

TEST_F(BufferTest, NotifiesPassedOffsetsAndTheStop) {
    auto b = MakeBuffer();
    Arm(*b, {100, 500, 999, NotifyOnStop});
    b->Play(PlayLooping);
    Step(*b, 49); // to byte 98: nothing passed
    EXPECT_TRUE(Seen.empty());
    Step(*b, 1); // reaches 100
    EXPECT_EQ(Seen, (std::vector<int>{0}));
    Seen.clear();
    Step(*b, 450); // to 1000 = 0: passes 500 and 999 in one go, lowest index first
    EXPECT_EQ(Seen, (std::vector<int>{1, 2}));
    Seen.clear();
    Step(*b, 500); // a whole loop passes each position once
    EXPECT_EQ(Seen, (std::vector<int>{0, 1, 2}));
    Seen.clear();
    b->Stop();
    ASSERT_TRUE(Settle(Loop, [&] { return b.get(); }));
    EXPECT_EQ(Seen, (std::vector<int>{3}));
    Seen.clear();
    b->Stop(); // a stopped buffer does not stop again
    ASSERT_TRUE(Settle(Loop, [&] { return b.get(); }));
    EXPECT_TRUE(Seen.empty());
}

TEST_F(BufferTest, NonLoopingPlayStopsAtTheEnd) {
    auto b = MakeBuffer();
    Arm(*b, {NotifyOnStop});
    b->Play(0);
    Step(*b, 600); // 500 frames in the buffer, then silence
    EXPECT_FALSE(b->IsPlaying());
    EXPECT_EQ(Seen, (std::vector<int>{0}));
}

TEST_F(BufferTest, NotificationCountLimit) {
    auto b = MakeBuffer();
    std::vector<uint32_t> offsets(64);
    for (uint32_t i = 0; i < 64; ++i)
        offsets[i] = i * 10;
    EXPECT_NO_THROW(b->SetNotificationPositions(63, offsets.data()));
    try {
        b->SetNotificationPositions(64, offsets.data());
        ADD_FAILURE();
    } catch (const ESoundLayerError& e) {
        EXPECT_STREQ(e.what(), "Notification positions exceed maximum of 64");
    }
    offsets[0] = Size; // beyond the buffer
    EXPECT_THROW(b->SetNotificationPositions(2, offsets.data()), ESoundOutputError);
}

TEST_F(BufferTest, RearmingWhilePlayingReplacesTheThread) {
    auto b = MakeBuffer();
    Arm(*b, {100});
    b->Play(PlayLooping);
    Step(*b, 60);
    EXPECT_EQ(Seen, (std::vector<int>{0}));
    Seen.clear();
    Arm(*b, {300, 200});
    EXPECT_TRUE(b->IsPlaying());
    Step(*b, 100); // 120 .. 320
    EXPECT_EQ(Seen, (std::vector<int>{0, 1}));
    EXPECT_EQ(b->GetCurrentPosition(), 320u);
}

TEST_F(BufferTest, WaitingNotificationIsDroppedOnRelease) {
    auto b = MakeBuffer();
    Arm(*b, {100});
    b->Play(PlayLooping);
    Device->Advance(100); // signalled, not yet handed over
    b.reset();
    Loop.ProcessMessages();
    EXPECT_TRUE(Seen.empty());
    EXPECT_EQ(Device->OpenStreams(), 0);
}

TEST_F(BufferTest, FreedFromItsOwnNotification) {
    auto b = MakeBuffer();
    b->OnNotify = [&](TLoopingBuffer*, int index) {
        Seen.push_back(index);
        b.reset();
    };
    const uint32_t offset = 100;
    b->SetNotificationPositions(1, &offset);
    b->Play(PlayLooping);
    Device->Advance(60);
    ASSERT_TRUE(Settle(Loop, [&] { return b.get(); }));
    EXPECT_EQ(Seen, (std::vector<int>{0}));
    EXPECT_EQ(Device->OpenStreams(), 0);
}

TEST_F(BufferTest, DeviceTeardownDetachesItsBuffers) {
    auto device = std::make_unique<TSoundOutput>(Loop, Device);
    TBufferDescription d;
    d.dwFlags = BufferControlPositionNotify;
    d.dwBufferBytes = Size;
    d.lpwfxFormat = &Format;
    auto b = std::make_unique<TLoopingBuffer>(*device, d);
    b->Play(PlayLooping);
    device.reset();
    EXPECT_EQ(Device->OpenStreams(), 0);
    try {
        b->Play(PlayLooping);
        ADD_FAILURE();
    } catch (const ESoundOutputError& e) {
        EXPECT_EQ(e.ResultCode, SoundErrorBufferLost);
    }
}

// The clock on a thread of its own, as a sound card's: the main thread refills what was played
// while the clock renders the rest.
TEST_F(BufferTest, ClockOnAnotherThread) {
    auto b = MakeBuffer();
    constexpr uint32_t Chunk = 100;
    int refills = 0;
    b->OnNotify = [&](TLoopingBuffer* sender, int index) {
        const uint32_t played = uint32_t(index) * Chunk; // the chunk just left
        const uint32_t at = (played + Size - Chunk) % Size;
        TLockedRegions r = sender->Lock(at, Chunk);
        std::memset(r.Ptr1, refills & 0xFF, r.Bytes1);
        sender->Unlock(r);
        ++refills;
    };
    std::vector<uint32_t> offsets;
    for (uint32_t k = 0; k < Size / Chunk; ++k)
        offsets.push_back(k * Chunk);
    b->SetNotificationPositions(int(offsets.size()), offsets.data());
    b->Play(PlayLooping);
    std::atomic<bool> clockDone{false};
    std::thread clock([&] {
        for (int k = 0; k < 40; ++k) {
            Device->Advance(Chunk / 2);
            while (!b->NotificationsIdle())
                std::this_thread::yield();
        }
        Loop.Post([&] { clockDone = true; });
    });
    EXPECT_TRUE(Loop.RunUntil([&] { return clockDone.load(); }, 10000));
    clock.join();
    EXPECT_EQ(refills, 40);
    b->Stop();
}

// The one test on the system's sound card; skipped where there is none.
TEST(DefaultDeviceTest, PlaysOnTheSoundCard) {
    std::shared_ptr<TPortAudioDevice> device;
    try {
        device = std::make_shared<TPortAudioDevice>();
    } catch (const ESoundOutputError& e) {
        GTEST_SKIP() << "no sound device: " << e.what();
    }
    TMainLoop loop;
    TSoundOutput sound(loop, device);
    const TWaveFormat format = MakePCMFormat(1, 8000, 16);
    TBufferDescription d;
    d.dwFlags = BufferControlVolume | BufferControlPositionNotify;
    d.dwBufferBytes = 1600; // a tenth of a second
    d.lpwfxFormat = &format;
    std::unique_ptr<TLoopingBuffer> b;
    try {
        b = std::make_unique<TLoopingBuffer>(sound, d);
    } catch (const ESoundOutputError& e) {
        GTEST_SKIP() << "the sound device refuses 8000 Hz mono: " << e.what();
    }
    int passes = 0;
    b->OnNotify = [&](TLoopingBuffer*, int) { ++passes; };
    const uint32_t offset = 800;
    b->SetNotificationPositions(1, &offset);
    b->SetVolume(BufferVolumeMin);
    b->Play(PlayLooping);
    EXPECT_TRUE(loop.RunUntil([&] { return passes >= 3; }, 5000));
    b->Stop();
}

} // namespace
} // namespace orvella
