#pragma once
// The batch tool's boxes: every error and message goes to stderr as one line of the system's own
// text. The count tells a step whether it failed.
// Thread rule: any thread.

#include "engine/userdialogs.h"

#include <atomic>

namespace orvella::batch {

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
