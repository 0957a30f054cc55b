#pragma once
// The sound output layer: a device (TSoundOutput), looping sound buffers on it
// (TLoopingBuffer), the thread that waits for a buffer's position notifications and hands
// each to the main thread (TNotifyThread), the result check, and the layer's exceptions.
//
// A buffer is our own memory of a given byte size and PCM format; the device's clock plays from
// it (TSoundDevice), advances the play position and signals every notification offset it passes.
// Thread rule: every method of the device and the buffer runs on the main thread. Only the
// device's render thread and the notification thread run elsewhere, and they touch nothing but
// atomics, the buffer's memory outside the locked regions and an eventfd.

#include "engine/errors.h"
#include "engine/mainthread.h"
#include "engine/waveformat.h"
#include "playback/sounddevice.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace orvella {

// Result codes of the sound layer's calls (0 is success).
constexpr uint32_t SoundOk = 0;
constexpr uint32_t SoundErrorUnsupported = 0x80004001;
constexpr uint32_t SoundErrorGeneric = 0x80004005;
constexpr uint32_t SoundErrorNoAggregation = 0x80040110;
constexpr uint32_t SoundErrorOutOfMemory = 0x8007000E;
constexpr uint32_t SoundErrorInvalidParam = 0x80070057;
constexpr uint32_t SoundErrorAllocated = 0x8878000A;
constexpr uint32_t SoundErrorControlUnavailable = 0x8878001E;
constexpr uint32_t SoundErrorInvalidCall = 0x88780032;
constexpr uint32_t SoundErrorPriorityLevelNeeded = 0x88780046;
constexpr uint32_t SoundErrorBadFormat = 0x88780064;
constexpr uint32_t SoundErrorNoDriver = 0x88780078;
constexpr uint32_t SoundErrorAlreadyInitialized = 0x88780082;
constexpr uint32_t SoundErrorBufferLost = 0x88780096;
constexpr uint32_t SoundErrorOtherHasPriority = 0x887800A0;
constexpr uint32_t SoundErrorUninitialized = 0x887800AA;

// Buffer capabilities.
constexpr uint32_t BufferPrimary = 0x1;
constexpr uint32_t BufferControl3D = 0x10;
constexpr uint32_t BufferControlVolume = 0x80;
constexpr uint32_t BufferControlPositionNotify = 0x100;
constexpr uint32_t BufferGlobalFocus = 0x8000;
constexpr uint32_t BufferPrecisePosition = 0x10000;

constexpr uint32_t PlayLooping = 0x1;
constexpr uint32_t LockFromWriteCursor = 0x1;
constexpr uint32_t LockEntireBuffer = 0x2;
// The notification offset that fires when the buffer stops.
constexpr uint32_t NotifyOnStop = 0xFFFFFFFF;

constexpr int32_t BufferVolumeMin = -10000;
constexpr int32_t BufferVolumeMax = 0;

// One wait watches at most this many events: the positions plus the stop event.
constexpr int MaxNotifyHandles = 64;

class ESoundResultError : public Exception {
public:
    ESoundResultError(uint32_t resultCode, const std::string& message)
        : Exception(message)
        , ResultCode(resultCode) {}
    uint32_t ResultCode;
};

// A sound layer call that did not return SoundOk.
class ESoundOutputError : public ESoundResultError {
public:
    using ESoundResultError::ESoundResultError;
};

// A failure of the layer itself (notification count, events, thread teardown).
class ESoundLayerError : public Exception {
public:
    using Exception::Exception;
};

// The description of the code, "Unrecognized error value." for any code without one.
std::string DSErrorText(uint32_t result);
// SoundOk passes; any other value, success codes included, raises ESoundOutputError with
// "DirectSound call failed: <hex>\r<description>".
void DSCheck(uint32_t result);
[[noreturn]] void RaiseDSError(uint32_t result);

struct TBufferDescription {
    uint32_t dwSize = sizeof(TBufferDescription);
    uint32_t dwFlags = 0;
    uint32_t dwBufferBytes = 0;
    uint32_t dwReserved = 0;
    const TWaveFormat* lpwfxFormat = nullptr;
};

struct TLockedRegions {
    uint8_t* Ptr1 = nullptr;
    uint32_t Bytes1 = 0;
    uint8_t* Ptr2 = nullptr; // the part that wrapped to the start of the buffer, if any
    uint32_t Bytes2 = 0;
};

class TLoopingBuffer;

class TSoundOutput {
public:
    // device null: the system's default output device (SoundErrorNoDriver when there is none).
    explicit TSoundOutput(TMainThread& mainThread, std::shared_ptr<TSoundDevice> device = nullptr);
    // Tears down every buffer still made on this device: their notifications and output end, and
    // any later call on them fails with SoundErrorBufferLost.
    ~TSoundOutput();
    TSoundOutput(const TSoundOutput&) = delete;
    TSoundOutput& operator=(const TSoundOutput&) = delete;

    TMainThread& MainThread() const { return Main; }
    TSoundDevice& Device() const { return *SoundDevice; }

private:
    friend class TLoopingBuffer;
    TMainThread& Main;
    std::shared_ptr<TSoundDevice> SoundDevice;
    std::vector<TLoopingBuffer*> Buffers;
};

class TNotifyThread;

// The state one notification thread shares with the render thread and its own thread.
struct TNotifyState;

class TLoopingBuffer : private TSoundRenderer {
public:
    // Opens an output stream for the description's format (SoundErrorBadFormat when the device
    // cannot play it). Only secondary buffers of 8- or 16-bit PCM exist here.
    TLoopingBuffer(TSoundOutput& device, const TBufferDescription& description);
    // Ends the notify thread first (a notification still waiting is dropped), then the output.
    ~TLoopingBuffer() override;
    TLoopingBuffer(const TLoopingBuffer&) = delete;
    TLoopingBuffer& operator=(const TLoopingBuffer&) = delete;

    // Byte range for writing; the part past the end of the buffer wraps to region 2.
    TLockedRegions Lock(uint32_t offset, uint32_t bytes, uint32_t flags = 0);
    // Publishes what was written into the regions to the render thread.
    void Unlock(const TLockedRegions& regions);
    void Play(uint32_t flags);
    // Stops output at once; a running buffer then signals its stop notifications.
    void Stop();
    // Stops output once the device has played every byte it has taken from the buffer (its
    // latency: up to a few tenths of a second, waited here); then as Stop.
    void Drain();
    void SetCurrentPosition(uint32_t offset);
    // The play position in bytes: the next byte the device takes from the buffer.
    uint32_t GetCurrentPosition() const;
    // Hundredths of a decibel, BufferVolumeMin (silent) .. BufferVolumeMax (full); needs
    // BufferControlVolume.
    void SetVolume(int32_t volume);
    int32_t GetVolume() const { return Volume; }
    // Replaces the notify thread by a new one for these offsets (each below the buffer size, or
    // NotifyOnStop); needs BufferControlPositionNotify.
    void SetNotificationPositions(int count, const uint32_t* offsets);

    // True when no notification is signalled and none is being handed to the main thread.
    bool NotificationsIdle() const;

    uint32_t BufferBytes() const { return Size; }
    const TWaveFormat& Format() const { return BufferFormat; }
    bool IsPlaying() const { return PlayingFlag.load(); }

    // Runs on the main thread for each notification: Index is the position's index.
    std::function<void(TLoopingBuffer* sender, int index)> OnNotify;

private:
    friend class TSoundOutput;
    friend class TNotifyThread;

    void Render(void* output, uint32_t frames) noexcept override;
    void StopStream(bool drain);
    void Dispatch(int index);
    void Detach();
    void CheckAttached() const;
    void RegisterNotify(TNotifyState* state);
    void UnregisterNotify();
    void SignalStop(TNotifyState* state);

    TSoundOutput* Owner;
    uint32_t Flags;
    uint32_t Size;
    TWaveFormat BufferFormat;
    std::unique_ptr<uint8_t[]> Memory;
    std::unique_ptr<TSoundStream> Stream;
    std::unique_ptr<TNotifyThread> NotifyThread;
    bool StreamRunning = false;
    int32_t Volume = 0;

    // Shared with the render thread.
    std::atomic<uint32_t> Position{0};
    std::atomic<bool> PlayingFlag{false};
    std::atomic<bool> Looping{true};
    std::atomic<float> Gain{1.0f};
    std::atomic<uint32_t> Published{0};
    std::atomic<TNotifyState*> ActiveNotify{nullptr};
    std::atomic<uint64_t> RenderSeq{0}; // odd while a Render call runs
};

// Waits for the notifications of one buffer and runs the callback for each on the main thread,
// one at a time, in the order the wait reports them (lowest signalled index first).
class TNotifyThread {
public:
    // Raises ESoundLayerError for more than MaxNotifyHandles - 1 positions or when the wake
    // event cannot be made; nothing runs then.
    TNotifyThread(TLoopingBuffer& owner, const uint32_t* offsets, int count,
                  TMainThread& mainThread, std::function<void(int index)> callback);
    // Main thread: stops the wait and waits for the thread, processing the main thread's messages
    // meanwhile, since the thread may be blocked handing a notification over; that notification
    // is dropped. Destroyed from inside its own callback, it leaves the join to a posted call.
    ~TNotifyThread();
    TNotifyThread(const TNotifyThread&) = delete;
    TNotifyThread& operator=(const TNotifyThread&) = delete;

    int LastIndex() const;
    bool Idle() const;

private:
    static void Execute(std::shared_ptr<TNotifyState> state);

    TLoopingBuffer& Owner;
    TMainThread& Main;
    std::shared_ptr<TNotifyState> State;
    std::thread Thread;
};

} // namespace orvella
