#pragma once
// The dialogs of the tests: every box is recorded, none is shown.
// Thread rule: any thread may show a box while another reads the records.

#include "engine/userdialogs.h"

#include <mutex>
#include <string>
#include <vector>

namespace orvella::test {

struct RecordedBox {
    std::string Text, Caption;
    TMessageIcon Icon;
};

class RecordingDialogs : public TUserDialogs {
public:
    void ShowError(const std::string& text) override;
    void ShowMessage(const std::string& text, const std::string& caption,
                     TMessageIcon icon) override;
    // The error boxes' texts.
    std::vector<std::string> Errors() const;
    // The message boxes.
    std::vector<RecordedBox> Messages() const;
    // The texts of both kinds in the order they were shown.
    std::vector<std::string> Texts() const;

private:
    mutable std::mutex Lock;
    std::vector<std::string> ErrorTexts;
    std::vector<RecordedBox> Boxes;
    std::vector<std::string> AllTexts;
};

} // namespace orvella::test
