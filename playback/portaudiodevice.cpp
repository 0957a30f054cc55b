#include "playback/portaudiodevice.h"

#include "playback/DDirectSound.h"

#include <fcntl.h>
#include <portaudio.h>
#include <unistd.h>

namespace orvella {

uint32_t PortAudioResult(int paError) {
    switch (paError) {
    case paNoError:
        return DS_OK;
    case paInsufficientMemory:
        return DSERR_OUTOFMEMORY;
    case paInvalidChannelCount:
    case paInvalidSampleRate:
    case paSampleFormatNotSupported:
    case paBadIODeviceCombination:
        return DSERR_BADFORMAT;
    case paDeviceUnavailable:
        return DSERR_ALLOCATED;
    case paInvalidDevice:
    case paInvalidHostApi:
    case paHostApiNotFound:
        return DSERR_NODRIVER;
    case paNotInitialized:
        return DSERR_UNINITIALIZED;
    case paStreamIsStopped:
    case paStreamIsNotStopped:
        return DSERR_INVALIDCALL;
    case paBadBufferPtr:
    case paInvalidFlag:
    case paBadStreamPtr:
        return DSERR_INVALIDPARAM;
    default:
        return DSERR_GENERIC;
    }
}

namespace {

// The sound system's libraries print their device probing to stderr (cards and servers that are
// not there); it would bury our own messages, so stderr is closed while they probe.
class TQuietStderr {
public:
    TQuietStderr()
        : Saved(::dup(STDERR_FILENO)) {
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (Saved >= 0 && null >= 0) ::dup2(null, STDERR_FILENO);
        if (null >= 0) ::close(null);
    }
    ~TQuietStderr() {
        if (Saved < 0) return;
        ::dup2(Saved, STDERR_FILENO);
        ::close(Saved);
    }
    TQuietStderr(const TQuietStderr&) = delete;
    TQuietStderr& operator=(const TQuietStderr&) = delete;

private:
    int Saved;
};

void PaCheck(PaError error) {
    DSCheck(PortAudioResult(error));
}

int RenderCallback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                   PaStreamCallbackFlags, void* user) {
    static_cast<TSoundRenderer*>(user)->Render(output, uint32_t(frames));
    return paContinue;
}

class TPortAudioStream : public TSoundStream {
public:
    TPortAudioStream(std::shared_ptr<TPortAudioDevice> device, PaStream* stream)
        : Device(std::move(device))
        , Stream(stream) {}
    ~TPortAudioStream() override { Pa_CloseStream(Stream); }

    void Start() override { PaCheck(Pa_StartStream(Stream)); }
    void Stop() override {
        // Lets the output already handed to the card play out; no callback runs afterwards.
        if (Pa_IsStreamStopped(Stream) == 0) PaCheck(Pa_StopStream(Stream));
    }

private:
    std::shared_ptr<TPortAudioDevice> Device; // PortAudio stays initialised while a stream is open
    PaStream* Stream;
};

} // namespace

TPortAudioDevice::TPortAudioDevice() {
    PaError initialised;
    {
        TQuietStderr quiet;
        initialised = Pa_Initialize();
    }
    PaCheck(initialised);
    DeviceIndex = Pa_GetDefaultOutputDevice();
    if (DeviceIndex == paNoDevice || !Pa_GetDeviceInfo(DeviceIndex)) {
        Pa_Terminate();
        RaiseDSError(DSERR_NODRIVER);
    }
}

TPortAudioDevice::~TPortAudioDevice() {
    Pa_Terminate();
}

std::string TPortAudioDevice::DeviceName() const {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(DeviceIndex);
    return info && info->name ? info->name : "";
}

std::unique_ptr<TSoundStream> TPortAudioDevice::OpenStream(const WAVEFORMATEX& format,
                                                           TSoundRenderer& renderer) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(DeviceIndex);
    if (!info) RaiseDSError(DSERR_NODRIVER);
    if (format.wFormatTag != 1 || (format.wBitsPerSample != 8 && format.wBitsPerSample != 16))
        RaiseDSError(DSERR_BADFORMAT);
    PaStreamParameters output{};
    output.device = DeviceIndex;
    output.channelCount = format.nChannels;
    output.sampleFormat = format.wBitsPerSample == 8 ? paUInt8 : paInt16;
    output.suggestedLatency = info->defaultLowOutputLatency;
    const double rate = format.nSamplesPerSec;
    PaStream* stream = nullptr;
    PaError opened;
    {
        TQuietStderr quiet;
        opened = Pa_IsFormatSupported(nullptr, &output, rate);
        if (opened == paFormatIsSupported)
            opened = Pa_OpenStream(&stream, nullptr, &output, rate, paFramesPerBufferUnspecified,
                                   paClipOff, RenderCallback, &renderer);
    }
    PaCheck(opened);
    return std::make_unique<TPortAudioStream>(shared_from_this(), stream);
}

std::shared_ptr<TSoundDevice> OpenDefaultSoundDevice() {
    return std::make_shared<TPortAudioDevice>();
}

} // namespace orvella
