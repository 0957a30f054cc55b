#include "view/qtmainthread.h"

#include <QMetaObject>

#include <cstdio>
#include <stdexcept>

namespace orvella {

TQtMainThread::TQtMainThread(QObject* parent)
    : QObject(parent) {}

void TQtMainThread::WakeLoop() {
    // Queued to this object, so the call runs on the GUI thread's event loop.
    QMetaObject::invokeMethod(this, &TQtMainThread::Drain, Qt::QueuedConnection);
}

void TQtMainThread::ProcessMessages() {
    Queue.RunPending([this](std::exception_ptr e) { HandleFailure(e); });
}

void TQtMainThread::Drain() {
    // One batch per wake-up keeps the window responsive under a flood of posts. A call queued
    // while the batch ran found the queue non-empty and did not wake us: wake again for it.
    ProcessMessages();
    if (Queue.Size() > 0) WakeLoop();
}

void TQtMainThread::HandleFailure(std::exception_ptr failure) const {
    if (OnFailure) {
        OnFailure(failure);
        return;
    }
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "orvella: a main-thread call failed: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "orvella: a main-thread call failed\n");
    }
}

} // namespace orvella
