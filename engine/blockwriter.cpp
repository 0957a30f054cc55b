#include "engine/blockwriter.h"

namespace orvella {

TBlockWriter::TBlockWriter(TLargeFile& target, TPeakBuilder* peaks, size_t blockValues)
    : Target(target)
    , Peaks(peaks)
    , Buffers(BufferCount, std::vector<int16_t>(blockValues)) {
    for (auto& b : Buffers)
        Free.push_back(b.data());
    Thread = std::thread([this] { Run(); });
}

TBlockWriter::~TBlockWriter() {
    {
        std::lock_guard<std::mutex> guard(Lock);
        Stopping = true;
    }
    Changed.notify_all();
    Thread.join();
}

void TBlockWriter::RethrowFailure() {
    if (Failure) std::rethrow_exception(Failure);
}

int16_t* TBlockWriter::Next() {
    std::unique_lock<std::mutex> guard(Lock);
    Changed.wait(guard, [this] { return !Free.empty() || Failure; });
    RethrowFailure();
    Filling = Free.back();
    Free.pop_back();
    return Filling;
}

void TBlockWriter::Submit(int64_t first, size_t count) {
    {
        std::lock_guard<std::mutex> guard(Lock);
        Queue.push_back({Filling, first, count});
        Filling = nullptr;
    }
    Changed.notify_all();
}

void TBlockWriter::Finish() {
    std::unique_lock<std::mutex> guard(Lock);
    Changed.wait(guard, [this] { return (Queue.empty() && !Busy) || Failure; });
    RethrowFailure();
}

void TBlockWriter::Run() {
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
            Target.WriteBlock(job.Buffer, job.First, job.First + int64_t(job.Count) - 1);
            if (Peaks) Peaks->Feed(job.Buffer, uint32_t(job.Count));
        } catch (...) {
            failure = std::current_exception();
        }
        guard.lock();
        Busy = false;
        Free.push_back(job.Buffer);
        if (failure) Failure = failure;
        Changed.notify_all();
        if (Failure) return; // nothing after a failed block may be written
    }
}

} // namespace orvella
