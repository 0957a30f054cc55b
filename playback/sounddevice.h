#pragma once
// The sound card as the sound layer sees it: a device opens one output stream per sound buffer,
// and while the stream runs the device's clock pulls frames from the buffer's renderer.
// Two devices implement it: TPortAudioDevice (the real sound card) and TDrivenDevice (a clock
// that the caller advances, for tests).

#include "engine/waveformat.h"

#include <cstdint>
#include <memory>

namespace orvella {

class TSoundRenderer {
public:
    virtual ~TSoundRenderer() = default;
    // Device thread: writes frames of output in the stream's format. Called by one thread at a
    // time; must not block, lock or allocate.
    virtual void Render(void* output, uint32_t frames) noexcept = 0;
};

class TSoundStream {
public:
    // Stops the stream if it runs and closes it.
    virtual ~TSoundStream() = default;
    // The device calls Render from now on.
    virtual void Start() = 0;
    // Stops at once: what the device still holds is dropped. After return no Render call runs
    // and none follows until the next Start.
    virtual void Stop() = 0;
    // Stops once the device has played every frame Render gave it; Render is not called again
    // meanwhile. The wait is bounded by the stream's latency, so a stalled device cannot hang it.
    // After return, as after Stop.
    virtual void Drain() = 0;
};

class TSoundDevice {
public:
    virtual ~TSoundDevice() = default;
    // Opens a stopped stream of the given PCM format that plays from renderer. Fails with
    // ESoundOutputError (an unsupported format: SoundErrorBadFormat). renderer outlives the stream.
    virtual std::unique_ptr<TSoundStream> OpenStream(const TWaveFormat& format,
                                                     TSoundRenderer& renderer) = 0;
};

// The system's default output device. Fails with SoundErrorNoDriver when there is none.
std::shared_ptr<TSoundDevice> OpenDefaultSoundDevice();

} // namespace orvella
