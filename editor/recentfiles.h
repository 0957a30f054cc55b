#pragma once
// TRecentFiles: the "Recent Files" submenu of the File menu. It lists the last ten files opened
// or saved, newest first, each at most once, then "Clear List". A file that no longer exists is
// shown disabled. The list is kept per user in QSettings("Quendrix", "Orvella"), group "Recent",
// value "files", and written at every change, so a run that does not close keeps it too.
// Thread rule: GUI thread only.

#include <QObject>
#include <QStringList>

#include <functional>

class QAction;
class QMenu;

namespace orvella {

class TRecentFiles : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxFiles = 10;

    // Reads the stored list; the menu is titled "Recent Files" and owned by parent.
    explicit TRecentFiles(QWidget* parent);

    QMenu* Menu() const { return FMenu; }
    const QStringList& Files() const { return List; }
    // Puts path (made absolute) first; the oldest beyond ten drop out.
    void Add(const QString& path);
    void Clear();

    // A file chosen from the menu.
    std::function<void(const QString& path)> OnOpen;

private:
    // Rebuilt each time the menu opens, so the disabled entries are current.
    void Rebuild();
    void Store() const;

    QStringList List;
    QMenu* FMenu;
};

} // namespace orvella
