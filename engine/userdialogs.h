#pragma once
// The user-facing boxes the engine and the codecs show. The editor shows them as message boxes on
// its main thread, the batch tool writes them to stderr, the tests record them.
// Thread rule: every method may be called from any thread.

#include <string>

namespace orvella {

enum class TMessageIcon { Information, Warning, Error };

class TUserDialogs {
public:
    virtual ~TUserDialogs() = default;
    // The application's standard error box: the exception's text, nothing else.
    virtual void ShowError(const std::string& text) = 0;
    // A message box with a caption and an icon, one OK button, no owner window.
    virtual void ShowMessage(const std::string& text, const std::string& caption,
                             TMessageIcon icon) = 0;
};

} // namespace orvella
