#pragma once
// TWriteBehind passes filled buffers, in order, to a write function on a thread of its own, so
// that producing the next buffer overlaps writing the last. Meant for sequential copies (an
// import): the writing core only reads the buffers the producing core filled. A copy that fits in
// one buffer needs no overlap: its buffer is written by Finish on the caller's thread, and the
// writer's thread starts only with the second buffer.
// Thread rule: one thread calls Next, Submit and Finish; the write function runs on the
// writer's own thread (or in Finish, as above), one buffer at a time.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace orvella {

class TWriteBehind {
public:
    using TWrite = std::function<void(const uint8_t* bytes, size_t count)>;

    TWriteBehind(TWrite write, size_t bufferBytes);
    // Stops the thread; buffers not yet written are dropped (call Finish to keep them).
    ~TWriteBehind();
    TWriteBehind(const TWriteBehind&) = delete;
    TWriteBehind& operator=(const TWriteBehind&) = delete;

    // A free buffer of bufferBytes bytes to fill (its bytes are not cleared); waits while every
    // buffer is in flight. Rethrows the first failure of the write function.
    uint8_t* Next();
    // Queues the buffer of the last Next with its first count bytes filled.
    void Submit(size_t count);
    // Waits until every queued buffer is written; rethrows the first failure.
    void Finish();

private:
    struct TJob {
        uint8_t* Buffer;
        size_t Count;
    };
    void Run();
    void RethrowFailure();
    // Writes one job outside the lock and returns its buffer; the failure is kept. Lock held on
    // entry and on return.
    void WriteJob(std::unique_lock<std::mutex>& guard, const TJob& job);

    static constexpr size_t BufferCount = 3;
    TWrite Write;
    // Made as Next first needs them, so a short copy allocates (and touches) one buffer only.
    const size_t BufferBytes;
    std::vector<std::unique_ptr<uint8_t[]>> Buffers;
    std::mutex Lock;
    std::condition_variable Changed;
    std::vector<uint8_t*> Free;
    std::deque<TJob> Queue;
    uint8_t* Filling = nullptr;
    bool Busy = false; // the thread is writing a job taken off the queue
    bool Stopping = false;
    std::exception_ptr Failure;
    std::thread Thread;
};

} // namespace orvella
