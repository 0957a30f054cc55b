#include "engine/mainthread.h"

#include <chrono>

namespace orvella {

TMainLoop::TMainLoop()
    : MainId(std::this_thread::get_id()) {}

bool TMainLoop::IsMainThread() const {
    return std::this_thread::get_id() == MainId;
}

void TMainLoop::Post(std::function<void()> fn) {
    {
        std::lock_guard<std::mutex> guard(Lock);
        Queue.push_back(std::move(fn));
    }
    Wake.notify_all();
}

void TMainLoop::Synchronize(std::function<void()> fn) {
    if (IsMainThread()) {
        fn();
        return;
    }
    std::mutex doneLock;
    std::condition_variable doneWake;
    bool done = false;
    std::exception_ptr failure;
    Post([&] {
        try {
            fn();
        } catch (...) {
            failure = std::current_exception();
        }
        std::lock_guard<std::mutex> guard(doneLock);
        done = true;
        doneWake.notify_all();
    });
    std::unique_lock<std::mutex> wait(doneLock);
    doneWake.wait(wait, [&] { return done; });
    if (failure) std::rethrow_exception(failure);
}

bool TMainLoop::RunOne(std::unique_lock<std::mutex>& lock) {
    if (Queue.empty()) return false;
    auto fn = std::move(Queue.front());
    Queue.pop_front();
    lock.unlock();
    fn();
    lock.lock();
    return true;
}

void TMainLoop::ProcessMessages() {
    std::unique_lock<std::mutex> lock(Lock);
    // Only what is pending now: calls posted by these calls wait for the next round.
    size_t pending = Queue.size();
    while (pending-- > 0 && RunOne(lock)) {
    }
}

bool TMainLoop::RunUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock<std::mutex> lock(Lock);
    for (;;) {
        while (RunOne(lock)) {
            lock.unlock();
            const bool finished = done();
            lock.lock();
            if (finished) return true;
        }
        lock.unlock();
        const bool finished = done();
        lock.lock();
        if (finished) return true;
        if (timeoutMs < 0) {
            Wake.wait(lock, [&] { return !Queue.empty(); });
        } else if (!Wake.wait_until(lock, deadline, [&] { return !Queue.empty(); })) {
            lock.unlock();
            const bool last = done();
            return last;
        }
    }
}

} // namespace orvella
