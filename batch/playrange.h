#pragma once
// Playing one range of a document to its end on a plain main loop: how the batch tool plays.
// The window follows the player's reports from its own event loop instead.

#include "engine/document.h"
#include "engine/mainthread.h"
#include "playback/player.h"

#include <cstdint>
#include <functional>

namespace orvella {

// Plays frames [startFrame, stopFrame) of source on player and runs loop until the playback
// has ended (or timeoutMs passed, < 0: no limit, or stopRequested returned true; the playback is
// then halted and false returned). onPosition gets each position report as frames played from
// startFrame. The player must have run InitDevice; a missing device raises its error, and so does
// a refill that fails while the range plays. Main thread only.
bool PlayRange(TPlayer& player, TMainLoop& loop, const TPlaySource& source, uint16_t channels,
               uint32_t sampleRate, uint32_t startFrame, uint32_t stopFrame,
               const std::function<void(uint32_t playedFrames)>& onPosition = {},
               int timeoutMs = -1, const std::function<bool()>& stopRequested = {});
// The same over a document, in its own format: store and format from one snapshot.
inline bool PlayRange(TPlayer& player, TMainLoop& loop, TDocument& document, uint32_t startFrame,
                      uint32_t stopFrame,
                      const std::function<void(uint32_t playedFrames)>& onPosition = {},
                      int timeoutMs = -1, const std::function<bool()>& stopRequested = {}) {
    const auto snapshot = document.Snapshot();
    const TPlaySource source{snapshot->Store, [&document] { return document.Ready.load(); }};
    return PlayRange(player, loop, source, snapshot->Channels, snapshot->SampleRate, startFrame,
                     stopFrame, onPosition, timeoutMs, stopRequested);
}

} // namespace orvella
