// The engine's boxes in the window: a worker's box is shown on the main thread, which keeps
// running its event loop, and the worker waits until the user has closed it.
#include "editor/qtuserdialogs.h"
#include "view/qtmainthread.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace orvella {
namespace {

TEST(QtUserDialogs, AWorkersBoxIsShownOnTheMainThreadAndWaitedFor) {
    TQtMainThread main;
    TQtUserDialogs dialogs(main);
    std::atomic<bool> returned{false};
    QString text;
    bool onMainThread = false;
    int ticksWhileShown = 0;
    QTimer closer;
    closer.setInterval(10);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        // The main thread keeps answering while the box is up; the worker still waits.
        if (++ticksWhileShown < 5) return;
        EXPECT_FALSE(returned.load());
        text = box->text();
        onMainThread = QThread::currentThread() == QApplication::instance()->thread();
        box->accept();
    });
    closer.start();
    std::thread worker([&] {
        dialogs.ShowError("Disk full\r\nTry again");
        returned = true;
    });
    QElapsedTimer clock;
    clock.start();
    while (!returned.load() && clock.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    worker.join();
    EXPECT_TRUE(returned.load());
    EXPECT_TRUE(onMainThread);
    EXPECT_EQ(text, QStringLiteral("Disk full\nTry again"));
    EXPECT_GE(ticksWhileShown, 5);
}

} // namespace
} // namespace orvella
