#include "playback/player.h"

#include "engine/errors.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace orvella {

TPlayer::TPlayer(TMainThread& mainThread, TDeviceFactory deviceFactory)
    : Main(mainThread)
    , DeviceFactory(std::move(deviceFactory)) {}

TPlayer::~TPlayer() {
    try {
        Shutdown();
    } catch (...) {
        // A device that fails to stop while going away has nothing left to report to.
    }
}

uint32_t TPlayer::ChunkBytesOf(const TWaveFormat& format) {
    const uint32_t align = format.nBlockAlign;
    if (align == 0) return 0;
    const uint32_t chunk = uint32_t(uint64_t(align) * format.nSamplesPerSec / 32);
    return (chunk + align - 1) / align * align;
}

void TPlayer::InitDevice() {
    FDevice.reset();
    DeviceFailure = nullptr;
    try {
        FDevice = std::make_unique<TSoundOutput>(Main, DeviceFactory ? DeviceFactory() : nullptr);
    } catch (const ESoundOutputError&) {
        // The program starts without sound; Play shows this failure.
        DeviceFailure = std::current_exception();
    }
    FBufferReady = false;
    FPlaying = false;
    if (OnStatus) OnStatus(false);
}

void TPlayer::Prepare(const TPlaySource& source, uint32_t first, const TWaveFormat& format,
                      uint32_t count) {
    Release();
    if (!source.Store) throw std::invalid_argument("TPlayer::Prepare: no sample store");
    Store = source.Store;
    DocumentReady = source.Ready;
    FStartIndex = first;
    FBytesRead = 0;
    FFormat = format;
    FTotalBytes = count;
    FBufferReady = true;
    FChunkBytes = ChunkBytesOf(format);
    FBufferBytes = ChunkCount * FChunkBytes;
    if (!FDevice) return; // no sound device: Play reports it
    TBufferDescription description;
    description.dwFlags = BufferFlags;
    description.dwBufferBytes = FBufferBytes;
    description.lpwfxFormat = &FFormat;
    FBuffer = std::make_unique<TLoopingBuffer>(*FDevice, description);
    Rewind(); // primes the range's first half second
}

void TPlayer::ReadRange(uint8_t* dest, uint32_t n) {
    if (n == 0) return;
    const int64_t first = int64_t(FStartIndex) + FBytesRead / 2;
    const int64_t last = int64_t(FStartIndex) + (int64_t(FBytesRead) + n) / 2 - 1;
    // Chunks start at whole frames of 16-bit values, so dest is aligned for them. A float
    // document's values are limited to full scale here, at the output only.
    Store->ReadShorts(reinterpret_cast<int16_t*>(dest), first, last);
}

void TPlayer::Prime() {
    const TLockedRegions region = FBuffer->Lock(0, FBufferBytes, 0);
    try {
        const uint32_t n = std::min(FTotalBytes - FBytesRead, region.Bytes1);
        ReadRange(region.Ptr1, n);
        FBytesRead += n;
        if (n < region.Bytes1) {
            if (n < FChunkBytes) FDataEnded = true;
            std::memset(region.Ptr1 + n, SilenceByte(), region.Bytes1 - n);
        }
    } catch (...) {
        FBuffer->Unlock(region);
        throw;
    }
    FBuffer->Unlock(region);
    FWritePos += region.Bytes1;
    if (FWritePos >= FBufferBytes) FWritePos -= FBufferBytes;
    FPlayedBytes = 0;
    FLastPlayPos = 0;
}

void TPlayer::Rewind() {
    FBytesRead = 0;
    FDataEnded = false;
    FWritePos = 0;
    try {
        Prime();
    } catch (...) {
        // A buffer that could not be primed holds no sound of the range: never play it.
        FBufferReady = false;
        FBuffer.reset();
        throw;
    }
    FFinished = false;
}

void TPlayer::Play() {
    if (FPlaying) Halt();
    if (FBufferReady && FBuffer) {
        FBuffer->OnNotify = [this](TLoopingBuffer* sender, int index) {
            BufferNotify(sender, index);
        };
        uint32_t offsets[NotifyCount];
        for (int k = 1; k < ChunkCount; ++k)
            offsets[k - 1] = FChunkBytes * uint32_t(k);
        offsets[ChunkCount - 1] = FBufferBytes - 1;
        offsets[StopIndex] = NotifyOnStop;
        FBuffer->SetNotificationPositions(NotifyCount, offsets);
        FBuffer->SetCurrentPosition(0);
        FFinished = false;
        FBuffer->Play(PlayLooping);
        FPlaying = true;
        if (OnStatus) OnStatus(true);
    } else {
        FPlaying = false;
        if (OnStatus) OnStatus(false);
        if (DeviceFailure) std::rethrow_exception(DeviceFailure);
    }
}

void TPlayer::Stop(bool release) {
    StopOutput(release, false);
}

void TPlayer::StopOutput(bool release, bool playOut) {
    if (!release && !FBuffer) return; // nothing to stop or rewind
    if (FPlaying) {
        FPlaying = false;
        // The stop notification follows.
        if (playOut)
            FBuffer->Drain();
        else
            FBuffer->Stop();
    }
    if (OnStatus) OnStatus(FPlaying);
    if (!release) {
        if (FBuffer) Rewind(); // the status handler may have released it
    } else {
        FBufferReady = false;
        // Out of the field first: freeing the buffer processes main-thread messages, which may
        // call back into the player.
        auto buffer = std::move(FBuffer);
        buffer.reset();
    }
}

void TPlayer::Shutdown() {
    Stop(true);
    FDevice.reset();
}

void TPlayer::SetVolume(int32_t volume) {
    if (FBuffer) FBuffer->SetVolume(volume);
}

void TPlayer::BufferNotify(TLoopingBuffer*, int index) {
    try {
        Notify(index);
    } catch (const std::exception& failure) {
        // The refill failed: stop rather than loop over stale sound, then show why.
        const std::string text = failure.what();
        try {
            Halt();
        } catch (...) {
            // Already failing; the first failure is the one to show.
        }
        if (OnError) OnError(text);
    }
}

void TPlayer::Notify(int index) {
    if (!FBuffer) return;
    // A chunk notification still on its way when output stopped belongs to the stopped run.
    if (!FPlaying && index != StopIndex) return;
    if (FFinished) {
        // The range's last frame has left the buffer, but the device may still hold it: it
        // plays out before output stops.
        StopOutput(false, true);
        return;
    }
    if (DocumentReady && !DocumentReady()) {
        Halt();
        return;
    }
    const uint32_t p = FBuffer->GetCurrentPosition();
    FPlayedBytes += p >= FLastPlayPos ? p - FLastPlayPos : FBufferBytes - FLastPlayPos + p;
    FLastPlayPos = p;
    if (index == StopIndex) {
        FFinished = true;
        Halt();
        return;
    }
    const bool ended = FDataEnded;
    const TLockedRegions region = FBuffer->Lock(FWritePos, FChunkBytes, 0);
    try {
        if (!ended) {
            const uint32_t n = std::min(FTotalBytes - FBytesRead, region.Bytes1);
            ReadRange(region.Ptr1, n);
            FBytesRead += n;
            if (n < region.Bytes1) {
                FDataEnded = true;
                std::memset(region.Ptr1 + n, SilenceByte(), region.Bytes1 - n);
            }
        } else {
            std::memset(region.Ptr1, SilenceByte(), region.Bytes1);
        }
    } catch (...) {
        FBuffer->Unlock(region);
        throw;
    }
    FBuffer->Unlock(region);
    if (!ended) {
        FWritePos += region.Bytes1;
        if (FWritePos >= FBufferBytes) FWritePos -= FBufferBytes;
    } else {
        // The end is declared a chunk early: the notification after it stops output, once the
        // last partial chunk has played. The report lands exactly on the range's end.
        const bool atEnd = FChunkBytes < FTotalBytes ? FPlayedBytes >= FTotalBytes - FChunkBytes
                                                     : FPlayedBytes >= FTotalBytes;
        if (atEnd) {
            FFinished = true;
            FPlayedBytes = FTotalBytes;
        }
    }
    if (OnPosition) OnPosition(FPlayedBytes);
}

void TPlayer::GetLevels(float& left, float& right) {
    left = 0;
    right = 0;
    const uint32_t channels = FFormat.nChannels;
    if (!Store || channels == 0) return;
    const uint64_t frames = uint64_t(FFormat.nSamplesPerSec) * 50 / 500;
    const uint64_t position = uint64_t(FStartIndex) + FPlayedBytes / 2;
    // Stay inside the range and inside the document's values.
    const uint64_t end =
        std::min<uint64_t>(Store->ValueCount(), uint64_t(FStartIndex) + FTotalBytes / 2);
    if (position >= end) return;
    const uint64_t available = std::min(frames, (end - position) / channels);
    if (available == 0) return;
    LevelValues.resize(size_t(available * channels));
    Store->ReadShorts(LevelValues.data(), int64_t(position),
                     int64_t(position + available * channels - 1));
    int keptLeft = 0;
    int keptRight = 0;
    const size_t rightOffset = channels > 1 ? 1 : 0;
    for (size_t k = 0; k < available; ++k) {
        const int l = LevelValues[k * channels];
        const int r = LevelValues[k * channels + rightOffset];
        if (std::abs(l) > std::abs(keptLeft)) keptLeft = l;
        if (std::abs(r) > std::abs(keptRight)) keptRight = r;
    }
    left = float(std::abs(keptLeft)) / 256.0f;
    right = float(std::abs(keptRight)) / 256.0f;
}

} // namespace orvella
