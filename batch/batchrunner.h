#pragma once
// Runs the steps of one orvella-batch command line on one document, each as a document operation
// on the worker thread, waiting on the main-thread loop.

#include "batch/consoledialogs.h"
#include "batch/mp3choice.h"
#include "batch/options.h"
#include "batch/progressbar.h"
#include "engine/document.h"
#include "engine/mainthread.h"
#include "engine/memoryclipboard.h"
#include "playback/player.h"

#include <atomic>
#include <memory>

namespace orvella::batch {

// Exit statuses.
constexpr int ExitOk = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;

class TBatchRunner {
public:
    explicit TBatchRunner(const TCommandLine& line);
    ~TBatchRunner();
    int Run();

    // Set from a signal handler: stop after the running step (playback stops at once).
    static std::atomic<bool> Interrupted;

private:
    int Begin();
    int RunStep(const TStep& step);
    // Waits for the running body with the progress bar; false when it failed.
    bool Finish(const std::string& label, int failuresBefore);
    void CheckRange(const TStep& step) const;
    void CheckPosition(const TStep& step, int64_t position) const;
    void CheckSaveTarget(const TStep& step) const;
    int PrintInfo();
    static TFilePrecision ParseBits(const TStep& step);
    int Play(const TStep& step);

    const TCommandLine& Line;
    TMainLoop Loop;
    TConsoleDialogs Dialogs;
    TMemoryClipboard Clipboard;
    TMp3Choice Mp3;
    TProgressBar Bar;
    std::unique_ptr<TDocument> Doc;
    std::unique_ptr<TPlayer> Player; // made by the first --play
};

} // namespace orvella::batch
