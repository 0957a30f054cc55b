#include "playback/levelmeter.h"

#include <QPainter>
#include <QResizeEvent>

#include <algorithm>
#include <limits>

namespace orvella {

namespace {

// Fills columns x1..x2-1 and rows y1..y2-1 (nothing when either range is empty). Coordinates are
// cut to just outside the picture first, so any bar or peak value draws what is visible of it.
void FillCells(QPainter& painter, int64_t x1, int64_t y1, int64_t x2, int64_t y2, int width,
               const QColor& colour) {
    x1 = std::clamp<int64_t>(x1, -1, width + 1);
    x2 = std::clamp<int64_t>(x2, -1, width + 1);
    if (x2 <= x1 || y2 <= y1 || !painter.isActive()) return;
    painter.fillRect(QRect(int(x1), int(y1), int(x2 - x1), int(y2 - y1)), colour);
}

// Bar length of a level: level * width / 128, rounded toward zero. Any level and width fit.
int32_t BarOf(int16_t level, int width) {
    const int64_t v = int64_t(level) * width / 128;
    return int32_t(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                       std::numeric_limits<int32_t>::max()));
}

} // namespace

TLevelMeter::TLevelMeter(QWidget* parent)
    : QWidget(parent) {
    // Every paint covers the whole widget with the picture: nothing to erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(DefaultWidth, DefaultHeight);
    setAccessibleName(tr("Level meter"));
    FitPicture();
}

QColor TLevelMeter::ColorOf(int colour) {
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

void TLevelMeter::SetLevels(int16_t left, int16_t right, uint8_t channels) {
    if (!isVisible()) return;

    FitPicture();
    FillPicture(FBackcolor);

    FLevels.fill(0);
    FLevels[0] = left;
    FLevels[1] = right;
    FChannels = channels;
    if (channels == 0) {
        update();
        return;
    }

    const int w = width();
    const int h = height() / channels;
    const int lanes = std::min<int>(channels, MaxChannels);
    const QColor fore = ColorOf(FForecolor);
    QPainter painter; // a widget of no area has no picture, but its bars still move
    if (!FPicture.isNull()) painter.begin(&FPicture);

    for (int i = 0; i < lanes; ++i) {
        const int32_t v = BarOf(FLevels[i], w);
        if (v > FBars[i])
            FBars[i] = v;
        else if (FBars[i] < FBarFall)
            FBars[i] = 0;
        else
            FBars[i] -= FBarFall;
        FillCells(painter, 1, int64_t(i) * h + 1, FBars[i], int64_t(i + 1) * h, w, fore);
    }

    if (FShowPeaks) {
        for (int i = 0; i < lanes; ++i) {
            const int32_t v = BarOf(FLevels[i], w);
            if (v >= FPeaks[i]) {
                FPeaks[i] = v;
                FPeakAge[i] = 0;
            }
            if (FPeakAge[i] > FPeakHold) FPeaks[i] -= FPeakFall;
            if (FPeaks[i] > 0)
                FillCells(painter, int64_t(FPeaks[i]) - 2, int64_t(i) * h + 1, FPeaks[i],
                          int64_t(i + 1) * h, w, fore);
            // A peak that is never reached again ages for good; the count stops at its top.
            if (FPeakAge[i] < std::numeric_limits<int32_t>::max()) ++FPeakAge[i];
        }
    }

    if (painter.isActive()) painter.end();
    update();
}

void TLevelMeter::ClearMeter() {
    FitPicture();
    FillPicture(FBackcolor);
    update();
}

void TLevelMeter::paintEvent(QPaintEvent*) {
    FitPicture();
    QPainter(this).drawImage(QPoint(0, 0), FPicture);
}

void TLevelMeter::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    for (int i = 0; i < 2; ++i) {
        FBars[i] = 0;
        FPeaks[i] = 0;
        FPeakAge[i] = 0;
    }
    FitPicture();
}

void TLevelMeter::FitPicture() {
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = size() * ratio;
    if (FPicture.size() == pixels && FPicture.devicePixelRatio() == ratio) return;
    if (pixels.isEmpty()) {
        FPicture = QImage();
        return;
    }
    FPicture = QImage(pixels, QImage::Format_RGB32);
    FPicture.setDevicePixelRatio(ratio);
    FillPicture(FBackcolor);
}

void TLevelMeter::FillPicture(int colour) {
    if (!FPicture.isNull()) FPicture.fill(ColorOf(colour));
}

} // namespace orvella
