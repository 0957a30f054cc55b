#pragma once
// The editor's settings record: the folder for work files, the scale format, the view's three
// colours, the main window's placement and the dither rule. Kept per user in QSettings("Quendrix", "Orvella"),
// group "Settings", under the value names below; read once when the main window is made and
// written once when it closes.
// Thread rule: main thread only.

#include <QString>

#include <cstdint>

namespace orvella {

struct TEditorSettings {
    QString tempfolder;        // folder of the work files, with its trailing separator
    int32_t selectiontype = 0; // 0 milliseconds, 1 samples
    int32_t backcolor = 0;     // colours: red in the low byte, then green, then blue
    int32_t scalecolor = 0;
    int32_t wavecolor = 0;
    int32_t posx = 0; // -1: not stored (both -1 centre the window)
    int32_t posy = 0;
    int32_t width = 0; // -1: not stored (the size applies only when both are stored)
    int32_t height = 0;
    // Whether saving or pasting float values at a narrower precision adds TPDF dither.
    bool dither = true;
};

// The defaults a missing value takes.
constexpr int32_t DefaultScaleColor = 14474460; // grey 220, 220, 220
constexpr int32_t DefaultWaveColor = 11268124;  // red 28, green 240, blue 171

// The system's temporary folder with a trailing separator.
QString DefaultTempFolder();
// Each value that exists is read; a missing one takes its default.
void LoadSettings(TEditorSettings& settings);
// Writes every value.
void SaveSettings(const TEditorSettings& settings);

} // namespace orvella
