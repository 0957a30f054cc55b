#pragma once
// The main thread as the engine sees it. The editor implements it over Qt's event loop, the batch
// tool and the tests with TMainLoop below; both are TQueuedMainThreads, which keep their pending
// calls in a TCallQueue. Nothing in the engine, the codecs or the player waits on the main thread
// except through Synchronize.
//
// Contract of every implementation:
// - Synchronize(fn): an exception thrown by fn is caught on the main thread and rethrown to the
//   caller of Synchronize, which is the only place that sees it.
// - Post(fn): fn must not throw. If it does, the exception does not travel through the loop's
//   caller or the toolkit: the loop catches it, drops that call, and hands the exception to its
//   failure handler (TMainLoop: SetFailureHandler, by default rethrown from ProcessMessages or
//   RunUntil after the call was removed, so later calls stay queued for the next round; the Qt
//   loop: reported, never thrown into Qt). Calls queued behind it still run.
// - ProcessMessages runs only the engine's queued calls (Post and Synchronize), never user input,
//   timers or paint events, so a wait inside Close or a buffer's teardown cannot re-enter a menu
//   command.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace orvella {

class TMainThread {
public:
    virtual ~TMainThread() = default;
    // Runs fn later on the main thread. Callable from any thread. fn must not throw (see above).
    virtual void Post(std::function<void()> fn) = 0;
    // Runs fn on the main thread and returns when it has run; fn's exception reaches the caller.
    // On the main thread itself fn runs at once. Callable from any thread.
    virtual void Synchronize(std::function<void()> fn) = 0;
    // Main thread only: runs the engine's calls pending now (posted and synchronised), without
    // waiting and without handling any other event.
    virtual void ProcessMessages() = 0;
    virtual bool IsMainThread() const = 0;
};

// The pending calls of a main-thread loop, with the exception transport of Synchronize. Push and
// SynchronizeThrough are callable from any thread; RunOne and RunPending from the main thread.
class TCallQueue {
public:
    using TFailureHandler = std::function<void(std::exception_ptr)>;

    // Queues fn and wakes WaitUntil. Returns true when the queue was empty before, so that a loop
    // that must be woken some other way (an event loop) needs one wake-up per batch.
    bool Push(std::function<void()> fn);
    // Queues fn (through push, which also wakes the loop) and waits until it has run; rethrows its
    // exception here. Must not be called on the main thread (that would wait for itself).
    static void SynchronizeThrough(const std::function<void(std::function<void()>)>& push,
                                   std::function<void()> fn);
    // Runs the oldest call; false when there was none. A call that throws is removed and its
    // exception handed to onFailure.
    bool RunOne(const TFailureHandler& onFailure);
    // Runs the calls pending at entry; calls they queue wait for the next round.
    size_t RunPending(const TFailureHandler& onFailure);
    // Waits until a call is queued or the deadline passes (none: no limit). True when one is.
    bool WaitUntil(std::optional<std::chrono::steady_clock::time_point> deadline);
    size_t Size() const;

private:
    mutable std::mutex Lock;
    std::condition_variable Wake;
    std::deque<std::function<void()>> Queue;
};

// A main thread whose calls wait in a TCallQueue until its loop runs them; the thread that
// constructs it is the main thread. Post queues a call and wakes the loop once per batch
// (WakeLoop); Synchronize posts and waits, or runs fn at once on the main thread. A subclass runs
// the queue in its loop and chooses what becomes of a posted call's exception when no failure
// handler is set.
class TQueuedMainThread : public TMainThread {
public:
    void Post(std::function<void()> fn) override;
    void Synchronize(std::function<void()> fn) override;
    bool IsMainThread() const override;

    // Receives the exception of a posted call that threw, on the main thread; empty (the
    // default): the subclass's own handling.
    void SetFailureHandler(TCallQueue::TFailureHandler handler) { OnFailure = std::move(handler); }

protected:
    // Called by Post on the posting thread when its call went into an empty queue. A loop that
    // waits on the queue itself (TCallQueue::WaitUntil) is woken by the queue: nothing to do.
    virtual void WakeLoop() {}

    TCallQueue Queue;
    TCallQueue::TFailureHandler OnFailure;

private:
    const std::thread::id MainId = std::this_thread::get_id();
};

// A plain main-thread loop. Without a failure handler, a posted call's exception is rethrown from
// ProcessMessages or RunUntil.
class TMainLoop : public TQueuedMainThread {
public:
    void ProcessMessages() override;

    // Main thread only: runs posted calls until done() is true (checked after each call and
    // before waiting). Returns false when timeoutMs passed first (timeoutMs < 0: no limit).
    bool RunUntil(const std::function<bool()>& done, int timeoutMs = -1);

private:
    void HandleFailure(std::exception_ptr failure);
    // Rethrows the failure a posted call left, if any.
    void RethrowFailure();

    std::exception_ptr Pending;
};

} // namespace orvella
