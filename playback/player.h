#pragma once
// TPlayer plays a range of the document's work file through the sound layer: a half-second
// looping buffer refilled a chunk (1/32 s) at a time, the played byte count reported about 32
// times a second, the end of the range detected, output stopped and the range rewound.
// Thread rule: every method runs on the main thread; BufferNotify is handed there by the
// buffer's notify thread, so no field needs a lock.

#include "engine/document.h"
#include "engine/mainthread.h"
#include "engine/samplestore.h"
#include "engine/waveformat.h"
#include "playback/soundoutput.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvella {

// What the player reads: the document's sample store and its Ready flag.
struct TPlaySource {
    std::shared_ptr<TSampleStore> Store;
    std::function<bool()> Ready;
};

inline TPlaySource PlaySourceOf(TDocument& document) {
    return {document.GetStore(), [&document] { return document.Ready.load(); }};
}

class TPlayer {
public:
    // Makes the output device for InitDevice; empty: the system's default device.
    using TDeviceFactory = std::function<std::shared_ptr<TSoundDevice>()>;

    // The buffer has 16 chunks; notifications at the end of each, and one when it stops.
    static constexpr int ChunkCount = 16;
    static constexpr int NotifyCount = 17;
    static constexpr int StopIndex = 16;
    static constexpr uint32_t BufferFlags = BufferPrecisePosition | BufferGlobalFocus |
                                            BufferControlPositionNotify | BufferControlVolume;

    explicit TPlayer(TMainThread& mainThread, TDeviceFactory deviceFactory = {});
    ~TPlayer(); // Shutdown
    TPlayer(const TPlayer&) = delete;
    TPlayer& operator=(const TPlayer&) = delete;

    // Bytes of the range played so far, about 32 times a second.
    std::function<void(uint32_t bytes)> OnPosition;
    std::function<void(bool playing)> OnStatus;
    // A failure while handling a notification (a read or device error); playback has been halted.
    // Unassigned, the failure is dropped.
    std::function<void(const std::string& text)> OnError;

    // Opens the device. A device that cannot be opened is recorded, not raised: Play raises it.
    void InitDevice();
    // A new range: count bytes from value index first, in format; primes a fresh buffer.
    void Prepare(TDocument& document, uint32_t first, const TWaveFormat& format, uint32_t count) {
        Prepare(PlaySourceOf(document), first, format, count);
    }
    void Prepare(const TPlaySource& source, uint32_t first, const TWaveFormat& format,
                 uint32_t count);
    // Starts the prepared range from its beginning; without one reports false (and raises the
    // device failure InitDevice recorded, if any).
    void Play();
    // Stops output and reports false; without release rewinds the range, with release frees the
    // buffer. Without a buffer and without release it does nothing.
    void Stop(bool release);
    void Halt() { Stop(false); }
    void Release() { Stop(true); }
    void Shutdown();
    // Attenuation in hundredths of a decibel; reaches only the buffer that exists now.
    void SetVolume(int32_t volume);
    // Meter levels 0..128 for the tenth of a second from the play position.
    void GetLevels(float& left, float& right);
    void BufferNotify(TLoopingBuffer* sender, int index);

    // State, read-only outside the player.
    uint32_t StartIndex() const { return FStartIndex; }
    uint32_t BytesRead() const { return FBytesRead; }
    uint32_t TotalBytes() const { return FTotalBytes; }
    const TWaveFormat& Format() const { return FFormat; }
    uint32_t BufferBytes() const { return FBufferBytes; }
    uint32_t ChunkBytes() const { return FChunkBytes; }
    uint32_t WritePos() const { return FWritePos; }
    uint32_t PlayedBytes() const { return FPlayedBytes; }
    uint32_t LastPlayPos() const { return FLastPlayPos; }
    bool Finished() const { return FFinished; }
    bool DataEnded() const { return FDataEnded; }
    bool BufferReady() const { return FBufferReady; }
    bool Playing() const { return FPlaying; }
    TSoundOutput* Device() const { return FDevice.get(); }
    TLoopingBuffer* Buffer() const { return FBuffer.get(); }

    // ChunkBytes for a format: 1/32 s rounded up to a whole frame.
    static uint32_t ChunkBytesOf(const TWaveFormat& format);

private:
    void Notify(int index);
    // Stop; playOut lets the device play what it holds before output stops (the end of a
    // range), otherwise output stops at once (a user's stop).
    void StopOutput(bool release, bool playOut);
    void Prime();
    void Rewind();
    // Copies the next n bytes of the range into dest and counts them read.
    void ReadRange(uint8_t* dest, uint32_t n);
    uint8_t SilenceByte() const { return FFormat.wBitsPerSample == 8 ? 0x80 : 0; }

    TMainThread& Main;
    TDeviceFactory DeviceFactory;
    std::exception_ptr DeviceFailure;

    std::shared_ptr<TSampleStore> Store;
    std::function<bool()> DocumentReady;
    uint32_t FStartIndex = 0;
    uint32_t FBytesRead = 0;
    uint32_t FTotalBytes = 0;
    TWaveFormat FFormat{};
    uint32_t FBufferBytes = 0;
    uint32_t FChunkBytes = 0;
    uint32_t FWritePos = 0;
    uint32_t FPlayedBytes = 0;
    uint32_t FLastPlayPos = 0;
    bool FFinished = false;
    bool FDataEnded = false;
    bool FBufferReady = false;
    bool FPlaying = false;
    std::unique_ptr<TSoundOutput> FDevice;
    std::unique_ptr<TLoopingBuffer> FBuffer;
    std::vector<int16_t> LevelValues;
};

} // namespace orvella
