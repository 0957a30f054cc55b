#pragma once
// Rewrites a store a chunk at a time on two threads, each chunk whole on one of them: its source
// is read, its values computed and written within one core's cache. Handing buffers from one core
// to the other costs more than the arithmetic of most effects, and two lanes also share that
// arithmetic. The written chunks are fed to a peak builder, and reported, in chunk order.
// Thread rule: RunChunkLanes is called by one thread (a body), which works as one of the lanes;
// fill and report are called from both lanes, report and the peak builder never at once.

#include "engine/peakindex.h"
#include "engine/samplestore.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <type_traits>

namespace orvella {

// Where the values fill computed for a chunk go in the target store.
struct TChunkPlace {
    int64_t TargetIndex;
    size_t Count;
};

// fill(k, scratch, out): computes chunk k into out (scratch is a second buffer for its source)
// and returns where those values go; both buffers hold bufferValues values of the target's type
// T (int16_t or float) and belong to the calling lane. report(k), when given, runs after chunk k
// has been written and fed.
template <class T> using TChunkFill = std::function<TChunkPlace(int64_t k, T* scratch, T* out)>;

// Runs chunks 0 .. chunks-1. The first failure of either lane is rethrown once both have stopped;
// chunks after a failed one may still have been written (the caller discards the target).
template <class T = int16_t>
void RunChunkLanes(TSampleStore& target, TPeakBuilder* peaks, int64_t chunks, size_t bufferValues,
                   const std::type_identity_t<TChunkFill<T>>& fill,
                   const std::function<void(int64_t k)>& report = {});

} // namespace orvella
