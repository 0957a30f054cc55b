#include "editor/windowdialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QProcess>
#include <QUrl>

namespace orvella {

QString QtFileFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        entries << parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return entries.join(QStringLiteral(";;"));
}

QMessageBox::StandardButton TQtWindowDialogs::Ask(QWidget* parent, const QString& text,
                                                  QMessageBox::Icon icon,
                                                  QMessageBox::StandardButtons buttons,
                                                  const ButtonCaptions& captions) {
    QMessageBox box(icon, QApplication::applicationName(), text, buttons, parent);
    box.setAccessibleName(QApplication::applicationName());
    for (const auto& [button, caption] : captions)
        if (QAbstractButton* shown = box.button(button)) shown->setText(caption);
    return QMessageBox::StandardButton(box.exec());
}

bool TQtWindowDialogs::Execute(QDialog& dialog) {
    return dialog.exec() == QDialog::Accepted;
}

QString TQtWindowDialogs::OpenFileName(QWidget* parent, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, QObject::tr("Open"), {}, QtFileFilter(filter));
}

QString TQtWindowDialogs::SaveFileName(QWidget* parent, const QString& filter, int& filterIndex) {
    const QStringList filters = QtFileFilter(filter).split(QStringLiteral(";;"));
    QFileDialog dialog(parent, QObject::tr("Save As"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The window asks about an existing file itself, once it knows the final name.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilters(filters);
    if (filterIndex >= 0 && filterIndex < filters.size())
        dialog.selectNameFilter(filters[filterIndex]);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    filterIndex = int(std::max<qsizetype>(filters.indexOf(dialog.selectedNameFilter()), 0));
    return dialog.selectedFiles().constFirst();
}

QString TQtWindowDialogs::FolderName(QWidget* parent, const QString& start) {
    return QFileDialog::getExistingDirectory(parent, QObject::tr("Temporary Folder"), start);
}

QColor TQtWindowDialogs::ColorOf(QWidget* parent, const QColor& initial) {
    return QColorDialog::getColor(initial, parent);
}

bool TQtWindowDialogs::OpenUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

bool TQtWindowDialogs::StartProgram(const QString& program, const QStringList& arguments) {
    return QProcess::startDetached(program, arguments);
}

} // namespace orvella
