#pragma once
// A sound device whose clock the caller drives: nothing plays until Advance, which makes every
// running stream render the given number of frames at once and keeps what they rendered. Lets the
// player's notification logic run deterministically without a sound card.
// Like a sound card it may hold a latency: the last frames a stream rendered are still queued,
// not yet played; Stop drops them, Drain plays them out.
// Thread rule: every method may be called from any thread.

#include "playback/sounddevice.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace orvella {

class TDrivenDevice : public TSoundDevice {
public:
    // latencyFrames: how many of the frames a stream rendered last are queued, not yet played.
    explicit TDrivenDevice(uint32_t latencyFrames = 0);
    std::unique_ptr<TSoundStream> OpenStream(const TWaveFormat& format,
                                             TSoundRenderer& renderer) override;

    // Runs the clock for frames: each running stream renders them in one call.
    void Advance(uint32_t frames);
    // The bytes the streams have played so far, in order, in their own formats.
    std::vector<uint8_t> Output() const;
    void ClearOutput();
    int OpenStreams() const;
    int RunningStreams() const;

    struct TClock; // shared with the streams, which may outlive the device object

private:
    std::shared_ptr<TClock> Clock;
};

} // namespace orvella
