// The desktop clipboard against another program on a real X server (a private Xvfb): what we copy
// xclip reads as the WAV file, large clips included; what xclip offers as audio/wav we paste into
// a document; and putting a large clip on the clipboard keeps the GUI thread free. Skipped only
// when Xvfb cannot start.

#include "cliptestsupport.h"
#include "xserver.h"

#include "engine/errors.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

using namespace orvella;
using namespace orvella::test;

namespace {

TXServer* Server = nullptr;

// The processor time of the calling thread: what it did, not how long others kept it waiting.
int64_t ThreadCpuMicroseconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return int64_t(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

// The engine's main thread over Qt's, recording the most processor time one call took on the GUI
// thread.
class TTimedMainThread : public TMainThread {
public:
    void Post(std::function<void()> fn) override { Inner.Post(Timed(std::move(fn))); }
    void Synchronize(std::function<void()> fn) override { Inner.Synchronize(Timed(std::move(fn))); }
    void ProcessMessages() override { Inner.ProcessMessages(); }
    bool IsMainThread() const override { return Inner.IsMainThread(); }

    std::atomic<int64_t> LongestMicroseconds{0};

private:
    std::function<void()> Timed(std::function<void()> fn) {
        return [this, fn = std::move(fn)] {
            const int64_t start = ThreadCpuMicroseconds();
            fn();
            const int64_t us = ThreadCpuMicroseconds() - start;
            if (us > LongestMicroseconds) LongestMicroseconds = us;
        };
    }
    TQtMainThread Inner;
};

// Runs a program to its end while the event loop serves the clipboard; its standard output.
QByteArray RunToEnd(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForStarted(5000)) << program.toStdString();
    EXPECT_TRUE(PumpUntil([&] { return process.state() == QProcess::NotRunning; }, 30000));
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
    }
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return process.readAllStandardOutput();
}

QByteArray XclipOut(const char* type) {
    return RunToEnd("xclip", {"-selection", "clipboard", "-t", type, "-o"});
}

class X11ClipboardTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!Server || !Server->Running())
            GTEST_SKIP() << "no X server: " << (Server ? Server->Failure() : "");
        // Start from a clipboard nobody holds.
        QGuiApplication::clipboard()->clear();
        Clipboard = std::make_unique<TQtWaveClipboard>(Main);
        Clipboard->SetTempFolder(Temp.Path());
        ASSERT_TRUE(PumpUntil([&] { return !Clipboard->WaveAvailable(); }));
    }

    void Copy(const Bytes& block) {
        EXPECT_EQ(OnWorker([&] {
                      Clipboard->Open();
                      Clipboard->SetWave(block);
                      Clipboard->Close();
                  }),
                  "");
    }

    TempDir Temp;
    TTimedMainThread Main;
    std::unique_ptr<TQtWaveClipboard> Clipboard;
};

TEST_F(X11ClipboardTest, AnotherProgramReadsOurCopyAsTheWavFile) {
    const Bytes small = WorkClip(2, 44100, {1, -1, 32767, -32768, 0, 5});
    Copy(small);
    const QByteArray targets = XclipOut("TARGETS");
    for (const char* type : {"audio/wav", "audio/x-wav", "audio/vnd.wave"}) {
        EXPECT_TRUE(targets.contains(type)) << targets.toStdString();
        const QByteArray got = XclipOut(type);
        EXPECT_EQ(Bytes(got.begin(), got.end()), small) << type;
    }

    // A clip far larger than one X request goes over in pieces; the GUI thread only hands over
    // the finished data, it never copies the values.
    std::vector<int16_t> values(24 << 20);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = int16_t(i * 7919);
    const Bytes large = WorkClip(2, 44100, values);
    // What one copy of the values into fresh memory costs here: the GUI thread's share of the
    // copy must stay well below it.
    const int64_t start = ThreadCpuMicroseconds();
    {
        const std::unique_ptr<uint8_t[]> copy(new uint8_t[large.size()]);
        std::memcpy(copy.get(), large.data(), large.size());
        EXPECT_EQ(copy[large.size() - 1], large.back());
    }
    const int64_t copyUs = ThreadCpuMicroseconds() - start;
    Main.LongestMicroseconds = 0;
    Copy(large);
    RecordProperty("copy_us", int(copyUs));
    RecordProperty("gui_thread_longest_us", int(Main.LongestMicroseconds.load()));
    EXPECT_LT(Main.LongestMicroseconds.load(), copyUs / 2);
    const QByteArray got = XclipOut("audio/wav");
    ASSERT_EQ(size_t(got.size()), large.size());
    EXPECT_EQ(std::memcmp(got.constData(), large.data(), large.size()), 0);
}

TEST_F(X11ClipboardTest, WhatAnotherProgramOffersIsPasted) {
    TClipDocument doc(Main, *Clipboard);
    doc.Load(2, 8000, {9, 9});
    TempDir sources;
    WriteBytes(sources.File("float.wav"), FloatWav(8000, {0.5f, -0.25f}));
    QProcess xclip;
    xclip.start("xclip", {"-quiet", "-selection", "clipboard", "-t", "audio/wav", "-i",
                          QString::fromStdString(sources.File("float.wav"))});
    ASSERT_TRUE(xclip.waitForStarted(5000));
    EXPECT_TRUE(PumpUntil([&] { return Clipboard->WaveAvailable(); }));
    ASSERT_TRUE(doc.Doc->Paste(1));
    doc.WaitIdle();
    EXPECT_TRUE(doc.Dialogs.Errors().empty());
    EXPECT_EQ(doc.Values(), (std::vector<int16_t>{9, 9, 16384, 16384, -8192, -8192}));
    EXPECT_TRUE(Temp.Files().empty());
    xclip.kill();
    xclip.waitForFinished(5000);
}

} // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();

    TXServer server;
    Server = &server;
    if (!server.Running()) return RUN_ALL_TESTS(); // every test skips and says why
    qputenv("DISPLAY", QByteArray::fromStdString(server.DisplayName()));
    qputenv("QT_QPA_PLATFORM", "xcb");
    qunsetenv("WAYLAND_DISPLAY");
    qunsetenv("XAUTHORITY");
    int result;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    Server = nullptr;
    return result;
}
