#pragma once
// TBottomPanel, the part of the main window below the waveform: the progress bar of a running
// operation and the "Main" tab with the selection group, the cursor time, the level meter and
// the playback volume. It shows what it is told and reports the volume the user sets.
// Thread rule: a widget; main thread only.

#include <QWidget>

#include <cstdint>

class QLabel;
class QProgressBar;
class QTabWidget;

namespace orvella {

class TSelectionPanel;
class TLevelMeter;
class TVolumeBar;

class TBottomPanel : public QWidget {
    Q_OBJECT
public:
    explicit TBottomPanel(QWidget* parent = nullptr);

    TSelectionPanel* Selection() const { return SelectionGroup; }
    // The cursor's time as the big label shows it.
    void ShowCursorTime(const QString& text);
    QString CursorTimeText() const;
    // The meter's bars; channels 1 shows the left level on both.
    void ShowLevels(int16_t left, int16_t right, uint8_t channels);
    // Both bars at rest.
    void ClearLevels(uint8_t channels);
    // The percentage of a running operation: the bar appears above 0; HideProgress when done.
    void ShowProgress(int percent);
    void HideProgress();
    // The volume bar's position, TVolumeBar::Top (loudest) .. Bottom.
    void SetVolumePosition(int position);

    // For tests and the window's Tab order.
    TLevelMeter* LevelMeter() const { return Meter; }
    TVolumeBar* VolumeBar() const { return Volume; }
    QProgressBar* Progress() const { return ProgressBar; }
    QLabel* CursorTime() const { return CursorLabel; }

signals:
    // The user (or SetVolumePosition) moved the volume bar: volume in hundredths of a decibel.
    void VolumeChanged(int32_t volume);

private:
    QWidget* CreateMainTab();

    QProgressBar* ProgressBar = nullptr;
    QTabWidget* Tabs = nullptr;
    TSelectionPanel* SelectionGroup = nullptr;
    QLabel* CursorLabel = nullptr;
    TLevelMeter* Meter = nullptr;
    TVolumeBar* Volume = nullptr;
};

} // namespace orvella
