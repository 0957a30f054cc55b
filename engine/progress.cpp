#include "engine/progress.h"

namespace orvella {

void TProgress::store(int percent) {
    TShared& shared = *Shared;
    if (shared.Value.exchange(percent) == percent || !shared.Watcher) return;
    if (shared.Queued.exchange(true)) return;
    shared.Main->Post([weak = std::weak_ptr<TShared>(Shared)] {
        const std::shared_ptr<TShared> alive = weak.lock();
        if (!alive) return;
        alive->Queued = false;
        if (alive->Watcher) alive->Watcher(alive->Value.load());
    });
}

void TProgress::Watch(TMainThread& main, std::function<void(int percent)> watcher) {
    Shared->Main = &main;
    Shared->Watcher = std::move(watcher);
}

} // namespace orvella
