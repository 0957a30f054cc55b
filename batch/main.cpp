// orvella-batch: the editor's engine without its window, for scripts.

#include "batch/batchrunner.h"
#include "batch/options.h"

#include <csignal>
#include <cstdio>

namespace {

void OnSignal(int) {
    orvella::batch::TBatchRunner::Interrupted = true;
}

} // namespace

int main(int argc, char** argv) {
    using namespace orvella::batch;
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(UsageText(), stdout);
        return ExitOk;
    }
    TCommandLine line;
    try {
        line = ParseCommandLine(args);
    } catch (const TUsageError& e) {
        std::fprintf(stderr, "orvella-batch: %s\n%s", e.what(), UsageText());
        return ExitUsage;
    }
    // Ctrl+C stops after the running step (playback at once); the work files are deleted.
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    TBatchRunner runner(line);
    return runner.Run();
}
