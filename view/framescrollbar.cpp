#include "view/framescrollbar.h"

#include <QSignalBlocker>

#include <algorithm>
#include <climits>

namespace orvella {

namespace {
constexpr uint32_t MaxUnits = 1u << 30;
}

TFrameScrollBar::TFrameScrollBar(QWidget* parent)
    : QScrollBar(Qt::Horizontal, parent) {
    Apply();
    connect(this, &QScrollBar::valueChanged, this, [this](int value) {
        if (Applying) return;
        FPosition = uint32_t(std::min<uint64_t>(uint64_t(value) * Unit, FMaximum));
        emit PositionChanged(FPosition);
    });
}

int TFrameScrollBar::ToUnits(uint64_t frames) const {
    return int(std::min<uint64_t>(frames / Unit, INT_MAX));
}

void TFrameScrollBar::Apply() {
    Unit = FMaximum / MaxUnits + 1;
    Applying = true;
    const uint32_t top = FMaximum > FPageSize ? FMaximum - FPageSize : 0;
    setRange(ToUnits(FMinimum), ToUnits(std::max(top, FMinimum)));
    setPageStep(std::max(1, ToUnits(FPageSize)));
    setSingleStep(std::max(1, ToUnits(FSmallChange)));
    FPosition = std::clamp(FPosition, FMinimum, std::max(top, FMinimum));
    setValue(ToUnits(FPosition));
    Applying = false;
}

uint32_t TFrameScrollBar::Position() const {
    return FPosition;
}

void TFrameScrollBar::SetMinimum(uint32_t frames) {
    FMinimum = frames;
    Apply();
}

void TFrameScrollBar::SetMaximum(uint32_t frames) {
    FMaximum = frames;
    Apply();
}

void TFrameScrollBar::SetPageSize(uint32_t frames) {
    const bool changed = frames != FPageSize;
    FPageSize = frames;
    Apply();
    if (changed) emit PageSizeChanged(frames);
}

void TFrameScrollBar::SetPosition(uint32_t frames) {
    FPosition = frames;
    Apply();
}

void TFrameScrollBar::SetSmallChange(uint32_t frames) {
    FSmallChange = frames;
    Apply();
}

void TFrameScrollBar::SetLargeChange(uint32_t frames) {
    // QScrollBar's page step is the large change when the user clicks the track; the slider's
    // length follows it too, so the page size wins where the two differ.
    FLargeChange = frames;
}

} // namespace orvella
