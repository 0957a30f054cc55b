#pragma once
// The "  Selection  " group of the main window: "Begin:" and "End:" with their masked edits
// (objectNames "selstart", "selstop"), a "Pick" button beside each, and the "Selected" box. The
// group shows and reads texts and ticks the box as the shared selection says; what the texts mean
// to the view is the main window's business. Thread rule: a widget; main thread only.

#include <QGroupBox>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace orvella {

class TSelectionModel;

class TSelectionPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit TSelectionPanel(QWidget* parent = nullptr);

    // Both edits take mask (MillisecondsMask or SamplesMask).
    void SetMask(const QString& mask);
    // Writes text right-aligned into the edit, as the mask shows it.
    void SetStartText(const QString& text);
    void SetStopText(const QString& text);
    // The "Selected" box shows whether selection is selected from now on.
    void Follow(const TSelectionModel& selection);
    // Ticks or unticks the box without raising SelectedToggled.
    void ShowSelected(bool selected);
    // The edits' texts as shown, blanks included.
    QString StartText() const;
    QString StopText() const;

    QLineEdit* StartEdit() const { return Start; }
    QLineEdit* StopEdit() const { return Stop; }
    QPushButton* PickStartButton() const { return PickStart; }
    QPushButton* PickStopButton() const { return PickStop; }
    // The "Selected" box.
    QCheckBox* SelectedBox() const { return Selected; }

signals:
    // The user ticked or unticked the box, by any means.
    void SelectedToggled();

private:
    QLineEdit* Start;
    QLineEdit* Stop;
    QPushButton* PickStart;
    QPushButton* PickStop;
    QCheckBox* Selected;
    QString Mask;
};

} // namespace orvella
