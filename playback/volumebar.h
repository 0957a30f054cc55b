#pragma once
// TVolumeBar, the volume bar: a vertical slider from -10000 at the top to 0 at the bottom, with
// ticks every 500 on both sides. Up, Page Up and the wheel move the thumb up, toward -10000; Home
// goes to the top, End to the bottom. The position is turned into an attenuation by
// VolumeOfPosition.
// Thread rule: a widget; every method runs on the GUI thread.

#include <QSlider>

#include <cstdint>

namespace orvella {

class TVolumeBar : public QSlider {
    Q_OBJECT

public:
    static constexpr int Top = -10000;
    static constexpr int Bottom = 0;
    static constexpr int TickInterval = 500;
    static constexpr int SingleStep = 100;
    static constexpr int PageStep = 500;

    // Accessible name and tool tip "Playback volume level"; the position starts at the top.
    explicit TVolumeBar(QWidget* parent = nullptr);
};

// The attenuation in hundredths of a decibel for a bar position: the nearest integer to
// ln(1 - position) * 1085.73, minus 10000. The top (-10000) gives 0, full volume; the bottom (0)
// gives -10000, silence. Positions outside -10000..0 count as the nearer end.
int32_t VolumeOfPosition(int position);

} // namespace orvella
