#pragma once
// TProgress: the percentage a running operation has done. The operation's body (and the decoder
// it calls) writes it on its worker; any thread may read it. A watcher set on the main thread
// hears the changes there: each change posts at most one call, and a call delivers the value
// current when it runs, so a fast body never floods the main thread's queue.
// Thread rule: store and load from any thread; Watch on the main thread before the first
// operation. Calls still queued when the progress is destroyed do nothing.

#include "engine/mainthread.h"

#include <atomic>
#include <functional>
#include <memory>

namespace orvella {

class TProgress {
public:
    TProgress() = default;
    TProgress(const TProgress&) = delete;
    TProgress& operator=(const TProgress&) = delete;

    TProgress& operator=(int percent) {
        store(percent);
        return *this;
    }
    void store(int percent);
    int load() const { return Shared->Value.load(); }

    // watcher(percent) runs on main after changes; an empty watcher stops the calls.
    void Watch(TMainThread& main, std::function<void(int percent)> watcher);

private:
    struct TShared {
        std::atomic<int> Value{0};
        // A delivery is queued and has not yet read Value.
        std::atomic<bool> Queued{false};
        TMainThread* Main = nullptr;
        std::function<void(int)> Watcher;
    };
    std::shared_ptr<TShared> Shared = std::make_shared<TShared>();
};

} // namespace orvella
