// orvella: the desktop editor. Binds the rate conversion library, makes the main window and its
// dialogs, and runs the event loop.

#include "editor/lazysounddevice.h"
#include "editor/mainwindow.h"
#include "editor/qtuserdialogs.h"
#include "editor/velcorabinding.h"
#include "editor/versioninfo.h"
#include "editor/windowdialogs.h"
#include "view/qtmainthread.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <exception>
#include <fcntl.h>
#include <semaphore.h>

namespace {

// The named semaphore ORVELLA: opened, or created when no instance made it yet. It marks that the
// program runs; a second instance opens it and goes on.
class TInstanceMark {
public:
    TInstanceMark()
        : Handle(sem_open("/ORVELLA", O_CREAT, 0600, 1)) {}
    ~TInstanceMark() {
        if (Handle != SEM_FAILED) sem_close(Handle);
    }
    TInstanceMark(const TInstanceMark&) = delete;
    TInstanceMark& operator=(const TInstanceMark&) = delete;

private:
    sem_t* Handle;
};

} // namespace

int main(int argc, char** argv) {
    using namespace orvella;
    TInstanceMark mark;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvella"));
    QApplication::setOrganizationName(QStringLiteral("Quendrix"));
    // The version comes from the record the build wrote into the program file.
    QString version;
    try {
        TVersionInfo info;
        info.SetFilename(QCoreApplication::applicationFilePath());
        version = info.FileVersion;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "orvella: %s\n", error.what());
    }
    QApplication::setApplicationVersion(version);
    // The desktop matches the windows to the installed desktop entry (and its icon) by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.quendrix.Orvella"));

    const std::string library =
        VelcoraPathFor(QCoreApplication::applicationFilePath().toStdString());
    const std::string failure = BindVelcora(library);
    if (!failure.empty()) {
        std::fprintf(stderr, "orvella: %s\n", failure.c_str());
        QMessageBox::critical(nullptr, QStringLiteral("Orvella"), QString::fromStdString(failure));
        return 1;
    }

    TQtMainThread mainThread;
    TQtUserDialogs dialogs(mainThread);
    TQtWindowDialogs windowDialogs;
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();

    TMainWindow form(
        {mainThread, dialogs, windowDialogs, [] { return std::make_shared<TLazySoundDevice>(); }},
        arguments);
    // The caption carries the program's version once the window exists.
    form.AppendVersion(version);
    form.show();
    return QApplication::exec();
}
