#pragma once
// The engine's boxes as Qt message boxes. A box is always shown on the main thread: a call from a
// worker is handed over with TMainThread::Synchronize and waits there until the user closes the
// box, while the window keeps drawing and answering (the box runs its own event loop).
// Thread rule: ShowError and ShowMessage from any thread; construct on the main thread.

#include "engine/mainthread.h"
#include "engine/userdialogs.h"

namespace orvella {

class TQtUserDialogs : public TUserDialogs {
public:
    explicit TQtUserDialogs(TMainThread& mainThread)
        : Main(mainThread) {}

    // The application's error box: caption the application's title, a stop icon, OK.
    void ShowError(const std::string& text) override;
    void ShowMessage(const std::string& text, const std::string& caption,
                     TMessageIcon icon) override;

private:
    TMainThread& Main;
};

} // namespace orvella
