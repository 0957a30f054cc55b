#pragma once
// The main window with every question, dialog and hand-off to the desktop answered by the test:
// a real document, the driven sound device, the settings in a private store and the work files
// in a private folder.

#include "editor/bottompanel.h"
#include "editor/mainwindow.h"
#include "editor/recentfiles.h"
#include "editor/selectionpanel.h"
#include "editor/transportcontroller.h"
#include "editor/windowdialogs.h"
#include "engine/samplestore.h"
#include "playback/drivendevice.h"
#include "playback/levelmeter.h"
#include "playback/volumebar.h"
#include "support/recordingdialogs.h"
#include "support/tempdir.h"
#include "view/framescrollbar.h"
#include "view/qtmainthread.h"
#include "view/waveview.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

#include <gtest/gtest.h>

#include <deque>
#include <fstream>
#include <functional>

namespace orvella::test {

class ScriptedWindow : public TWindowDialogs {
public:
    QMessageBox::StandardButton Ask(QWidget*, const QString& text, QMessageBox::Icon icon,
                                    QMessageBox::StandardButtons,
                                    const ButtonCaptions& captions) override {
        Questions.push_back(text);
        Icons.push_back(icon);
        Captions.push_back(captions);
        if (Answers.empty()) return QMessageBox::Cancel;
        const auto answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
    bool Execute(QDialog& dialog) override {
        Executed.push_back(dialog.windowTitle());
        if (OnExecute) OnExecute(dialog);
        return Accept;
    }
    QString OpenFileName(QWidget*, const QString& filter) override {
        Filters.push_back(filter);
        return OpenName;
    }
    QString SaveFileName(QWidget*, const QString& filter, int& filterIndex) override {
        Filters.push_back(filter);
        filterIndex = SaveFilterIndex;
        return SaveName;
    }
    QString FolderName(QWidget*, const QString&) override { return Folder; }
    QColor ColorOf(QWidget*, const QColor&) override { return Color; }
    bool OpenUrl(const QUrl& url) override {
        Urls.push_back(url);
        return UrlResult;
    }
    bool StartProgram(const QString& program, const QStringList&) override {
        Started.push_back(program);
        return StartResult;
    }

    std::deque<QMessageBox::StandardButton> Answers;
    std::vector<QString> Questions;
    std::vector<QMessageBox::Icon> Icons;
    std::vector<ButtonCaptions> Captions;
    std::vector<QString> Executed;
    std::function<void(QDialog&)> OnExecute;
    bool Accept = true;
    std::vector<QString> Filters;
    QString OpenName, SaveName, Folder;
    int SaveFilterIndex = 0;
    QColor Color;
    std::vector<QUrl> Urls;
    bool UrlResult = true;
    std::vector<QString> Started;
    bool StartResult = true;
};

inline void WriteWav(const std::string& path, uint16_t channels, uint32_t rate,
                     const std::vector<int16_t>& values) {
    const TWaveHeader header = MakeWorkHeader(channels, rate, uint32_t(values.size() * 2));
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&header), sizeof header);
    out.write(reinterpret_cast<const char*>(values.data()), std::streamsize(values.size() * 2));
}

// values[i] = from + i, a ramp every value of which tells where it came from.
inline std::vector<int16_t> Ramp(int frames, int from = 0) {
    std::vector<int16_t> values(size_t(frames), 0);
    for (int i = 0; i < frames; ++i)
        values[size_t(i)] = int16_t(from + i);
    return values;
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        QStandardPaths::setTestModeEnabled(true);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(Store.Path()));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           QString::fromStdString(Store.Path()));
        SetSetting("Settings/tempfolder", QString::fromStdString(Work.Path() + "/"));
    }
    void TearDown() override {
        Form.reset();
        QApplication::processEvents();
    }
    static void SetSetting(const QString& key, const QVariant& value) {
        QSettings settings(QStringLiteral("Quendrix"), QStringLiteral("Orvella"));
        settings.setValue(key, value);
    }
    static QVariant Setting(const QString& key) {
        QSettings settings(QStringLiteral("Quendrix"), QStringLiteral("Orvella"));
        return settings.value(key);
    }
    void MakeForm(const QStringList& arguments = {}) {
        TMainWindow::TServices services{Main, Boxes, Window, Devices, Codecs};
        Form = std::make_unique<TMainWindow>(services, arguments);
        Form->show();
        QApplication::processEvents();
    }
    // Runs the event loop until no body runs and its finish has been handled.
    void WaitIdle() {
        QElapsedTimer clock;
        clock.start();
        while ((Form->Document()->IsBusy() || Form->Document()->Progress.load() != 0) &&
               clock.elapsed() < 30000)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        ASSERT_FALSE(Form->Document()->IsBusy());
        QApplication::processEvents();
    }
    std::string Source(const std::string& name, const std::vector<int16_t>& values,
                       uint16_t channels = 1, uint32_t rate = 8000) {
        const std::string path = Sources.File(name);
        WriteWav(path, channels, rate, values);
        return path;
    }
    // A loaded document of the given values through the command line's way.
    void Load(const std::vector<int16_t>& values, uint16_t channels = 1, uint32_t rate = 8000) {
        MakeForm({QString::fromStdString(Source("doc.wav", values, channels, rate))});
        WaitIdle();
        ASSERT_TRUE(Form->Document()->Ready.load());
    }
    // The document's values, all channels interleaved.
    std::vector<int16_t> Values() const {
        const auto store = Form->Document()->GetStore();
        std::vector<int16_t> values(store ? store->ValueCount() : 0);
        if (!values.empty()) store->ReadBlock(values.data(), 0, int64_t(values.size()) - 1);
        return values;
    }
    QString StatusText(int panel) const { return Form->StatusPanel(panel)->text(); }

    TQtMainThread Main;
    RecordingDialogs Boxes;
    ScriptedWindow Window;
    std::shared_ptr<TDrivenDevice> Device = std::make_shared<TDrivenDevice>();
    // The sound device the window opens: Device, unless a test puts another in before MakeForm.
    TPlayer::TDeviceFactory Devices = [this] { return Device; };
    // The decoders the window's document uses; empty: the codecs' own.
    TCodecServices Codecs;
    TempDir Store, Work, Sources;

    // The work files ("~XXXX.tmp") in the work folder; the run's recovery journal and lock
    // beside them are not counted.
    std::vector<std::string> WorkFiles() const {
        std::vector<std::string> files;
        for (const std::string& f : Work.Files())
            if (!f.empty() && f[0] == '~') files.push_back(f);
        return files;
    }
    std::unique_ptr<TMainWindow> Form;
};

} // namespace orvella::test
