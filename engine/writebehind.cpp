#include "engine/writebehind.h"

namespace orvella {

TWriteBehind::TWriteBehind(TWrite write, size_t bufferBytes)
    : Write(std::move(write))
    , BufferBytes(bufferBytes) {
    Buffers.reserve(BufferCount);
}

TWriteBehind::~TWriteBehind() {
    {
        std::lock_guard<std::mutex> guard(Lock);
        Stopping = true;
    }
    Changed.notify_all();
    if (Thread.joinable()) Thread.join();
}

void TWriteBehind::RethrowFailure() {
    if (Failure) std::rethrow_exception(Failure);
}

uint8_t* TWriteBehind::Next() {
    std::unique_lock<std::mutex> guard(Lock);
    if (Free.empty() && Buffers.size() < BufferCount) {
        Buffers.push_back(std::make_unique_for_overwrite<uint8_t[]>(BufferBytes));
        Free.push_back(Buffers.back().get());
    }
    Changed.wait(guard, [this] { return !Free.empty() || Failure; });
    RethrowFailure();
    Filling = Free.back();
    Free.pop_back();
    return Filling;
}

void TWriteBehind::Submit(size_t count) {
    {
        std::lock_guard<std::mutex> guard(Lock);
        Queue.push_back({Filling, count});
        Filling = nullptr;
        // A second buffer in flight: from now on the writing overlaps the filling.
        if (!Thread.joinable() && Queue.size() > 1) Thread = std::thread([this] { Run(); });
    }
    Changed.notify_all();
}

void TWriteBehind::Finish() {
    std::unique_lock<std::mutex> guard(Lock);
    if (!Thread.joinable()) {
        while (!Queue.empty() && !Failure) {
            const TJob job = Queue.front();
            Queue.pop_front();
            WriteJob(guard, job);
        }
    }
    Changed.wait(guard, [this] { return (Queue.empty() && !Busy) || Failure; });
    RethrowFailure();
}

void TWriteBehind::WriteJob(std::unique_lock<std::mutex>& guard, const TJob& job) {
    Busy = true;
    guard.unlock();
    std::exception_ptr failure;
    try {
        Write(job.Buffer, job.Count);
    } catch (...) {
        failure = std::current_exception();
    }
    guard.lock();
    Busy = false;
    Free.push_back(job.Buffer);
    if (failure && !Failure) Failure = failure;
}

void TWriteBehind::Run() {
    std::unique_lock<std::mutex> guard(Lock);
    for (;;) {
        Changed.wait(guard, [this] { return !Queue.empty() || Stopping; });
        if (Stopping) return;
        const TJob job = Queue.front();
        Queue.pop_front();
        WriteJob(guard, job);
        Changed.notify_all();
        if (Failure) return; // nothing after a failed buffer may be written
    }
}

} // namespace orvella
