#include "batch/progressbar.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace orvella::batch {

TProgressBar::TProgressBar(bool enabled)
    : Enabled(enabled && ::isatty(STDERR_FILENO)) {}

TProgressBar::~TProgressBar() {
    Clear();
}

void TProgressBar::Show(const std::string& label, int percent) {
    percent = std::clamp(percent, 0, 100);
    constexpr int Width = 30;
    const int filled = percent * Width / 100;
    char bar[Width + 1];
    for (int i = 0; i < Width; ++i)
        bar[i] = i < filled ? '#' : ' ';
    bar[Width] = 0;
    char text[256];
    std::snprintf(text, sizeof text, "%s [%s] %3d%%", label.c_str(), bar, percent);
    ShowText(text);
}

void TProgressBar::ShowText(const std::string& text) {
    if (!Enabled || text == Last) return;
    std::fprintf(stderr, "\r\033[K%s", text.c_str());
    std::fflush(stderr);
    Last = text;
    Drawn = true;
}

void TProgressBar::Clear() {
    if (!Drawn) return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    Drawn = false;
    Last.clear();
}

} // namespace orvella::batch
