#include "support/recordingdialogs.h"

namespace orvella::test {

void RecordingDialogs::ShowError(const std::string& text) {
    std::lock_guard<std::mutex> guard(Lock);
    ErrorTexts.push_back(text);
    AllTexts.push_back(text);
}

void RecordingDialogs::ShowMessage(const std::string& text, const std::string& caption,
                                   TMessageIcon icon) {
    std::lock_guard<std::mutex> guard(Lock);
    Boxes.push_back({text, caption, icon});
    AllTexts.push_back(text);
}

std::vector<std::string> RecordingDialogs::Errors() const {
    std::lock_guard<std::mutex> guard(Lock);
    return ErrorTexts;
}

std::vector<RecordedBox> RecordingDialogs::Messages() const {
    std::lock_guard<std::mutex> guard(Lock);
    return Boxes;
}

std::vector<std::string> RecordingDialogs::Texts() const {
    std::lock_guard<std::mutex> guard(Lock);
    return AllTexts;
}

} // namespace orvella::test
