#include "editor/qtuserdialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

namespace orvella {

namespace {

// The system's texts break lines with "\r\n"; a Qt label wants "\n".
QString BoxText(const std::string& text) {
    return QString::fromStdString(text).replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

void ShowBox(QMessageBox::Icon icon, const QString& caption, const QString& text) {
    QMessageBox box(icon, caption, text, QMessageBox::Ok, QApplication::activeWindow());
    box.setAccessibleName(caption);
    box.exec();
}

} // namespace

void TQtUserDialogs::ShowError(const std::string& text) {
    const QString body = BoxText(text);
    Main.Synchronize(
        [body] { ShowBox(QMessageBox::Critical, QApplication::applicationName(), body); });
}

void TQtUserDialogs::ShowMessage(const std::string& text, const std::string& caption,
                                 TMessageIcon icon) {
    const QString body = BoxText(text);
    const QString title = QString::fromStdString(caption);
    const QMessageBox::Icon qtIcon = icon == TMessageIcon::Error     ? QMessageBox::Critical
                                     : icon == TMessageIcon::Warning ? QMessageBox::Warning
                                                                     : QMessageBox::Information;
    Main.Synchronize([=] { ShowBox(qtIcon, title, body); });
}

} // namespace orvella
