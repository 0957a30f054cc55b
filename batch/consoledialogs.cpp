#include "batch/consoledialogs.h"

#include <cstdio>
#include <mutex>
#include <unistd.h>

namespace orvella::batch {

namespace {
std::mutex OutputLock;
} // namespace

std::string ForTerminal(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            out += text[i];
        } else if (i + 1 == text.size() || text[i + 1] != '\n') {
            out += '\n';
        }
    }
    return out;
}

void WriteMessageLine(const std::string& text) {
    std::lock_guard<std::mutex> guard(OutputLock);
    const std::string shown = ::isatty(STDERR_FILENO) ? ForTerminal(text) : text;
    std::fprintf(stderr, "%s\n", shown.c_str());
    std::fflush(stderr);
}

void TConsoleDialogs::ShowError(const std::string& text) {
    ++FailureCount;
    WriteMessageLine(text);
}

void TConsoleDialogs::ShowMessage(const std::string& text, const std::string&, TMessageIcon icon) {
    if (icon != TMessageIcon::Information) ++FailureCount;
    WriteMessageLine(text);
}

} // namespace orvella::batch
