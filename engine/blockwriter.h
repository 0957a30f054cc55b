#pragma once
// TBlockWriter writes blocks of values into a store, and feeds them to a peak builder, on a
// thread of its own, so that reading and computing the next block overlaps writing the last.
// Thread rule: one thread (a body) calls Next, Submit and Finish; the writer's own thread only
// writes and feeds the peaks, in the order the blocks were submitted.

#include "engine/largefile.h"
#include "engine/peakindex.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace orvella {

class TBlockWriter {
public:
    TBlockWriter(TLargeFile& target, TPeakBuilder* peaks, size_t blockValues);
    // Stops the thread; blocks not yet written are dropped (call Finish to keep them).
    ~TBlockWriter();
    TBlockWriter(const TBlockWriter&) = delete;
    TBlockWriter& operator=(const TBlockWriter&) = delete;

    // A free buffer of blockValues values to fill; waits while every buffer is in flight.
    // Rethrows the writer's failure.
    int16_t* Next();
    // Queues the buffer of the last Next: its first count values go to target values first ...
    void Submit(int64_t first, size_t count);
    // Waits until every queued block is written and fed; rethrows the writer's failure.
    void Finish();

private:
    struct TJob {
        int16_t* Buffer;
        int64_t First;
        size_t Count;
    };
    void Run();
    void RethrowFailure();

    static constexpr int BufferCount = 3;
    TLargeFile& Target;
    TPeakBuilder* Peaks;
    std::vector<std::vector<int16_t>> Buffers;
    std::mutex Lock;
    std::condition_variable Changed;
    std::vector<int16_t*> Free;
    std::deque<TJob> Queue;
    int16_t* Filling = nullptr;
    bool Busy = false; // the thread is writing a job taken off the queue
    bool Stopping = false;
    std::exception_ptr Failure;
    std::thread Thread;
};

} // namespace orvella
