#pragma once
// TMainThread over Qt's event loop: posted and synchronised calls wait in a TCallQueue, and one
// queued Qt call per batch wakes the event loop to run them. ProcessMessages runs only that queue,
// never Qt's own events, so a wait in the engine (Close, a buffer's teardown) cannot re-enter a
// menu command, a timer or a paint.
// Thread rule: construct and destroy on the GUI thread; Post and Synchronize from any thread.

#include "engine/mainthread.h"

#include <QObject>

#include <exception>
#include <functional>
#include <thread>

namespace orvella {

class TQtMainThread : public QObject, public TMainThread {
    Q_OBJECT
public:
    explicit TQtMainThread(QObject* parent = nullptr);

    void Post(std::function<void()> fn) override;
    void Synchronize(std::function<void()> fn) override;
    void ProcessMessages() override;
    bool IsMainThread() const override;

    // Receives the exception of a posted call that threw (it never reaches Qt). Empty (the
    // default): its text is written to stderr.
    void SetFailureHandler(TCallQueue::TFailureHandler handler) { OnFailure = std::move(handler); }

private:
    void Drain();
    void Wake();
    void HandleFailure(std::exception_ptr failure) const;

    std::thread::id MainId;
    TCallQueue Queue;
    TCallQueue::TFailureHandler OnFailure;
};

} // namespace orvella
