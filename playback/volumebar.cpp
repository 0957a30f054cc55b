#include "playback/volumebar.h"

#include <algorithm>
#include <cmath>

namespace orvella {

TVolumeBar::TVolumeBar(QWidget* parent)
    : QSlider(Qt::Vertical, parent) {
    setRange(Top, Bottom);
    // A vertical slider puts its minimum at the bottom: turn both the drawing and the keys round
    // so the minimum sits at the top and Up moves toward it.
    setInvertedAppearance(true);
    setInvertedControls(true);
    setTickPosition(QSlider::TicksBothSides);
    setTickInterval(TickInterval);
    setSingleStep(SingleStep);
    setPageStep(PageStep);
    const QString hint = tr("Playback volume level");
    setAccessibleName(hint);
    setToolTip(hint);
}

int32_t VolumeOfPosition(int position) {
    const int p = std::clamp(position, int(TVolumeBar::Top), int(TVolumeBar::Bottom));
    // 1 - p is at least 1, so the logarithm is finite and the result stays within -10000..0.
    return int32_t(std::nearbyint(std::log(1.0 - p) * 1085.73)) - 10000;
}

} // namespace orvella
