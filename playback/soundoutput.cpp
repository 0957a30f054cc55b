#include "playback/soundoutput.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <sys/eventfd.h>
#include <unistd.h>

namespace orvella {

// ---------------------------------------------------------------------------------------------
// Result check

std::string DSErrorText(uint32_t result) {
    switch (result) {
    case SoundErrorUnsupported:
        return "The function called is not supported at this time";
    case SoundErrorGeneric:
        return "An undetermined error occured inside the DSound subsystem";
    case SoundErrorNoAggregation:
        return "This object does not support aggregation";
    case SoundErrorOutOfMemory:
        return "The DSound subsystem couldn't allocate sufficient memory to complete the "
               "caller's request.";
    case SoundErrorInvalidParam:
        return "An invalid parameter was passed to the returning function.";
    case SoundErrorAllocated:
        return "The call failed because resources (such as a priority level) were already being "
               "used by another caller.";
    case SoundErrorControlUnavailable:
        return "The control (vol,pan,etc.) requested by the caller is not available.";
    case SoundErrorInvalidCall:
        return "This call is not valid for the current state of this object";
    case SoundErrorPriorityLevelNeeded:
        return "The caller does not have the priority level required for the function to "
               "succeed.";
    case SoundErrorBadFormat:
        return "The specified WAVE format is not supported";
    case SoundErrorNoDriver:
        return "No sound driver is available for use";
    case SoundErrorAlreadyInitialized:
        return "This object is already initialized";
    case SoundErrorBufferLost:
        return "The buffer memory has been lost, and must be Restored.";
    case SoundErrorOtherHasPriority:
        return "Another app has a higher priority level, preventing this call from succeeding.";
    case SoundErrorUninitialized:
        return "The Initialize() member on the Direct Sound Object has not been called or called "
               "successfully before calls to other members.";
    default:
        return "Unrecognized error value.";
    }
}

void RaiseDSError(uint32_t result) {
    char head[48];
    std::snprintf(head, sizeof head, "DirectSound call failed: %X\r", unsigned(result));
    throw ESoundOutputError(result, head + DSErrorText(result));
}

void DSCheck(uint32_t result) {
    if (result != SoundOk) RaiseDSError(result);
}

// ---------------------------------------------------------------------------------------------
// Notification state shared by the main thread, the render thread and the notify thread

struct TNotifyState {
    TMainThread* Main = nullptr;
    std::function<void(int)> Callback;
    std::vector<uint32_t> Offsets; // read-only once registered
    uint64_t StopMask = 0;         // the indices whose offset is NotifyOnStop
    int WakeFd = -1;               // eventfd: the wait of the notify thread

    // One bit per position: a set bit is a signalled (auto-reset) event.
    std::atomic<uint64_t> Pending{0};
    std::atomic<bool> Terminated{false};
    std::atomic<bool> Delivering{false};
    std::atomic<bool> Exited{false};
    std::atomic<int> LastIndex{-1};
    bool InCallback = false; // main thread only

    ~TNotifyState() {
        if (WakeFd >= 0) ::close(WakeFd);
    }

    // Any thread; lock-free.
    void Wake() noexcept {
        const uint64_t one = 1;
        ssize_t written = ::write(WakeFd, &one, sizeof one);
        (void)written; // the counter cannot overflow: it is read back on every wake
    }
    void Signal(uint64_t bits) noexcept {
        Pending.fetch_or(bits);
        Wake();
    }
};

// ---------------------------------------------------------------------------------------------
// TSoundOutput

TSoundOutput::TSoundOutput(TMainThread& mainThread, std::shared_ptr<TSoundDevice> device)
    : Main(mainThread)
    , SoundDevice(device ? std::move(device) : OpenDefaultSoundDevice()) {}

TSoundOutput::~TSoundOutput() {
    while (!Buffers.empty())
        Buffers.back()->Detach();
}

// ---------------------------------------------------------------------------------------------
// TLoopingBuffer

namespace {

bool IsPlayableFormat(const TWaveFormat& f) {
    return f.wFormatTag == WAVE_FORMAT_PCM && (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) &&
           f.nChannels > 0 && f.nSamplesPerSec > 0 &&
           f.nBlockAlign == f.nChannels * (f.wBitsPerSample / 8);
}

uint8_t SilenceOf(const TWaveFormat& f) {
    return f.wBitsPerSample == 8 ? 0x80 : 0;
}

// Copies bytes of samples from the buffer to the device with the volume's gain.
void CopyWithGain(uint8_t* out, const uint8_t* in, uint32_t bytes, float gain, int bits) {
    if (gain == 1.0f) {
        std::memcpy(out, in, bytes);
    } else if (bits == 16) {
        const auto* src = reinterpret_cast<const int16_t*>(in);
        auto* dst = reinterpret_cast<int16_t*>(out);
        for (uint32_t k = 0; k < bytes / 2; ++k) {
            const long v = std::lrint(float(src[k]) * gain);
            dst[k] = int16_t(std::clamp(v, -32768L, 32767L));
        }
    } else {
        for (uint32_t k = 0; k < bytes; ++k) {
            const long v = std::lrint(float(int(in[k]) - 128) * gain) + 128;
            out[k] = uint8_t(std::clamp(v, 0L, 255L));
        }
    }
}

} // namespace

TLoopingBuffer::TLoopingBuffer(TSoundOutput& device, const TBufferDescription& description)
    : Owner(&device)
    , Flags(description.dwFlags)
    , Size(description.dwBufferBytes)
    , BufferFormat{} {
    // The device mixes in its own memory: there is no primary buffer to write to.
    if (Flags & BufferPrimary) RaiseDSError(SoundErrorUnsupported);
    if (!description.lpwfxFormat) RaiseDSError(SoundErrorInvalidParam);
    BufferFormat = *description.lpwfxFormat;
    if (!IsPlayableFormat(BufferFormat)) RaiseDSError(SoundErrorBadFormat);
    if (Size < 4 || Size > 0x0FFFFFFF || Size % BufferFormat.nBlockAlign != 0)
        RaiseDSError(SoundErrorInvalidParam);
    try {
        Memory.reset(new uint8_t[Size]);
    } catch (const std::bad_alloc&) {
        RaiseDSError(SoundErrorOutOfMemory);
    }
    std::memset(Memory.get(), SilenceOf(BufferFormat), Size);
    Stream = device.Device().OpenStream(BufferFormat, *this);
    device.Buffers.push_back(this);
}

TLoopingBuffer::~TLoopingBuffer() {
    Detach();
}

void TLoopingBuffer::Detach() {
    NotifyThread.reset();
    Stream.reset();
    StreamRunning = false;
    PlayingFlag.store(false);
    if (Owner) {
        auto& list = Owner->Buffers;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
        Owner = nullptr;
    }
}

void TLoopingBuffer::CheckAttached() const {
    if (!Owner || !Stream) RaiseDSError(SoundErrorBufferLost);
}

TLockedRegions TLoopingBuffer::Lock(uint32_t offset, uint32_t bytes, uint32_t flags) {
    CheckAttached();
    if (flags & LockFromWriteCursor) offset = GetCurrentPosition();
    if (flags & LockEntireBuffer) bytes = Size;
    if (offset >= Size || bytes == 0 || bytes > Size) RaiseDSError(SoundErrorInvalidParam);
    TLockedRegions r;
    r.Ptr1 = Memory.get() + offset;
    r.Bytes1 = std::min(bytes, Size - offset);
    if (bytes > r.Bytes1) {
        r.Ptr2 = Memory.get();
        r.Bytes2 = bytes - r.Bytes1;
    }
    return r;
}

void TLoopingBuffer::Unlock(const TLockedRegions& r) {
    CheckAttached();
    const uint8_t* base = Memory.get();
    auto inside = [&](const uint8_t* p, uint32_t n) {
        return n == 0 || (p && p >= base && p < base + Size && n <= Size - uint32_t(p - base));
    };
    if (!inside(r.Ptr1, r.Bytes1) || !inside(r.Ptr2, r.Bytes2))
        RaiseDSError(SoundErrorInvalidParam);
    // Release: a later Render that acquires this count sees the bytes written into the regions.
    Published.fetch_add(1, std::memory_order_release);
}

void TLoopingBuffer::Play(uint32_t flags) {
    CheckAttached();
    Looping.store((flags & PlayLooping) != 0);
    PlayingFlag.store(true);
    if (!StreamRunning) {
        try {
            Stream->Start();
        } catch (...) {
            PlayingFlag.store(false);
            throw;
        }
        StreamRunning = true;
    }
}

void TLoopingBuffer::Stop() {
    StopStream(false);
}

void TLoopingBuffer::Drain() {
    StopStream(true);
}

void TLoopingBuffer::StopStream(bool drain) {
    CheckAttached();
    if (StreamRunning) {
        StreamRunning = false;
        if (drain)
            Stream->Drain();
        else
            Stream->Stop();
    }
    // No Render runs now; a buffer that was still playing reports its stop.
    if (PlayingFlag.exchange(false)) {
        TNotifyState* state = ActiveNotify.load();
        if (state && state->StopMask) state->Signal(state->StopMask);
    }
}

void TLoopingBuffer::SetCurrentPosition(uint32_t offset) {
    CheckAttached();
    if (offset >= Size) RaiseDSError(SoundErrorInvalidParam);
    Position.store(offset - offset % BufferFormat.nBlockAlign);
}

uint32_t TLoopingBuffer::GetCurrentPosition() const {
    CheckAttached();
    return Position.load();
}

void TLoopingBuffer::SetVolume(int32_t volume) {
    CheckAttached();
    if (!(Flags & BufferControlVolume)) RaiseDSError(SoundErrorControlUnavailable);
    if (volume < BufferVolumeMin || volume > BufferVolumeMax) RaiseDSError(SoundErrorInvalidParam);
    Volume = volume;
    Gain.store(volume == 0 ? 1.0f : float(std::pow(10.0, double(volume) / 2000.0)));
}

void TLoopingBuffer::SetNotificationPositions(int count, const uint32_t* offsets) {
    CheckAttached();
    if (!(Flags & BufferControlPositionNotify)) RaiseDSError(SoundErrorControlUnavailable);
    if (count < 0 || (count > 0 && !offsets)) RaiseDSError(SoundErrorInvalidParam);
    NotifyThread.reset();
    NotifyThread = std::make_unique<TNotifyThread>(*this, offsets, count, Owner->Main,
                                                   [this](int index) { Dispatch(index); });
}

bool TLoopingBuffer::NotificationsIdle() const {
    return !NotifyThread || NotifyThread->Idle();
}

void TLoopingBuffer::Dispatch(int index) {
    if (!OnNotify) return;
    // A copy: the handler may free this buffer, and with it OnNotify.
    auto handler = OnNotify;
    handler(this, index);
}

void TLoopingBuffer::RegisterNotify(TNotifyState* state) {
    for (uint32_t offset : state->Offsets)
        if (offset != NotifyOnStop && offset >= Size) RaiseDSError(SoundErrorInvalidParam);
    ActiveNotify.store(state);
}

void TLoopingBuffer::UnregisterNotify() {
    ActiveNotify.store(nullptr);
    // A Render call that began before the store may still hold the old state: wait for it to end
    // (it never blocks, so this is at most one device period).
    const uint64_t seq = RenderSeq.load();
    if (seq % 2 == 1)
        while (RenderSeq.load() == seq)
            std::this_thread::yield();
}

void TLoopingBuffer::Render(void* output, uint32_t frames) noexcept {
    RenderSeq.fetch_add(1);
    Published.load(std::memory_order_acquire);
    auto* out = static_cast<uint8_t*>(output);
    const uint32_t wanted = frames * BufferFormat.nBlockAlign;
    const uint8_t silence = SilenceOf(BufferFormat);
    if (!PlayingFlag.load()) {
        std::memset(out, silence, wanted);
        RenderSeq.fetch_add(1);
        return;
    }
    const uint32_t start = Position.load();
    const float gain = Gain.load(std::memory_order_relaxed);
    const bool looping = Looping.load(std::memory_order_relaxed);
    uint32_t pos = start;
    uint32_t done = 0;
    uint64_t advanced = 0;
    bool ended = false;
    while (done < wanted) {
        const uint32_t n = std::min(wanted - done, Size - pos);
        CopyWithGain(out + done, Memory.get() + pos, n, gain, BufferFormat.wBitsPerSample);
        done += n;
        advanced += n;
        pos += n;
        if (pos == Size) {
            pos = 0;
            if (!looping) {
                ended = true;
                break;
            }
        }
    }
    if (done < wanted) std::memset(out + done, silence, wanted - done);
    // A position set meanwhile by the main thread wins over the one played to.
    uint32_t expected = start;
    Position.compare_exchange_strong(expected, pos);

    // An offset is passed when the play position moves from before it to at or past it.
    uint64_t bits = 0;
    TNotifyState* state = ActiveNotify.load();
    if (state) {
        const auto& offsets = state->Offsets;
        for (size_t i = 0; i < offsets.size(); ++i) {
            if (offsets[i] == NotifyOnStop) continue;
            const uint64_t distance = (uint64_t(offsets[i]) + Size - start) % Size;
            if (distance == 0 ? advanced >= Size : distance <= advanced) bits |= uint64_t(1) << i;
        }
    }
    if (ended && PlayingFlag.exchange(false) && state) bits |= state->StopMask;
    if (bits) state->Signal(bits);
    RenderSeq.fetch_add(1);
}

// ---------------------------------------------------------------------------------------------
// TNotifyThread

TNotifyThread::TNotifyThread(TLoopingBuffer& owner, const uint32_t* offsets, int count,
                             TMainThread& mainThread, std::function<void(int index)> callback)
    : Owner(owner)
    , Main(mainThread) {
    if (count + 1 > MaxNotifyHandles)
        throw ESoundLayerError("Notification positions exceed maximum of " +
                               std::to_string(MaxNotifyHandles));
    State = std::make_shared<TNotifyState>();
    State->Main = &mainThread;
    State->Callback = std::move(callback);
    State->WakeFd = ::eventfd(0, EFD_CLOEXEC);
    if (State->WakeFd < 0) throw ESoundLayerError("Error creating event");
    State->Offsets.assign(offsets, offsets + count);
    for (int i = 0; i < count; ++i)
        if (offsets[i] == NotifyOnStop) State->StopMask |= uint64_t(1) << i;
    Owner.RegisterNotify(State.get());
    try {
        Thread = std::thread(&TNotifyThread::Execute, State);
    } catch (const std::system_error&) {
        Owner.UnregisterNotify();
        throw ESoundLayerError("Error creating event");
    }
}

TNotifyThread::~TNotifyThread() {
    Owner.UnregisterNotify();
    State->Terminated.store(true);
    State->Wake();
    if (State->InCallback) {
        // Freed from inside its own notification: the thread is blocked until that returns, so it
        // cannot be joined here. It ends right after; the main thread joins it next time round
        // (or when its queue goes away), so it never outlives the main thread's loop.
        struct TJoiner {
            std::thread Thread;
            ~TJoiner() {
                if (Thread.joinable()) Thread.join();
            }
        };
        auto joiner = std::make_shared<TJoiner>();
        joiner->Thread = std::move(Thread);
        Main.Post([joiner] { joiner->Thread.join(); });
        return;
    }
    if (Main.IsMainThread()) {
        // The thread may be blocked handing a notification to this thread: let it run (it is
        // dropped, Terminated being set) so the thread can leave.
        while (!State->Exited.load()) {
            Main.ProcessMessages();
            if (!State->Exited.load()) std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    }
    Thread.join();
}

int TNotifyThread::LastIndex() const {
    return State->LastIndex.load();
}

bool TNotifyThread::Idle() const {
    // Pending first: the thread marks Delivering before it takes a bit.
    return State->Pending.load() == 0 && !State->Delivering.load();
}

void TNotifyThread::Execute(std::shared_ptr<TNotifyState> state) {
    TNotifyState* raw = state.get();
    while (!raw->Terminated.load()) {
        const uint64_t pending = raw->Pending.load();
        if (pending == 0) {
            uint64_t count;
            ssize_t got = ::read(raw->WakeFd, &count, sizeof count);
            (void)got; // EINTR or a wake: test again
            continue;
        }
        raw->Delivering.store(true);
        const int index = std::countr_zero(pending);
        raw->Pending.fetch_and(~(uint64_t(1) << index));
        raw->LastIndex.store(index);
        try {
            raw->Main->Synchronize([raw, index] {
                if (raw->Terminated.load()) return; // its buffer is going away
                raw->InCallback = true;
                try {
                    raw->Callback(index);
                } catch (...) {
                    raw->InCallback = false;
                    throw;
                }
                raw->InCallback = false;
            });
        } catch (...) {
            // A failing handler must not end the wait: later notifications still arrive.
        }
        raw->Delivering.store(false);
    }
    raw->Exited.store(true);
}

} // namespace orvella
