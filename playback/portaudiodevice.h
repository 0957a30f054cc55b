#pragma once
// The sound card through PortAudio: one output stream per sound buffer on the default output
// device, its callback pulling frames from the buffer.

#include "playback/sounddevice.h"

#include <memory>
#include <string>

namespace orvella {

// The sound layer's result code for a PortAudio error (0 for paNoError).
uint32_t PortAudioResult(int paError);

class TPortAudioDevice : public TSoundDevice,
                         public std::enable_shared_from_this<TPortAudioDevice> {
public:
    // Initialises PortAudio; SoundErrorNoDriver when there is no output device.
    TPortAudioDevice();
    ~TPortAudioDevice() override;
    TPortAudioDevice(const TPortAudioDevice&) = delete;
    TPortAudioDevice& operator=(const TPortAudioDevice&) = delete;

    std::unique_ptr<TSoundStream> OpenStream(const TWaveFormat& format,
                                             TSoundRenderer& renderer) override;
    std::string DeviceName() const;

private:
    int DeviceIndex;
};

} // namespace orvella
