#include "batch/consoledialogs.h"

#include <cstdio>
#include <mutex>

namespace orvella::batch {

namespace {
std::mutex OutputLock;

void WriteLine(const std::string& text) {
    std::lock_guard<std::mutex> guard(OutputLock);
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
}
} // namespace

void TConsoleDialogs::ShowError(const std::string& text) {
    ++FailureCount;
    WriteLine(text);
}

void TConsoleDialogs::ShowMessage(const std::string& text, const std::string&, TMessageIcon icon) {
    if (icon != TMessageIcon::Information) ++FailureCount;
    WriteLine(text);
}

} // namespace orvella::batch
