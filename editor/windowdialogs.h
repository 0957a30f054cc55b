#pragma once
// The main window's own questions and modal dialogs, behind one seam so that tests can answer
// them: the real implementation shows Qt message boxes and runs the dialogs modally.
// Thread rule: main thread only.

#include <QMessageBox>
#include <QString>

class QDialog;
class QWidget;

namespace orvella {

class TWindowDialogs {
public:
    virtual ~TWindowDialogs() = default;
    // A message box over parent with the given buttons; returns the button chosen.
    virtual QMessageBox::StandardButton Ask(QWidget* parent, const QString& text,
                                            QMessageBox::Icon icon,
                                            QMessageBox::StandardButtons buttons) = 0;
    // Shows dialog modally; true when it was closed with Ok.
    virtual bool Execute(QDialog& dialog) = 0;
    // A file to open or to save to; empty when the user cancelled.
    virtual QString OpenFileName(QWidget* parent) = 0;
    virtual QString SaveFileName(QWidget* parent) = 0;
};

class TQtWindowDialogs : public TWindowDialogs {
public:
    QMessageBox::StandardButton Ask(QWidget* parent, const QString& text, QMessageBox::Icon icon,
                                    QMessageBox::StandardButtons buttons) override;
    bool Execute(QDialog& dialog) override;
    QString OpenFileName(QWidget* parent) override;
    QString SaveFileName(QWidget* parent) override;
};

} // namespace orvella
