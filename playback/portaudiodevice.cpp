#include "playback/portaudiodevice.h"

#include "playback/soundoutput.h"

#include <algorithm>
#include <alsa/asoundlib.h>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <dlfcn.h>
#include <portaudio.h>
#include <thread>

namespace orvella {

uint32_t PortAudioResult(int paError) {
    switch (paError) {
    case paNoError:
        return SoundOk;
    case paInsufficientMemory:
        return SoundErrorOutOfMemory;
    case paInvalidChannelCount:
    case paInvalidSampleRate:
    case paSampleFormatNotSupported:
    case paBadIODeviceCombination:
        return SoundErrorBadFormat;
    case paDeviceUnavailable:
        return SoundErrorAllocated;
    case paInvalidDevice:
    case paInvalidHostApi:
    case paHostApiNotFound:
        return SoundErrorNoDriver;
    case paNotInitialized:
        return SoundErrorUninitialized;
    case paStreamIsStopped:
    case paStreamIsNotStopped:
        return SoundErrorInvalidCall;
    case paBadBufferPtr:
    case paInvalidFlag:
    case paBadStreamPtr:
        return SoundErrorInvalidParam;
    default:
        return SoundErrorGeneric;
    }
}

namespace {

// The host APIs print their device probing (cards and servers that are not there) and their
// recoveries from underruns straight to stderr, where it would bury our own messages. Their
// reporting hooks are turned off instead, so the process's descriptors stay as they are.
extern "C" void SilentAlsaError(const char*, int, const char*, int, const char*, ...) {}
extern "C" void SilentJackMessage(const char*) {}

void SilenceHostApis() {
    snd_lib_error_set_handler(SilentAlsaError);
    // The JACK client library is there only when PortAudio was built with it; its functions are
    // looked up rather than linked so that this holds either way.
    using TSetHandler = void (*)(void (*)(const char*));
    for (const char* name : {"jack_set_error_function", "jack_set_info_function"})
        if (void* set = ::dlsym(RTLD_DEFAULT, name))
            reinterpret_cast<TSetHandler>(set)(SilentJackMessage);
}

void PaCheck(PaError error) {
    DSCheck(PortAudioResult(error));
}

// One output stream. Its callback runs on PortAudio's thread: it pulls frames from the renderer,
// or writes silence once a drain has begun, and counts the frames the device has played.
class TPortAudioStream : public TSoundStream {
public:
    TPortAudioStream(std::shared_ptr<TPortAudioDevice> device, TSoundRenderer& renderer,
                     const TWaveFormat& format)
        : Device(std::move(device))
        , Renderer(renderer)
        , Rate(format.nSamplesPerSec)
        , FrameBytes(format.nBlockAlign)
        , Silence(format.wBitsPerSample == 8 ? 0x80 : 0) {}
    ~TPortAudioStream() override {
        if (Stream) Pa_CloseStream(Stream);
    }
    TPortAudioStream(const TPortAudioStream&) = delete;
    TPortAudioStream& operator=(const TPortAudioStream&) = delete;

    void Open(const PaStreamParameters& output) {
        PaCheck(Pa_OpenStream(&Stream, nullptr, &output, Rate, paFramesPerBufferUnspecified,
                              paClipOff, &TPortAudioStream::Callback, this));
        const PaStreamInfo* info = Pa_GetStreamInfo(Stream);
        Latency = info && info->outputLatency > 0 ? info->outputLatency : output.suggestedLatency;
    }

    void Start() override {
        Draining.store(false);
        Handed = 0;
        RealEnd.store(0);
        Played.store(0);
        PaCheck(Pa_StartStream(Stream));
    }
    void Stop() override {
        // Abort, not Pa_StopStream: a user's stop is immediate whatever the host API does.
        if (Pa_IsStreamStopped(Stream) == 0) PaCheck(Pa_AbortStream(Stream));
    }
    void Drain() override {
        if (Pa_IsStreamStopped(Stream) != 0) return;
        // Some host APIs drop what the device holds even on Pa_StopStream, so the stream runs on
        // silence until the device has played the renderer's last frame, then is aborted. The
        // device's own count of what it still holds decides, not a clock: an underrun while
        // draining delays the last frame.
        Draining.store(true);
        const auto limit = std::chrono::steady_clock::now() +
                           std::chrono::nanoseconds(int64_t(Latency * 1e9)) + MaxStall;
        // A callback that began before the flag may still be rendering: let it count its frames.
        const uint64_t seq = CallbackSeq.load();
        if (seq % 2 == 1)
            while (CallbackSeq.load() == seq && std::chrono::steady_clock::now() < limit)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
        const uint64_t end = RealEnd.load();
        while (Played.load() < end && std::chrono::steady_clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        Stop();
    }

private:
    // How long past its latency a draining device may take before it counts as stalled.
    static constexpr std::chrono::milliseconds MaxStall{1000};

    static int Callback(const void*, void* output, unsigned long frames,
                        const PaStreamCallbackTimeInfo* time, PaStreamCallbackFlags, void* user) {
        auto* self = static_cast<TPortAudioStream*>(user);
        self->CallbackSeq.fetch_add(1);
        // Frames the device still holds, from its delay before this block; without one, the
        // stream's latency.
        double delay = self->Latency;
        if (time && time->outputBufferDacTime > 0 && time->currentTime > 0) {
            const double d = time->outputBufferDacTime - time->currentTime;
            if (d >= 0 && d < 10) delay = d;
        }
        const uint64_t held = uint64_t(std::llround(delay * self->Rate));
        const uint64_t played = self->Handed > held ? self->Handed - held : 0;
        if (played > self->Played.load(std::memory_order_relaxed)) self->Played.store(played);
        self->Handed += frames;
        if (self->Draining.load()) {
            std::memset(output, self->Silence, size_t(frames) * self->FrameBytes);
        } else {
            self->Renderer.Render(output, uint32_t(frames));
            self->RealEnd.store(self->Handed);
        }
        self->CallbackSeq.fetch_add(1);
        return paContinue;
    }

    std::shared_ptr<TPortAudioDevice> Device; // PortAudio stays initialised while a stream is open
    TSoundRenderer& Renderer;
    const double Rate;
    const uint32_t FrameBytes;
    const uint8_t Silence;
    PaStream* Stream = nullptr;
    double Latency = 0; // seconds

    uint64_t Handed = 0; // callback thread: frames given to the device since Start

    // Shared with the callback thread, in frames since Start.
    std::atomic<bool> Draining{false};
    std::atomic<uint64_t> RealEnd{0};     // the end of the renderer's last block
    std::atomic<uint64_t> Played{0};      // what the device has played, by its last count
    std::atomic<uint64_t> CallbackSeq{0}; // odd while a callback runs
};

} // namespace

TPortAudioDevice::TPortAudioDevice() {
    SilenceHostApis();
    PaCheck(Pa_Initialize());
    DeviceIndex = Pa_GetDefaultOutputDevice();
    if (DeviceIndex == paNoDevice || !Pa_GetDeviceInfo(DeviceIndex)) {
        Pa_Terminate();
        RaiseDSError(SoundErrorNoDriver);
    }
}

TPortAudioDevice::~TPortAudioDevice() {
    Pa_Terminate();
}

std::string TPortAudioDevice::DeviceName() const {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(DeviceIndex);
    return info && info->name ? info->name : "";
}

std::unique_ptr<TSoundStream> TPortAudioDevice::OpenStream(const TWaveFormat& format,
                                                           TSoundRenderer& renderer) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(DeviceIndex);
    if (!info) RaiseDSError(SoundErrorNoDriver);
    if (format.wFormatTag != 1 || (format.wBitsPerSample != 8 && format.wBitsPerSample != 16))
        RaiseDSError(SoundErrorBadFormat);
    PaStreamParameters output{};
    output.device = DeviceIndex;
    output.channelCount = format.nChannels;
    output.sampleFormat = format.wBitsPerSample == 8 ? paUInt8 : paInt16;
    output.suggestedLatency = info->defaultHighOutputLatency;
    PaCheck(Pa_IsFormatSupported(nullptr, &output, format.nSamplesPerSec));
    auto stream = std::make_unique<TPortAudioStream>(shared_from_this(), renderer, format);
    stream->Open(output);
    return stream;
}

std::shared_ptr<TSoundDevice> OpenDefaultSoundDevice() {
    return std::make_shared<TPortAudioDevice>();
}

} // namespace orvella
