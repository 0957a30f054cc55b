#pragma once
// A one-line progress bar on stderr, drawn only when stderr is a terminal.

#include <string>

namespace orvella::batch {

class TProgressBar {
public:
    explicit TProgressBar(bool enabled);
    ~TProgressBar();
    // Redraws "label [####    ]  45%" when the percentage changed.
    void Show(const std::string& label, int percent);
    // Draws free text in place of the bar (e.g. a play position).
    void ShowText(const std::string& text);
    void Clear();

private:
    bool Enabled;
    bool Drawn = false;
    std::string Last;
};

} // namespace orvella::batch
