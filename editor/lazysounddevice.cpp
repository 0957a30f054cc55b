#include "editor/lazysounddevice.h"

namespace orvella {

std::unique_ptr<TSoundStream> TLazySoundDevice::OpenStream(const TWaveFormat& format,
                                                           TSoundRenderer& renderer) {
    std::shared_ptr<TSoundDevice> device;
    {
        std::lock_guard<std::mutex> hold(Lock);
        if (!Device) Device = OpenDefaultSoundDevice();
        device = Device;
    }
    return device->OpenStream(format, renderer);
}

} // namespace orvella
