#pragma once
// TDocumentSnapshot: what a reader of the document (painting, the player, the batch tool) needs
// to see together: the read store, the peak index and the format of the sound the store holds.
// The document builds a new one whenever its peak index is in place for a new store or format,
// and replaces the published one as a whole; a reader keeps the one it took for as long as it
// needs it, whatever the document does meanwhile.
// Thread rule: immutable once published; any thread may hold and read it.

#include "engine/peakindex.h"
#include "engine/samplestore.h"

#include <cstdint>
#include <memory>

namespace orvella {

struct TDocumentSnapshot {
    // The read store on the work file of this picture; null when no document is open (the format
    // fields are then 0). It stays readable while held, even after the document moved on.
    std::shared_ptr<TSampleStore> Store;
    // Never null. When Frames > PeakBlockFrames it holds (Frames div PeakBlockFrames + 1) ×
    // Channels entries of this store's values. A document of PeakBlockFrames frames or fewer needs
    // no index and its scan keeps the one it had: the entries may then be an earlier sound's (or
    // none) and must not be read.
    std::shared_ptr<const TPeakIndexEntries> PeakIndex;
    uint16_t Channels = 0;
    uint32_t SampleRate = 0;
    uint32_t Frames = 0;
    uint64_t DataBytes = 0;
    double Duration = 0;
    TSampleFormat Format = TSampleFormat::Int16;
};

} // namespace orvella
