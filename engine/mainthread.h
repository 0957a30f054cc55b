#pragma once
// The main thread as the engine sees it. The editor implements it over its event loop, the batch
// tool and the tests with TMainLoop below. Nothing in the engine, the codecs or the player waits on
// the main thread except through Synchronize.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace orvella {

class TMainThread {
public:
    virtual ~TMainThread() = default;
    // Runs fn later on the main thread. Callable from any thread.
    virtual void Post(std::function<void()> fn) = 0;
    // Runs fn on the main thread and returns when it has run. On the main thread itself fn runs at
    // once. Callable from any thread.
    virtual void Synchronize(std::function<void()> fn) = 0;
    // Main thread only: runs what is pending now (posted and synchronised calls), without waiting.
    virtual void ProcessMessages() = 0;
    virtual bool IsMainThread() const = 0;
};

// A plain main-thread loop: the thread that constructs it is the main thread.
class TMainLoop : public TMainThread {
public:
    TMainLoop();
    void Post(std::function<void()> fn) override;
    void Synchronize(std::function<void()> fn) override;
    void ProcessMessages() override;
    bool IsMainThread() const override;

    // Main thread only: runs posted calls until done() is true (checked after each call and
    // before waiting). Returns false when timeoutMs passed first (timeoutMs < 0: no limit).
    bool RunUntil(const std::function<bool()>& done, int timeoutMs = -1);

private:
    bool RunOne(std::unique_lock<std::mutex>& lock);

    std::thread::id MainId;
    std::mutex Lock;
    std::condition_variable Wake;
    std::deque<std::function<void()>> Queue;
};

} // namespace orvella
