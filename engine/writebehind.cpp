#include "engine/writebehind.h"

namespace orvella {

TWriteBehind::TWriteBehind(TWrite write, size_t bufferBytes)
    : Write(std::move(write))
    , Buffers(BufferCount, std::vector<uint8_t>(bufferBytes)) {
    for (auto& b : Buffers)
        Free.push_back(b.data());
    Thread = std::thread([this] { Run(); });
}

TWriteBehind::~TWriteBehind() {
    {
        std::lock_guard<std::mutex> guard(Lock);
        Stopping = true;
    }
    Changed.notify_all();
    Thread.join();
}

void TWriteBehind::RethrowFailure() {
    if (Failure) std::rethrow_exception(Failure);
}

uint8_t* TWriteBehind::Next() {
    std::unique_lock<std::mutex> guard(Lock);
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
    }
    Changed.notify_all();
}

void TWriteBehind::Finish() {
    std::unique_lock<std::mutex> guard(Lock);
    Changed.wait(guard, [this] { return (Queue.empty() && !Busy) || Failure; });
    RethrowFailure();
}

void TWriteBehind::Run() {
    std::unique_lock<std::mutex> guard(Lock);
    for (;;) {
        Changed.wait(guard, [this] { return !Queue.empty() || Stopping; });
        if (Stopping) return;
        const TJob job = Queue.front();
        Queue.pop_front();
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
        if (failure) Failure = failure;
        Changed.notify_all();
        if (Failure) return; // nothing after a failed buffer may be written
    }
}

} // namespace orvella
