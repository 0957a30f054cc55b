// The engine's main thread over Qt's event loop: calls from workers reach the GUI thread, a
// Synchronize'd failure reaches its caller, a posted one never reaches Qt, and ProcessMessages
// runs nothing but the engine's own calls.
#include "view/qtmainthread.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

namespace orvella {
namespace {

// Runs Qt's event loop until done() or two seconds passed.
bool PumpUntil(const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

class KeyCounter : public QWidget {
public:
    int Keys = 0;

protected:
    void keyPressEvent(QKeyEvent*) override { ++Keys; }
};

TEST(QtMainThreadTest, ProcessMessagesRunsOnlyTheEnginesCalls) {
    TQtMainThread main;
    KeyCounter widget;
    bool timerRan = false, engineRan = false;
    QTimer::singleShot(0, [&] { timerRan = true; });
    QCoreApplication::postEvent(&widget,
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier));
    main.Post([&] { engineRan = true; });

    main.ProcessMessages();
    EXPECT_TRUE(engineRan);
    EXPECT_FALSE(timerRan);
    EXPECT_EQ(widget.Keys, 0);

    EXPECT_TRUE(PumpUntil([&] { return timerRan && widget.Keys == 1; }));
}

TEST(QtMainThreadTest, PostsFromAWorkerRunInOrderOnTheGuiThread) {
    TQtMainThread main;
    std::vector<int> ran;
    bool onGuiThread = true;
    std::thread worker([&] {
        for (int i = 0; i < 5000; ++i)
            main.Post([&, i] {
                onGuiThread = onGuiThread && main.IsMainThread();
                ran.push_back(i);
            });
    });
    worker.join();
    ASSERT_TRUE(PumpUntil([&] { return ran.size() == 5000; }));
    EXPECT_TRUE(onGuiThread);
    for (int i = 0; i < 5000; ++i)
        ASSERT_EQ(ran[i], i);
}

TEST(QtMainThreadTest, SynchronizedFailureReachesTheWorker) {
    TQtMainThread main;
    std::atomic<bool> done{false};
    std::string caught;
    int value = 0;
    std::thread worker([&] {
        main.Synchronize([&] { value = 7; });
        try {
            main.Synchronize([] { throw std::runtime_error("device lost"); });
        } catch (const std::runtime_error& e) {
            caught = e.what();
        }
        done = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(value, 7);
    EXPECT_EQ(caught, "device lost");
}

TEST(QtMainThreadTest, SynchronizeIsServedWhileTheGuiThreadWaitsInProcessMessages) {
    // The engine's waits (Close, a buffer's teardown) loop on ProcessMessages, not Qt's loop.
    TQtMainThread main;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        main.Synchronize([] {});
        done = true;
    });
    QElapsedTimer clock;
    clock.start();
    while (!done && clock.elapsed() < 2000)
        main.ProcessMessages();
    worker.join();
    EXPECT_TRUE(done);
}

TEST(QtMainThreadTest, PostedFailureGoesToTheHandlerAndLaterCallsRun) {
    TQtMainThread main;
    std::vector<std::string> failures;
    main.SetFailureHandler([&](std::exception_ptr e) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& x) {
            failures.push_back(x.what());
        }
    });
    bool later = false;
    main.Post([] { throw std::runtime_error("bad call"); });
    main.Post([&] { later = true; });
    EXPECT_TRUE(PumpUntil([&] { return later; }));
    EXPECT_EQ(failures, (std::vector<std::string>{"bad call"}));
}

} // namespace
} // namespace orvella
