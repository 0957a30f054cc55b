#pragma once
// The main window's own questions, modal dialogs and hand-offs to the desktop, behind one seam so
// that tests can answer them: the real implementation shows Qt message boxes and file, folder and
// colour dialogs, runs the dialogs modally, and starts programs and the desktop's handlers.
// Thread rule: main thread only.

#include <QColor>
#include <QList>
#include <QMessageBox>
#include <QPair>
#include <QString>
#include <QStringList>

class QDialog;
class QUrl;
class QWidget;

namespace orvella {

class TWindowDialogs {
public:
    virtual ~TWindowDialogs() = default;
    // Texts that replace the standard captions of some of a question's buttons.
    using ButtonCaptions = QList<QPair<QMessageBox::StandardButton, QString>>;
    // A message box over parent with the given buttons; returns the button chosen.
    virtual QMessageBox::StandardButton Ask(QWidget* parent, const QString& text,
                                            QMessageBox::Icon icon,
                                            QMessageBox::StandardButtons buttons,
                                            const ButtonCaptions& captions = {}) = 0;
    // Shows dialog modally; true when it was closed with Ok.
    virtual bool Execute(QDialog& dialog) = 0;
    // A file to open; filter lists "Name|*.a;*.b" pairs joined by "|". Empty when cancelled.
    virtual QString OpenFileName(QWidget* parent, const QString& filter) = 0;
    // A file to save to, the name as the user typed it (no extension added); filterIndex comes
    // in as the entry shown first and goes out as the entry chosen, counted from 0. Empty when
    // cancelled. The caller asks about an existing file itself.
    virtual QString SaveFileName(QWidget* parent, const QString& filter, int& filterIndex) = 0;
    // A folder, starting at start; empty when cancelled.
    virtual QString FolderName(QWidget* parent, const QString& start) = 0;
    // A colour, starting at initial; invalid when cancelled.
    virtual QColor ColorOf(QWidget* parent, const QColor& initial) = 0;
    // Hands a file or an address to the desktop's handler; false when nothing took it.
    virtual bool OpenUrl(const QUrl& url) = 0;
    // Starts program on its own; false when it could not be started.
    virtual bool StartProgram(const QString& program, const QStringList& arguments) = 0;
};

// "Name|*.a;*.b|Other|*.c" as Qt writes it: "Name (*.a *.b);;Other (*.c)".
QString QtFileFilter(const QString& filter);

class TQtWindowDialogs : public TWindowDialogs {
public:
    QMessageBox::StandardButton Ask(QWidget* parent, const QString& text, QMessageBox::Icon icon,
                                    QMessageBox::StandardButtons buttons,
                                    const ButtonCaptions& captions) override;
    bool Execute(QDialog& dialog) override;
    QString OpenFileName(QWidget* parent, const QString& filter) override;
    QString SaveFileName(QWidget* parent, const QString& filter, int& filterIndex) override;
    QString FolderName(QWidget* parent, const QString& start) override;
    QColor ColorOf(QWidget* parent, const QColor& initial) override;
    bool OpenUrl(const QUrl& url) override;
    bool StartProgram(const QString& program, const QStringList& arguments) override;
};

} // namespace orvella
