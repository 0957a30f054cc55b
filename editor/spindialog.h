#pragma once
// The small value dialogs of the effects: one spin edit in a titled group, "&Ok" and "&Cancel".
// Made once at start-up and shown again on each use, so the value persists between uses unless
// the command sets it. Shown centred on its parent.
// Thread rule: a widget; main thread only.

#include <QDialog>

class QSpinBox;

namespace orvella {

class TSpinDialog : public QDialog {
    Q_OBJECT
public:
    TSpinDialog(const QString& caption, const QString& groupTitle, int minimum, int maximum,
                int initial, QWidget* parent = nullptr);

    int Value() const;
    void SetValue(int value);
    QSpinBox* SpinEdit() const { return Spin; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QSpinBox* Spin;
};

} // namespace orvella
