#include "editor/tools.h"

#include "editor/windowdialogs.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

namespace orvella {

QString FindCompanion(const TCompanion& companion) {
    QSettings store(QStringLiteral("Quendrix"), QStringLiteral("Orvella"));
    store.beginGroup(QLatin1String(companion.Group));
    const QString folder = store.value(QStringLiteral("path")).toString();
    store.endGroup();
    if (!folder.isEmpty()) {
        const QFileInfo stored(folder + QLatin1Char('/') + QLatin1String(companion.Program));
        if (stored.isFile() && stored.isExecutable()) return stored.absoluteFilePath();
    }
    return QStandardPaths::findExecutable(QLatin1String(companion.Program));
}

bool RunCompanion(const TCompanion& companion, TWindowDialogs& dialogs, QWidget* parent) {
    const QString program = FindCompanion(companion);
    // No argument: an empty one would reach the program as a file name to open.
    if (!program.isEmpty() && dialogs.StartProgram(program, {})) return true;
    dialogs.Ask(parent, QLatin1String(ComponentNotFound), QMessageBox::Information,
                QMessageBox::Ok);
    dialogs.OpenUrl(QUrl(QLatin1String(companion.Page)));
    return false;
}

} // namespace orvella
