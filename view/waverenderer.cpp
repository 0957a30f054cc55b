#include "view/waverenderer.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cstring>

namespace orvella::view {

namespace {

TPixelCanvas CanvasOf(QImage& picture) {
    return TPixelCanvas(reinterpret_cast<uint32_t*>(picture.bits()),
                        int(picture.bytesPerLine() / 4), picture.width(), picture.height(),
                        picture.devicePixelRatio());
}

// Sizes picture to width x height logical pixels at ratio, 32-bit, unshared.
void Fit(QImage& picture, int width, int height, double ratio) {
    const QSize device(std::max(1, int(std::lround(width * ratio))),
                       std::max(1, int(std::lround(height * ratio))));
    if (picture.size() != device || picture.format() != QImage::Format_RGB32)
        picture = QImage(device, QImage::Format_RGB32);
    picture.setDevicePixelRatio(ratio);
}

QFont TextFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(7);
    return font;
}

} // namespace

int TWaveRenderer::Repaint(QImage& back, QImage& clean, int width, int height, double ratio,
                           const TViewDocument& document, const TViewState& state,
                           const TWaveColors& colors) {
    Fit(back, width, height, ratio);
    Texts.clear();
    TPixelCanvas canvas = CanvasOf(back);
    const int w = width, h = height, area = w - ScaleWidth;

    canvas.FillRect(0, 0, w, h, PixelOf(colors.Scale));
    canvas.FillRect(area, RulerHeight, w, h, PixelOf(colors.Scale));
    canvas.FillRect(0, RulerHeight, area, h, PixelOf(colors.Back));
    canvas.HLine(0, w, RulerHeight, PixelOf(colors::Border));
    canvas.VLine(area, RulerHeight, h, PixelOf(colors::Border));

    const bool ready = document.Ready && document.Channels > 0;
    if (ready) {
        DrawLaneGuides(canvas, w, h, document.Channels);
        DrawRuler(canvas, w, h, document, state);
        DrawWaveform(canvas, w, h, document, state, PixelOf(colors.Wave));
    } else {
        DrawLaneGuides(canvas, w, h, 2);
        const int s = area / 10;
        for (int i = 0; i <= 10; ++i)
            canvas.DottedVLine(i * s, RulerHeight, h, PixelOf(colors::Grid));
    }
    DrawTexts(back, colors.Scale);

    const uint32_t span = state.ViewEnd - state.ViewStart;
    if (state.Selected && ready && span > 0) {
        const TBand band =
            SelectionBand(state.SelStart, state.SelStop, state.ViewStart, state.ViewEnd, area);
        if (!band.Empty()) canvas.InvertRect(band.X1, RulerHeight, band.X2, h);
    }

    Fit(clean, width, height, ratio);
    RestoreClean(clean, back);

    const int x = ready ? CursorColumn(state.CursorPos, state.ViewStart, state.ViewEnd, area) : -1;
    if (x >= 0) DrawCursor(back, x, h);
    return x;
}

void TWaveRenderer::RestoreClean(QImage& back, const QImage& clean) {
    if (back.size() != clean.size() || back.format() != clean.format()) {
        back = clean.copy();
        return;
    }
    std::memcpy(back.bits(), clean.constBits(), size_t(clean.sizeInBytes()));
}

void TWaveRenderer::DrawCursor(QImage& picture, int x, int height) {
    TPixelCanvas canvas = CanvasOf(picture);
    const uint32_t pixel = PixelOf(colors::Cursor);
    canvas.DottedVLine(x, RulerHeight, height, pixel);
    const int h = height;
    canvas.Line(x - 2, RulerHeight, x + 2, RulerHeight, pixel);
    canvas.Line(x + 2, RulerHeight, x, RulerHeight + 2, pixel);
    canvas.Line(x, RulerHeight + 2, x - 2, RulerHeight, pixel);
    canvas.Line(x - 2, h - 1, x + 2, h - 1, pixel);
    canvas.Line(x + 2, h - 1, x, h - 3, pixel);
    canvas.Line(x, h - 3, x - 2, h - 1, pixel);
}

void TWaveRenderer::DrawLaneGuides(TPixelCanvas& canvas, int width, int height, int lanes) {
    const TLaneGeometry g = LaneGeometryOf(height, lanes);
    const int area = width - ScaleWidth;
    for (int i = 0; i < g.Lanes; ++i) {
        const int c = g.Centre[i];
        for (const int y : {c + g.FullScale, c - g.FullScale}) {
            canvas.HLine(0, area, y, PixelOf(colors::FullScale));
            Texts.push_back({width - 27, y - 4, "0db"});
        }
        if (g.Lanes > 1 && i < g.Lanes - 1)
            canvas.HLine(0, area, g.Separator[i], PixelOf(colors::Separator));
        canvas.HLine(0, area, c, PixelOf(colors::CentreLine));
        Texts.push_back({width - 27, c - 4, "-90db"});
    }
}

void TWaveRenderer::DrawRuler(TPixelCanvas& canvas, int width, int height,
                              const TViewDocument& document, const TViewState& state) {
    const int area = width - ScaleWidth;
    const auto labels = state.MsScale
                            ? MsRuler(state.ViewStart, state.ViewEnd, document.SampleRate, area)
                            : FrameRuler(state.ViewStart, state.ViewEnd, area);
    const uint32_t text = PixelOf(colors::Text);
    for (const TRulerLabel& label : labels) {
        for (const int m : label.Minor)
            canvas.VLine(m, 0, 2, text);
        canvas.VLine(label.X, 0, 6, text);
        canvas.DottedVLine(label.X, RulerHeight, height, PixelOf(colors::Grid));
        Texts.push_back({label.X - 10, 6, label.Text});
    }
}

const TPeakSummary& TWaveRenderer::SummaryOf(const std::shared_ptr<const TPeakIndexEntries>& index,
                                             int channels) {
    if (!Summary || Summary->Index() != index || Summary->Channels() != channels)
        Summary = std::make_unique<TPeakSummary>(index, channels);
    return *Summary;
}

void TWaveRenderer::DrawWaveform(TPixelCanvas& canvas, int width, int height,
                                 const TViewDocument& document, const TViewState& state,
                                 uint32_t wavePixel) {
    const int n = document.Channels;
    const TLaneGeometry g = LaneGeometryOf(height, n);
    const double k = canvas.Ratio();
    // The waveform is reduced to one column per device pixel: at a ratio of 1 that is the
    // logical column; above it the wave is drawn at the screen's own resolution.
    const int columns = canvas.Dev(width - ScaleWidth);
    if (columns <= 0) return;
    const uint32_t span = state.ViewEnd - state.ViewStart;
    const double spp = double(span) / columns;
    if (spp < PeakBlockFrames) {
        if (!document.Store) return;
        DirectColumns(*document.Store, document.Frames, n, state.ViewStart, spp, columns, Columns);
    } else {
        if (!document.PeakIndex) return;
        OverviewColumns(SummaryOf(document.PeakIndex, n), document.Frames, state.ViewStart, spp,
                        columns, Columns);
    }
    const double scale = g.Scale / k;
    constexpr int Over = FloatDisplayScale + 1;
    const uint32_t overPixel = PixelOf(colors::Over);
    for (int c = 0; c < g.Lanes; ++c) {
        const int centre = canvas.Dev(g.Centre[c]);
        int prev = centre;
        for (int x = 0; x < columns; ++x) {
            if (!Columns.Valid[x]) continue;
            const size_t at = size_t(x) * n + c;
            const int y1 = centre - ValueOffset(Columns.Max[at], scale);
            const int y2 = centre - ValueOffset(Columns.Min[at], scale);
            const bool over =
                document.Float && (Columns.Max[at] >= Over || Columns.Min[at] <= -Over);
            const uint32_t pixel = over ? overPixel : wavePixel;
            canvas.DeviceLine(x, prev, x + 1, y1, pixel);
            canvas.DeviceVLine(x + 1, y1, y2, pixel);
            prev = y2;
        }
    }
}

void TWaveRenderer::DrawTexts(QImage& picture, uint32_t scaleColor) {
    if (Texts.empty()) return;
    QPainter painter(&picture);
    const QFont font = TextFont();
    painter.setFont(font);
    const QFontMetrics metrics(font, &picture);
    painter.setPen(QColor::fromRgb(PixelOf(colors::Text)));
    painter.setBackground(QColor::fromRgb(PixelOf(scaleColor)));
    painter.setBackgroundMode(Qt::OpaqueMode);
    for (const TText& t : Texts)
        painter.drawText(t.X, t.Y + metrics.ascent(), QString::fromStdString(t.Text));
}

} // namespace orvella::view
