#pragma once
// The system's default output device, opened when the first stream is: the program shows its
// window without waiting for the sound system to probe its devices, and a machine without sound
// fails only at Play, with the device's error.
// Thread rule: OpenStream from any thread; the device is opened once.

#include "playback/sounddevice.h"

#include <memory>
#include <mutex>

namespace orvella {

class TLazySoundDevice : public TSoundDevice {
public:
    // Fails as OpenDefaultSoundDevice does (SoundErrorNoDriver without a device); a later call
    // tries again.
    std::unique_ptr<TSoundStream> OpenStream(const TWaveFormat& format,
                                             TSoundRenderer& renderer) override;

private:
    std::mutex Lock;
    std::shared_ptr<TSoundDevice> Device;
};

} // namespace orvella
