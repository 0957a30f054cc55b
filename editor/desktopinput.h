#pragma once
// TDesktopInput: input a desktop user brings to the main window, on top of its own commands.
// - A file dragged from the file manager and dropped anywhere on the window is handed to OnDrop
//   (the first local file of the drop).
// - Space, when the widget with the focus does not take it (a text box, a button), goes to
//   OnSpace: play or stop.
// It is an event filter on the window, so the window's own event handlers stay as they are.
// Thread rule: GUI thread only.

#include <QObject>
#include <QString>

#include <functional>

class QWidget;

namespace orvella {

class TDesktopInput : public QObject {
    Q_OBJECT
public:
    // Filters window's events and accepts drops on it; owned by window.
    explicit TDesktopInput(QWidget& window);

    std::function<void(const QString& path)> OnDrop;
    std::function<void()> OnSpace;

    // The local file a drop of these URLs opens; empty when there is none.
    static QString DroppedFile(const QList<QUrl>& urls);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& Window;
};

} // namespace orvella
