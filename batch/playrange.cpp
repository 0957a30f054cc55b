#include "batch/playrange.h"

#include "engine/errors.h"

#include <algorithm>
#include <chrono>
#include <string>

namespace orvella {

bool PlayRange(TPlayer& player, TMainLoop& loop, const TPlaySource& source, uint16_t channels,
               uint32_t sampleRate, uint32_t startFrame, uint32_t stopFrame,
               const std::function<void(uint32_t playedFrames)>& onPosition, int timeoutMs,
               const std::function<bool()>& stopRequested) {
    const auto savedPosition = player.OnPosition;
    const auto savedStatus = player.OnStatus;
    const auto savedError = player.OnError;
    auto restore = [&] {
        player.OnPosition = savedPosition;
        player.OnStatus = savedStatus;
        player.OnError = savedError;
    };
    bool started = false;
    bool done = false;
    std::string failure;
    const uint32_t frameBytes = uint32_t(channels) * 2;
    player.OnStatus = [&](bool playing) {
        if (playing)
            started = true;
        else if (started)
            done = true;
    };
    player.OnPosition = [&](uint32_t bytes) {
        if (onPosition && frameBytes) onPosition(bytes / frameBytes);
    };
    player.OnError = [&](const std::string& text) {
        if (failure.empty()) failure = text;
        done = true;
    };
    bool finished = false;
    try {
        const uint32_t frames = stopFrame > startFrame ? stopFrame - startFrame : 0;
        player.Prepare(source, uint32_t(channels) * startFrame,
                       MakePCMFormat(channels, sampleRate, 16), frames * frameBytes);
        player.Play();
        if (started) {
            // The loop wakes at least every StopPollMs, so a stop request is seen even when the
            // device has stopped calling back.
            constexpr int StopPollMs = 100;
            const auto deadline =
                std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
            auto ended = [&] { return done || (stopRequested && stopRequested()); };
            for (int slice = timeoutMs < 0 ? StopPollMs : std::min(timeoutMs, StopPollMs);
                 slice > 0;) {
                if (loop.RunUntil(ended, slice)) break;
                if (timeoutMs >= 0) {
                    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now());
                    slice = int(std::clamp<int64_t>(left.count(), 0, StopPollMs));
                }
            }
        }
        finished = done == started && failure.empty();
        if (!finished) player.Halt();
    } catch (...) {
        restore();
        throw;
    }
    restore();
    // A refill that failed during playback is an error of the playback, not an early end.
    if (!failure.empty()) throw Exception(failure);
    return finished;
}

} // namespace orvella
