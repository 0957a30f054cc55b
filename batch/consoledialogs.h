#pragma once
// The batch tool's boxes: every error and message goes to stderr as the system's own text. The
// count tells a step whether it failed. Thread rule: any thread.

#include "engine/userdialogs.h"

#include <atomic>
#include <string>

namespace orvella::batch {

// The text as a terminal should show it: the system's texts break lines with a carriage return
// (alone or before a line feed), which on a terminal would draw the next line over the first.
std::string ForTerminal(const std::string& text);

// Writes text and a line feed to stderr; on a terminal through ForTerminal, elsewhere unchanged.
void WriteMessageLine(const std::string& text);

class TConsoleDialogs : public TUserDialogs {
public:
    void ShowError(const std::string& text) override;
    void ShowMessage(const std::string& text, const std::string& caption,
                     TMessageIcon icon) override;
    // Errors and warning or error boxes shown so far.
    int Failures() const { return FailureCount; }

private:
    std::atomic<int> FailureCount{0};
};

} // namespace orvella::batch
