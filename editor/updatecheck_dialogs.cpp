#include "editor/updatecheck_dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>

namespace orvella {

void TQtUpdateDialogs::ShowMessage(const QString& text) {
    QMessageBox::information(Owner, QApplication::applicationDisplayName(), text);
}

void TQtUpdateDialogs::Warning(const QString& text) {
    QMessageBox::warning(Owner, QStringLiteral("Warning"), text);
}

void TQtUpdateDialogs::Inform(const QString& text) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), text, QMessageBox::Ok, Owner);
    box.exec();
}

bool TQtUpdateDialogs::AskYesNo(const QString& text) {
    return QMessageBox::question(Owner, QStringLiteral("Confirm"), text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void TQtUpdateDialogs::Error(const QString& text) {
    QMessageBox::critical(Owner, QStringLiteral("Error"), text);
}

bool TQtUpdateDialogs::OpenUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

} // namespace orvella
