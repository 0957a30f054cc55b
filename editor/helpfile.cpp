#include "editor/helpfile.h"

#include "editor/windowdialogs.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QUrl>

namespace orvella {

QString HelpFilePath() {
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(HelpFileName);
}

QString ShowHelp(TWindowDialogs& dialogs, const QString& file, const QString& topic) {
    const QFileInfo info(file);
    if (info.isFile()) {
        QUrl url = QUrl::fromLocalFile(info.absoluteFilePath());
        if (!topic.isEmpty()) url.setFragment(topic);
        if (dialogs.OpenUrl(url)) return {};
    }
    return QCoreApplication::translate("orvella", "Unable to open help file %1").arg(file);
}

} // namespace orvella
