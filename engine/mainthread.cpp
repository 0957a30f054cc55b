#include "engine/mainthread.h"

#include <memory>
#include <utility>

namespace orvella {

// --- TCallQueue ---

bool TCallQueue::Push(std::function<void()> fn) {
    bool wasEmpty;
    {
        std::lock_guard<std::mutex> guard(Lock);
        wasEmpty = Queue.empty();
        Queue.push_back(std::move(fn));
    }
    Wake.notify_all();
    return wasEmpty;
}

void TCallQueue::SynchronizeThrough(const std::function<void(std::function<void()>)>& push,
                                    std::function<void()> fn) {
    // The waiter's state is shared with the queued call, so a call that outlives the wait (the
    // loop is torn down with it still queued) never touches a dead frame.
    struct TWait {
        std::mutex Lock;
        std::condition_variable Done;
        bool Finished = false;
        std::exception_ptr Failure;
    };
    auto wait = std::make_shared<TWait>();
    push([wait, fn = std::move(fn)] {
        std::exception_ptr failure;
        try {
            fn();
        } catch (...) {
            failure = std::current_exception();
        }
        std::lock_guard<std::mutex> guard(wait->Lock);
        wait->Failure = failure;
        wait->Finished = true;
        wait->Done.notify_all();
    });
    std::unique_lock<std::mutex> lock(wait->Lock);
    wait->Done.wait(lock, [&] { return wait->Finished; });
    if (wait->Failure) std::rethrow_exception(wait->Failure);
}

bool TCallQueue::RunOne(const TFailureHandler& onFailure) {
    std::function<void()> fn;
    {
        std::lock_guard<std::mutex> guard(Lock);
        if (Queue.empty()) return false;
        fn = std::move(Queue.front());
        Queue.pop_front();
    }
    try {
        fn();
    } catch (...) {
        if (onFailure) onFailure(std::current_exception());
    }
    return true;
}

size_t TCallQueue::RunPending(const TFailureHandler& onFailure) {
    const size_t pending = Size();
    size_t ran = 0;
    while (ran < pending && RunOne(onFailure))
        ++ran;
    return ran;
}

bool TCallQueue::WaitUntil(std::optional<std::chrono::steady_clock::time_point> deadline) {
    std::unique_lock<std::mutex> lock(Lock);
    if (!deadline) {
        Wake.wait(lock, [&] { return !Queue.empty(); });
        return true;
    }
    return Wake.wait_until(lock, *deadline, [&] { return !Queue.empty(); });
}

size_t TCallQueue::Size() const {
    std::lock_guard<std::mutex> guard(Lock);
    return Queue.size();
}

// --- TQueuedMainThread ---

bool TQueuedMainThread::IsMainThread() const {
    return std::this_thread::get_id() == MainId;
}

void TQueuedMainThread::Post(std::function<void()> fn) {
    if (Queue.Push(std::move(fn))) WakeLoop();
}

void TQueuedMainThread::Synchronize(std::function<void()> fn) {
    if (IsMainThread()) {
        fn();
        return;
    }
    TCallQueue::SynchronizeThrough([this](std::function<void()> call) { Post(std::move(call)); },
                                   std::move(fn));
}

// --- TMainLoop ---

void TMainLoop::HandleFailure(std::exception_ptr failure) {
    if (OnFailure) {
        OnFailure(failure);
    } else if (!Pending) {
        Pending = failure;
    }
}

void TMainLoop::RethrowFailure() {
    if (!Pending) return;
    std::exception_ptr failure = std::exchange(Pending, nullptr);
    std::rethrow_exception(failure);
}

void TMainLoop::ProcessMessages() {
    // Only what is pending now: calls posted by these calls wait for the next round. A failure
    // ends the round; the calls behind it stay queued.
    const auto onFailure = [this](std::exception_ptr e) { HandleFailure(e); };
    const size_t pending = Queue.Size();
    for (size_t i = 0; i < pending && Queue.RunOne(onFailure); ++i)
        RethrowFailure();
}

bool TMainLoop::RunUntil(const std::function<bool()>& done, int timeoutMs) {
    std::optional<std::chrono::steady_clock::time_point> deadline;
    if (timeoutMs >= 0)
        deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    const auto onFailure = [this](std::exception_ptr e) { HandleFailure(e); };
    for (;;) {
        while (Queue.RunOne(onFailure)) {
            RethrowFailure();
            if (done()) return true;
        }
        if (done()) return true;
        if (!Queue.WaitUntil(deadline)) return done();
    }
}

} // namespace orvella
