#include "view/waveview.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QWheelEvent>

#include <algorithm>

namespace orvella {

namespace {

// "mm:ss.mmm" for the accessible description.
QString TimeText(uint32_t ms) {
    return QString::asprintf("%02u:%02u.%03u", ms / 60000, (ms % 60000) / 1000, ms % 1000);
}

} // namespace

TWaveView::TWaveView(QWidget* parent)
    : QWidget(parent) {
    resize(DesignWidth, DesignHeight);
    setAttribute(Qt::WA_OpaquePaintEvent); // every pixel is painted from the picture
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(tr("Waveform"));
    DrawWidth = width();
    DrawHeight = height();
    UpdateAccessibleDescription();
}

TWaveView::~TWaveView() = default;

bool TWaveView::DocumentReady() const {
    return Document && Document->Ready.load();
}

uint32_t TWaveView::Length() const {
    return Document ? Document->Frames.load() : 0;
}

uint32_t TWaveView::PixelStep() const {
    return std::max<uint32_t>(ViewSpan / uint32_t(std::max(WaveWidth(), 1)), 1);
}

double TWaveView::DeviceRatio() const {
    return devicePixelRatioF();
}

view::TViewDocument TWaveView::ReadDocument() const {
    view::TViewDocument d;
    if (!Document) return d;
    // One published picture of the document: its store, index and format belong together.
    const auto snapshot = Document->Snapshot();
    d.Ready = Document->Ready.load() && snapshot->Store;
    d.Channels = snapshot->Channels;
    d.SampleRate = snapshot->SampleRate;
    d.Frames = snapshot->Frames;
    d.Float = snapshot->Format == TSampleFormat::Float32;
    d.Store = snapshot->Store;
    d.PeakIndex = snapshot->PeakIndex;
    return d;
}

uint32_t TWaveView::SamplesToMs(uint32_t frames) const {
    return view::SamplesToMs(frames, Document ? Document->SampleRate.load() : 0);
}

uint32_t TWaveView::MsToSamples(uint32_t ms) const {
    return view::MsToSamples(ms, Document ? Document->SampleRate.load() : 0);
}

// --- document ---

void TWaveView::AttachWave(TDocument& document) {
    Document = &document;
    const uint32_t length = Length();
    Sel->Set(0, 0, false);
    ViewStart = 0;
    ViewEnd = ViewSpan = length;
    SamplesPerPixel = double(length / uint32_t(std::max(DrawWidth - view::ScaleWidth, 1)));
    if (ScrollBar) {
        if (length == 0) ScrollBar->SetPageSize(0);
        ScrollBar->SetPosition(0);
        ScrollBar->SetMinimum(0);
        ScrollBar->SetMaximum(length);
        ScrollBar->SetPageSize(length);
    }
    CursorPos = CursorMs = 0;
    LastX = 0;
    if (OnCursor) OnCursor(this, 0, 0);
    Repaint();
}

void TWaveView::CloseWave() {
    Sel->SetSelected(false);
    Repaint();
    // The player, if any, has given the document back before this.
    if (DocumentReady()) Document->Close();
}

// --- zoom and scroll ---

void TWaveView::WriteScrollBar() {
    if (!ScrollBar) return;
    const uint32_t small = uint32_t((2 * uint64_t(ViewSpan)) / uint32_t(std::max(WaveWidth(), 1)));
    ScrollBar->SetPageSize(ViewSpan);
    ScrollBar->SetPosition(ViewStart);
    ScrollBar->SetSmallChange(small);
    ScrollBar->SetLargeChange(uint32_t(std::min<uint64_t>(50 * uint64_t(small), UINT32_MAX)));
}

void TWaveView::ZoomIn() {
    if (!DocumentReady()) return;
    if (ViewSpan / uint32_t(std::max(WaveWidth(), 1)) < 2) return;
    ViewStart += ViewSpan / 4;
    ViewSpan /= 2;
    ViewEnd = ViewStart + ViewSpan;
    WriteScrollBar();
    Repaint();
}

void TWaveView::ZoomOut() {
    if (!DocumentReady()) return;
    if (ViewSpan == 0) ViewSpan = 2;
    const uint32_t half = ViewSpan / 2;
    ViewStart -= std::min(half, ViewStart);
    const uint64_t end = std::min<uint64_t>(uint64_t(ViewStart) + 2 * uint64_t(ViewSpan), Length());
    ViewEnd = uint32_t(std::max<uint64_t>(end, ViewStart));
    ViewSpan = ViewEnd - ViewStart;
    WriteScrollBar();
    Repaint();
}

void TWaveView::ZoomFull() {
    if (!DocumentReady()) return;
    ViewStart = 0;
    ViewEnd = ViewSpan = Length();
    WriteScrollBar();
    Repaint();
}

void TWaveView::ZoomAt(int x, bool in) {
    if (!DocumentReady()) return;
    const int waveWidth = std::max(WaveWidth(), 1);
    x = std::clamp(x, 0, waveWidth);
    const uint32_t length = Length();
    const uint32_t pinned = std::min<uint32_t>(
        view::ColumnFrame(x, view::SamplesPerPixelOf(ViewSpan, DrawWidth), ViewStart), length);
    uint32_t span;
    if (in) {
        if (ViewSpan / uint32_t(waveWidth) < 2) return;
        span = ViewSpan / 2;
    } else {
        span = uint32_t(std::min<uint64_t>(2 * uint64_t(std::max<uint32_t>(ViewSpan, 1)), length));
        if (span == ViewSpan) return;
    }
    const int64_t before = view::RoundEven(x * (double(span) / waveWidth));
    ViewStart = uint32_t(std::clamp<int64_t>(int64_t(pinned) - before, 0, int64_t(length - span)));
    ViewSpan = span;
    ViewEnd = ViewStart + ViewSpan;
    WriteScrollBar();
    Repaint();
}

void TWaveView::ScrollBy(int64_t frames) {
    if (!DocumentReady() || frames == 0) return;
    const uint32_t length = Length();
    const int64_t last = int64_t(length) - int64_t(std::min(ViewSpan, length));
    const auto start = uint32_t(std::clamp<int64_t>(int64_t(ViewStart) + frames, 0, last));
    if (start == ViewStart) return;
    ViewStart = start;
    ViewEnd = ViewStart + ViewSpan;
    WriteScrollBar();
    Repaint();
}

void TWaveView::ScrollChanged() {
    if (!DocumentReady() || !ScrollBar) return;
    const uint32_t length = Length();
    ViewStart = ScrollBar->Position();
    const uint64_t end = uint64_t(ViewStart) + ViewSpan;
    if (end > length) {
        ViewEnd = length;
        ViewStart = length - std::min(ViewSpan, length);
    } else {
        ViewEnd = uint32_t(end);
    }
    Repaint();
}

// --- cursor and selection ---

void TWaveView::RaiseCursor() {
    CursorMs = SamplesToMs(CursorPos);
    if (OnCursor) OnCursor(this, CursorPos, CursorMs);
    UpdateAccessibleDescription();
}

void TWaveView::SetCursor(uint32_t frames) {
    CursorPos = frames;
    RaiseCursor();
    MovePlayCursor();
}

void TWaveView::SetSelection(uint32_t start, uint32_t stop, bool selected) {
    DrawnCursorX = LastX - 1;
    Sel->Set(start, stop, selected);
    Repaint();
}

void TWaveView::SetSelectionMs(uint32_t start, uint32_t stop, bool selected) {
    // Times are whole milliseconds: the document's length as shown stands for its last frame,
    // so that a selection to the shown end keeps the last fraction of a millisecond.
    const uint32_t length = Length();
    const auto frameOf = [&](uint32_t ms) {
        return ms == SamplesToMs(length) ? length : MsToSamples(ms);
    };
    SetSelection(frameOf(start), frameOf(stop), selected);
}

void TWaveView::BeginSelect(int x) {
    if (!DocumentReady()) return;
    Sel->SetSelected(false);
    if (OnSelect) OnSelect(this, 0, 0, 0, 0, false);
    SamplesPerPixel = view::SamplesPerPixelOf(ViewSpan, DrawWidth);
    const uint32_t f = view::ColumnFrame(x, SamplesPerPixel, ViewStart);
    Anchor = f;
    LastX = x;
    CursorPos = f;
    RaiseCursor();
    Repaint();
    Sel->SetRange(f, Sel->Stop());
    DownX = x;
    Selecting = true;
}

void TWaveView::DragSelect(int x) {
    if (!DocumentReady() || !Selecting) return;
    x = std::clamp(x, 0, std::max(WaveWidth(), 0));
    if (x != LastX && !Screen.isNull()) {
        // The band between the last column and this one flips; moving back flips it again.
        auto canvas = view::TPixelCanvas(reinterpret_cast<uint32_t*>(Screen.bits()),
                                         int(Screen.bytesPerLine() / 4), Screen.width(),
                                         Screen.height(), Screen.devicePixelRatio());
        canvas.InvertRect(std::min(LastX, x), view::RulerHeight, std::max(LastX, x), DrawHeight);
        update(std::min(LastX, x), view::RulerHeight, std::abs(x - LastX), DrawHeight);
    }
    SamplesPerPixel = view::SamplesPerPixelOf(ViewSpan, DrawWidth);
    const uint32_t f = view::ColumnFrame(x, SamplesPerPixel, ViewStart);
    Sel->SetRange(std::min(f, Anchor), std::max(f, Anchor));
    LastX = x;
}

void TWaveView::ExtendSelection(int x) {
    if (!DocumentReady()) return;
    x = std::clamp(x, 0, std::max(WaveWidth(), 0));
    SamplesPerPixel = view::SamplesPerPixelOf(ViewSpan, DrawWidth);
    const uint32_t f = std::min(view::ColumnFrame(x, SamplesPerPixel, ViewStart), Length());
    uint32_t fixed = CursorPos;
    if (Sel->Selected()) {
        const uint32_t start = Sel->Start(), stop = Sel->Stop();
        const uint64_t toStart = f > start ? f - start : start - f;
        const uint64_t toStop = f > stop ? f - stop : stop - f;
        fixed = toStart < toStop ? stop : start;
    }
    Anchor = fixed;
    Sel->Set(std::min(fixed, f), std::max(fixed, f), fixed != f);
    Repaint();
    // A drag that follows moves the free edge on from here; a release without one keeps the
    // selection (DownX matches no column).
    LastX = x;
    DownX = -1;
    Selecting = true;
    if (OnSelect)
        OnSelect(this, Sel->Start(), Sel->Stop(), SamplesToMs(Sel->Start()),
                 SamplesToMs(Sel->Stop()), Sel->Selected());
}

void TWaveView::EndSelect(int x) {
    if (!DocumentReady()) return;
    Selecting = false;
    if (x == DownX || Sel->Start() == Sel->Stop()) {
        Sel->SetSelected(false);
        if (OnSelect) OnSelect(this, 0, 0, 0, 0, false);
    } else {
        Sel->SetSelected(true);
        CleanCopy = Screen;
        if (OnSelect)
            OnSelect(this, Sel->Start(), Sel->Stop(), SamplesToMs(Sel->Start()),
                     SamplesToMs(Sel->Stop()), true);
    }
    UpdateAccessibleDescription();
}

void TWaveView::ShortenVisibleRange(uint32_t frames) {
    ViewEnd = std::max(ViewEnd > frames ? ViewEnd - frames : 0u, ViewStart);
    ViewSpan = ViewEnd - ViewStart;
}

// --- drawing ---

void TWaveView::Repaint() {
    const uint32_t frames = Length();
    if (frames < ViewEnd) {
        ViewEnd = frames;
        if (ViewStart > ViewEnd) {
            // The document became shorter than the view's start: show it whole.
            ViewStart = 0;
        }
        ViewSpan = ViewEnd - ViewStart;
    }
    DrawWidth = width();
    DrawHeight = height();
    SamplesPerPixel = view::SamplesPerPixelOf(ViewSpan, DrawWidth);
    view::TViewState state;
    state.ViewStart = ViewStart;
    state.ViewEnd = ViewEnd;
    state.MsScale = Sel->Milliseconds();
    state.Selected = Sel->Selected();
    state.SelStart = Sel->Start();
    state.SelStop = Sel->Stop();
    state.CursorPos = CursorPos;
    const int x = Renderer.Repaint(BackBuffer, CleanCopy, DrawWidth, DrawHeight, DeviceRatio(),
                                   ReadDocument(), state, Colors);
    if (x >= 0) LastX = x;
    Screen = BackBuffer;
    update();
    UpdateAccessibleDescription();
}

void TWaveView::MovePlayCursor() {
    DrawWidth = width();
    DrawHeight = height();
    const int x = view::PlayCursorColumn(CursorPos, ViewStart, ViewSpan, WaveWidth());
    if (x < 0 && ViewSpan == 0) return;
    LastX = x;
    if (x == DrawnCursorX || CleanCopy.isNull()) return;
    view::TWaveRenderer::RestoreClean(BackBuffer, CleanCopy);
    const int drawn =
        DocumentReady() ? view::CursorColumn(CursorPos, ViewStart, ViewEnd, WaveWidth()) : -1;
    if (drawn >= 0) {
        view::TWaveRenderer::DrawCursor(BackBuffer, drawn, DrawHeight);
        LastX = drawn;
    }
    DrawnCursorX = LastX;
    Screen = BackBuffer;
    update();
}

void TWaveView::UpdateAccessibleDescription() {
    QString text = tr("Cursor at %1").arg(TimeText(CursorMs));
    if (Sel->Selected()) {
        text += tr(", selection from %1 to %2")
                    .arg(TimeText(SamplesToMs(Sel->Start())), TimeText(SamplesToMs(Sel->Stop())));
    } else {
        text += tr(", nothing selected");
    }
    if (text == accessibleDescription()) return;
    setAccessibleDescription(text);
}

// --- Qt events ---

void TWaveView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (Screen.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    painter.drawImage(QPoint(0, 0), Screen);
}

void TWaveView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Repaint();
}

void TWaveView::keyPressEvent(QKeyEvent* event) {
    if (!DocumentReady()) {
        QWidget::keyPressEvent(event);
        return;
    }
    const uint32_t length = Length();
    const uint32_t step = PixelStep();
    bool moved = true;
    switch (event->key()) {
    case Qt::Key_Home:
        CursorPos = 0;
        break;
    case Qt::Key_End:
        CursorPos = length;
        break;
    case Qt::Key_Left:
        CursorPos = step < CursorPos ? CursorPos - step : 0;
        break;
    case Qt::Key_Right:
        if (CursorPos < length)
            CursorPos = uint32_t(std::min<uint64_t>(uint64_t(CursorPos) + step, length));
        break;
    default:
        moved = false;
        QWidget::keyPressEvent(event);
        break;
    }
    if (moved) {
        event->accept();
        Repaint();
    }
    RaiseCursor();
}

void TWaveView::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    setFocus(Qt::MouseFocusReason);
    if (event->button() != Qt::LeftButton) return;
    if (event->modifiers() & Qt::ShiftModifier) {
        ExtendSelection(std::min(int(event->position().x()), width() - view::ScaleWidth));
        MouseHeld = true;
        return;
    }
    BeginSelect(std::min(int(event->position().x()), width() - view::ScaleWidth));
    MouseHeld = true;
}

void TWaveView::mouseMoveEvent(QMouseEvent* event) {
    QWidget::mouseMoveEvent(event);
    if (MouseHeld) DragSelect(std::min(int(event->position().x()), width() - view::ScaleWidth));
}

void TWaveView::mouseReleaseEvent(QMouseEvent* event) {
    QWidget::mouseReleaseEvent(event);
    if (!MouseHeld) return;
    EndSelect(std::min(int(event->position().x()), width() - view::ScaleWidth));
    MouseHeld = false;
}

void TWaveView::wheelEvent(QWheelEvent* event) {
    const QPoint angle = event->angleDelta();
    // A horizontal turn (a trackpad's sideways swipe) counts like a vertical one.
    const int delta = angle.y() != 0 ? angle.y() : angle.x();
    if (!DocumentReady() || delta == 0) {
        QWidget::wheelEvent(event);
        return;
    }
    event->accept();
    constexpr int Step = 120;
    if (event->modifiers() & Qt::ControlModifier) {
        // A turn the other way starts a new step.
        if ((WheelZoomRest > 0) != (delta > 0)) WheelZoomRest = 0;
        WheelZoomRest += delta;
        const int x = int(event->position().x());
        for (; WheelZoomRest >= Step; WheelZoomRest -= Step)
            ZoomAt(x, true);
        for (; WheelZoomRest <= -Step; WheelZoomRest += Step)
            ZoomAt(x, false);
        return;
    }
    // Turning towards the user (a negative delta) moves on through the sound.
    ScrollBy(-int64_t(delta) * int64_t(ViewSpan) / (8 * Step));
}

} // namespace orvella
