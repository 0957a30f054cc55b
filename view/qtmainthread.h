#pragma once
// TMainThread over Qt's event loop: posted and synchronised calls wait in a TCallQueue, and one
// queued Qt call per batch wakes the event loop to run them. ProcessMessages runs only that queue,
// never Qt's own events, so a wait in the engine (Close, a buffer's teardown) cannot re-enter a
// menu command, a timer or a paint. The exception of a posted call never reaches Qt: without a
// failure handler its text is written to stderr.
// Thread rule: construct and destroy on the GUI thread; Post and Synchronize from any thread.

#include "engine/mainthread.h"

#include <QObject>

#include <exception>

namespace orvella {

class TQtMainThread : public QObject, public TQueuedMainThread {
    Q_OBJECT
public:
    explicit TQtMainThread(QObject* parent = nullptr);

    void ProcessMessages() override;

protected:
    void WakeLoop() override;

private:
    void Drain();
    void HandleFailure(std::exception_ptr failure) const;
};

} // namespace orvella
