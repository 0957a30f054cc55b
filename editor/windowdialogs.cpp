#include "editor/windowdialogs.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>

namespace orvella {

QMessageBox::StandardButton TQtWindowDialogs::Ask(QWidget* parent, const QString& text,
                                                  QMessageBox::Icon icon,
                                                  QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, QApplication::applicationName(), text, buttons, parent);
    box.setAccessibleName(QApplication::applicationName());
    return QMessageBox::StandardButton(box.exec());
}

bool TQtWindowDialogs::Execute(QDialog& dialog) {
    return dialog.exec() == QDialog::Accepted;
}

QString TQtWindowDialogs::OpenFileName(QWidget* parent) {
    return QFileDialog::getOpenFileName(
        parent, QObject::tr("Open"), {},
        QObject::tr("Sound files (*.wav *.mp3 *.wma);;All files (*)"));
}

QString TQtWindowDialogs::SaveFileName(QWidget* parent) {
    return QFileDialog::getSaveFileName(parent, QObject::tr("Save As"), {},
                                        QObject::tr("WAV files (*.wav);;MP3 files (*.mp3)"));
}

} // namespace orvella
