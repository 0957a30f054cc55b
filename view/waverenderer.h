#pragma once
// Draws the waveform view's picture: background, lanes with their level labels, the time ruler,
// the waveform one column per pixel, the selection inversion and the cursor. The picture without
// the cursor is kept as the clean copy, so the play cursor can move by restoring it and drawing
// one line. Pictures are 32-bit (every colour exactly as given) and made at the device pixel
// ratio the caller asks for; geometry is in logical pixels.
// Thread rule: one renderer per view, used on the GUI thread; the document's store is read with
// ReadBlock, which other threads may use at the same time.

#include "engine/peakindex.h"
#include "engine/samplestore.h"
#include "view/columnpeaks.h"
#include "view/pixelcanvas.h"
#include "view/viewgeometry.h"

#include <QImage>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvella::view {

// The three colours the user chooses, red in the low byte.
struct TWaveColors {
    uint32_t Back = 0x000000;
    uint32_t Scale = 0xDCDCDC;
    uint32_t Wave = 0xABF01C;
};

// The fixed colours of the view, red in the low byte.
namespace colors {
constexpr uint32_t Border = 0x969696;
constexpr uint32_t Text = 0x000000;
constexpr uint32_t Grid = 0x000000;
constexpr uint32_t FullScale = 0x9F876F;
constexpr uint32_t CentreLine = 0x17178C;
constexpr uint32_t Separator = 0xFFFFFF;
constexpr uint32_t Cursor = 0x00FFFF;
// Columns of a float document that reach beyond full scale.
constexpr uint32_t Over = 0x3C3CFF; // red (red in the low byte, as every colour here)
} // namespace colors

// What the picture shows of the document: one consistent reading of it.
struct TViewDocument {
    bool Ready = false;
    int Channels = 0;
    uint32_t SampleRate = 0;
    uint32_t Frames = 0;
    // A float document: its peaks are display values, the largest of them marking overs.
    bool Float = false;
    std::shared_ptr<TSampleStore> Store;
    std::shared_ptr<const TPeakIndexEntries> PeakIndex;
};

// The view's state that the picture depends on.
struct TViewState {
    uint32_t ViewStart = 0, ViewEnd = 0;
    bool MsScale = true;
    bool Selected = false;
    uint32_t SelStart = 0, SelStop = 0;
    uint32_t CursorPos = 0;
};

class TWaveRenderer {
public:
    // Draws the whole picture into back (resized to width x height logical pixels at ratio) and
    // keeps it without the cursor in clean. Returns the cursor's column, -1 when not drawn.
    int Repaint(QImage& back, QImage& clean, int width, int height, double ratio,
                const TViewDocument& document, const TViewState& state, const TWaveColors& colors);
    // Draws the cursor at column x into picture (height logical pixels).
    static void DrawCursor(QImage& picture, int x, int height);
    // Restores clean into back (same size), as the first step of moving the play cursor.
    static void RestoreClean(QImage& back, const QImage& clean);

private:
    void DrawLaneGuides(TPixelCanvas& canvas, int width, int height, int lanes);
    void DrawRuler(TPixelCanvas& canvas, int width, int height, const TViewDocument& document,
                   const TViewState& state);
    void DrawWaveform(TPixelCanvas& canvas, int width, int height, const TViewDocument& document,
                      const TViewState& state, uint32_t wavePixel);
    void DrawTexts(QImage& picture, uint32_t scaleColor);
    const TPeakSummary& SummaryOf(const std::shared_ptr<const TPeakIndexEntries>& index,
                                  int channels);

    struct TText {
        int X, Y;
        std::string Text;
    };
    std::vector<TText> Texts;
    std::unique_ptr<TPeakSummary> Summary;
    TColumnExtremes Columns;
};

} // namespace orvella::view
