#include "editor/recentfiles.h"

#include <QFileInfo>
#include <QMenu>
#include <QSettings>

namespace orvella {

namespace {

constexpr char Key[] = "Recent/files";

} // namespace

TRecentFiles::TRecentFiles(QWidget* parent)
    : QObject(parent)
    , FMenu(new QMenu(tr("Recent &Files"), parent)) {
    List = QSettings(QStringLiteral("Quendrix"), QStringLiteral("Orvella"))
               .value(QLatin1String(Key))
               .toStringList();
    FMenu->setAccessibleName(tr("Recent Files"));
    List.removeAll(QString());
    List.removeDuplicates();
    while (List.size() > MaxFiles)
        List.removeLast();
    connect(FMenu, &QMenu::aboutToShow, this, &TRecentFiles::Rebuild);
    Rebuild();
}

void TRecentFiles::Add(const QString& path) {
    if (path.isEmpty()) return;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    List.removeAll(absolute);
    List.prepend(absolute);
    while (List.size() > MaxFiles)
        List.removeLast();
    Store();
    Rebuild();
}

void TRecentFiles::Clear() {
    List.clear();
    Store();
    Rebuild();
}

void TRecentFiles::Store() const {
    QSettings store(QStringLiteral("Quendrix"), QStringLiteral("Orvella"));
    store.setValue(QLatin1String(Key), List);
    store.sync();
}

void TRecentFiles::Rebuild() {
    FMenu->clear();
    int number = 1;
    for (const QString& path : List) {
        // "&1 name" for the first nine: the digit is the entry's accelerator.
        const QString name = QFileInfo(path).fileName().replace(QLatin1Char('&'), QLatin1String("&&"));
        const QString text = number < 10 ? QStringLiteral("&%1 %2").arg(number).arg(name)
                                         : QStringLiteral("1&0 %1").arg(name);
        QAction* entry = FMenu->addAction(text);
        entry->setToolTip(path);
        entry->setStatusTip(path);
        entry->setData(path);
        entry->setEnabled(QFileInfo::exists(path));
        connect(entry, &QAction::triggered, this, [this, path] {
            if (OnOpen) OnOpen(path);
        });
        ++number;
    }
    if (!List.isEmpty()) FMenu->addSeparator();
    QAction* clear = FMenu->addAction(tr("&Clear List"));
    clear->setObjectName(QStringLiteral("ClearRecent"));
    clear->setEnabled(!List.isEmpty());
    connect(clear, &QAction::triggered, this, &TRecentFiles::Clear);
}

} // namespace orvella
