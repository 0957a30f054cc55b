#pragma once
// TLevelMeter, the level meter: one horizontal bar per channel with a peak marker, fed two level
// numbers on every meter tick. It knows nothing about audio: a level is 0..128 (|sample| / 256),
// and level * width / 128 pixels is the bar length, so 128 fills the whole width. Bars fall by
// BarFall pixels per update; a peak marker holds for PeakHold + 1 updates, then falls PeakFall
// pixels per update until a level reaches it again.
// Each update draws into a kept picture that every paint shows, so a repaint shows the last
// update. Geometry is in logical pixels; on a screen with a device pixel ratio above 1 the picture
// is made at the device resolution.
// Thread rule: a widget; every method runs on the GUI thread.

#include <QColor>
#include <QImage>
#include <QSize>
#include <QWidget>

#include <array>
#include <cstdint>

namespace orvella {

class TLevelMeter : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int backcolor READ backcolor WRITE SetBackcolor)
    Q_PROPERTY(int forecolor READ forecolor WRITE SetForecolor)

public:
    static constexpr int MaxChannels = 128; // bars; more channels than this draw no more lanes
    static constexpr int LevelCount = 256;
    static constexpr int DefaultWidth = 127;
    static constexpr int DefaultHeight = 38;

    // 127 x 38, both colours 0, one channel, peaks shown; accessible name "Level meter".
    explicit TLevelMeter(QWidget* parent = nullptr);

    // Colours as 24-bit integers with red in the low byte, then green, then blue. A change shows
    // from the next update or ClearMeter on.
    int backcolor() const { return FBackcolor; }
    void SetBackcolor(int colour) { FBackcolor = colour; }
    int forecolor() const { return FForecolor; }
    void SetForecolor(int colour) { FForecolor = colour; }
    // The QColor of such an integer; bits above the low 24 are ignored.
    static QColor ColorOf(int colour);

    int PeakHold() const { return FPeakHold; }
    void SetPeakHold(int updates) { FPeakHold = updates; }
    int PeakFall() const { return FPeakFall; }
    void SetPeakFall(int pixels) { FPeakFall = pixels; }
    int BarFall() const { return FBarFall; }
    void SetBarFall(int pixels) { FBarFall = pixels; }
    bool ShowPeaks() const { return FShowPeaks; }
    void SetShowPeaks(bool show) { FShowPeaks = show; }

    // One update: levels of the left and right channel and the number of bars to draw (the
    // document's channel count; lanes share the height, H div channels each). Bars beyond the
    // second get level 0. A meter that is not visible ignores the call entirely. Channel count 0
    // draws the background only.
    void SetLevels(int16_t left, int16_t right, uint8_t channels);
    // Fills the picture with backcolor and shows it; bar and peak values stay.
    void ClearMeter();

    // State, read-only outside the meter: the last update's levels and channel count, and per
    // channel the bar length, the peak marker's right end (pixels) and the updates since the peak
    // was set.
    const std::array<int16_t, LevelCount>& Levels() const { return FLevels; }
    uint8_t Channels() const { return FChannels; }
    const std::array<int32_t, MaxChannels>& Bars() const { return FBars; }
    const std::array<int32_t, MaxChannels>& Peaks() const { return FPeaks; }
    const std::array<int32_t, MaxChannels>& PeakAge() const { return FPeakAge; }
    // The picture that paints show: 32 bits per pixel, the widget's size times its device pixel
    // ratio, carrying that ratio.
    const QImage& Picture() const { return FPicture; }

    QSize sizeHint() const override { return {DefaultWidth, DefaultHeight}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    // A new size resets bars, peaks and peak ages of channels 0 and 1; the picture follows the
    // size and starts blank.
    void resizeEvent(QResizeEvent* event) override;

private:
    // Makes the picture match the widget's size and pixel ratio; a new picture is filled with
    // backcolor.
    void FitPicture();
    void FillPicture(int colour);

    int FBackcolor = 0;
    int FForecolor = 0;
    int FPeakHold = 10;
    int FPeakFall = 1;
    int FBarFall = 3;
    bool FShowPeaks = true;
    uint8_t FChannels = 1;
    std::array<int16_t, LevelCount> FLevels{};
    std::array<int32_t, MaxChannels> FBars{};
    std::array<int32_t, MaxChannels> FPeaks{};
    std::array<int32_t, MaxChannels> FPeakAge{};
    QImage FPicture;
};

} // namespace orvella
