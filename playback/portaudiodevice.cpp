#include "playback/portaudiodevice.h"

#include "playback/DDirectSound.h"

#include <portaudio.h>

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
    PaCheck(Pa_Initialize());
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
    PaCheck(Pa_IsFormatSupported(nullptr, &output, rate));
    PaStream* stream = nullptr;
    PaCheck(Pa_OpenStream(&stream, nullptr, &output, rate, paFramesPerBufferUnspecified, paClipOff,
                          RenderCallback, &renderer));
    return std::make_unique<TPortAudioStream>(shared_from_this(), stream);
}

std::shared_ptr<TSoundDevice> OpenDefaultSoundDevice() {
    return std::make_shared<TPortAudioDevice>();
}

} // namespace orvella
