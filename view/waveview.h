#pragma once
// TWaveView, the control that shows the document: its waveform with the time ruler and the level
// scale, the visible range (zoom and scroll, kept in step with the main window's scroll bar), the
// cursor and the selection, mouse and keyboard input. While a play runs it shows the play cursor
// where it is told (SetCursor from the transport's reports); it does not play.
//
// The picture is composed in BackBuffer and shown from Screen; CleanCopy is the last picture
// without the cursor, so the play cursor moves by restoring it and drawing one line. A mouse drag
// inverts bands of Screen directly; the end of a selection copies Screen into CleanCopy so the
// highlight survives cursor moves until the next Repaint.
//
// Thread rule: GUI thread only.

#include "engine/document.h"
#include "view/framescrollbar.h"
#include "view/selectionmodel.h"
#include "view/waverenderer.h"

#include <QImage>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>

namespace orvella {

class TWaveView : public QWidget {
    Q_OBJECT
public:
    using TCursorEvent =
        std::function<void(TWaveView* sender, uint32_t position, uint32_t positions)>;
    using TSelectEvent = std::function<void(TWaveView* sender, uint32_t start, uint32_t stop,
                                            uint32_t startms, uint32_t stopms, bool selected)>;

    static constexpr int DesignWidth = 698;
    static constexpr int DesignHeight = 250;

    explicit TWaveView(QWidget* parent = nullptr);
    ~TWaveView() override;

    // The document shown (not owned) and the scroll bar driven (not owned); set before drawing.
    void SetDocument(TDocument* document) { Document = document; }
    TDocument* GetDocument() const { return Document; }
    void SetScrollBar(TFrameScrollBar* scrollBar) { ScrollBar = scrollBar; }
    // The selection shown and set by the mouse and keys (not owned); until then the view's own.
    void SetSelectionModel(TSelectionModel* selection) {
        Sel = selection ? selection : &OwnSelection;
    }
    TSelectionModel& Selection() const { return *Sel; }

    void AttachWave(TDocument& document);
    void CloseWave();
    void ZoomIn();
    void ZoomOut();
    void ZoomFull();
    // One zoom step in or out (the limits of ZoomIn and ZoomOut) that keeps the frame at wave
    // column x under that column.
    void ZoomAt(int x, bool in);
    // Moves the visible range by frames (negative: back), within the document.
    void ScrollBy(int64_t frames);
    // The selection from its fixed edge to the frame at column x: the edge farther from x when
    // there is a selection, else the cursor.
    void ExtendSelection(int x);
    // Follows the scroll bar's position.
    void ScrollChanged();
    void SetCursor(uint32_t frames);
    // The document is getting shorter by frames (a Cut or Delete started): the visible range's end
    // moves back by as much, never before its start.
    void ShortenVisibleRange(uint32_t frames);
    void SetSelection(uint32_t start, uint32_t stop, bool selected);
    // Times in milliseconds; the document's length as shown selects to its last frame.
    void SetSelectionMs(uint32_t start, uint32_t stop, bool selected);
    uint32_t SamplesToMs(uint32_t frames) const;
    uint32_t MsToSamples(uint32_t ms) const;
    // Redraws everything and shows it; also after a change of the scale format or the colours.
    void Repaint();
    // Redraws only the cursor, when its column changed.
    void MovePlayCursor();

    void SetColors(const view::TWaveColors& colors) { Colors = colors; }
    const view::TWaveColors& GetColors() const { return Colors; }
    // The picture now on screen (tests and screenshots).
    const QImage& ScreenPicture() const { return Screen; }

    // --- state the main window reads and writes ---
    uint32_t ViewStart = 0, ViewEnd = 0, ViewSpan = 0;
    double SamplesPerPixel = 0;
    uint32_t CursorPos = 0, CursorMs = 0;

    // --- input and drawing state ---
    uint32_t Anchor = 0;
    int DownX = 0, LastX = 0, DrawnCursorX = 0;
    bool MouseHeld = false, Selecting = false;
    // The part of a zoom step the wheel has turned so far (eighths of a degree).
    int WheelZoomRest = 0;
    int DrawWidth = DesignWidth, DrawHeight = DesignHeight;

    // --- events ---
    TCursorEvent OnCursor;
    TSelectEvent OnSelect;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // Ctrl + wheel zooms at the pointer, a step per 120 eighths of a degree (a trackpad's smaller
    // deltas add up to one); the wheel alone scrolls, by an eighth of the view per step.
    void wheelEvent(QWheelEvent* event) override;

private:
    bool DocumentReady() const;
    uint32_t Length() const;
    int WaveWidth() const { return DrawWidth - view::ScaleWidth; }
    // One frame's worth of pixels: the span over the wave area, at least 1 for the arrow keys.
    uint32_t PixelStep() const;
    view::TViewDocument ReadDocument() const;
    // The scroll bar after a zoom: page, position and steps from the visible range.
    void WriteScrollBar();
    void BeginSelect(int x);
    void DragSelect(int x);
    void EndSelect(int x);
    void RaiseCursor();
    void UpdateAccessibleDescription();
    double DeviceRatio() const;

    TDocument* Document = nullptr;
    TFrameScrollBar* ScrollBar = nullptr;
    TSelectionModel OwnSelection;
    TSelectionModel* Sel = &OwnSelection;
    view::TWaveRenderer Renderer;
    view::TWaveColors Colors;
    QImage BackBuffer, CleanCopy, Screen;
};

} // namespace orvella
