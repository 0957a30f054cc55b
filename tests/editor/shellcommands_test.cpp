// The window's commands beyond editing: the settings and their window, File Properties, Help,
// the Tools launchers, the About box, and the version record read back from program files.
#include "editor/aboutdialog.h"
#include "editor/filepropertiesdialog.h"
#include "editor/helpfile.h"
#include "editor/settings.h"
#include "editor/settingsdialog.h"
#include "editor/tools.h"
#include "editor/versioninfo.h"
#include "view/waveview.h"
#include "windowfixture.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace orvella::test {
namespace {

namespace fs = std::filesystem;
using ShellCommandsTest = WindowTest;

// --- settings ---

TEST_F(ShellCommandsTest, FirstStartTakesTheDefaultsAndTheStoreRoundTrips) {
    QSettings(QStringLiteral("Quendrix"), QStringLiteral("Orvella")).clear();
    TEditorSettings first;
    LoadSettings(first);
    EXPECT_EQ(first.tempfolder, DefaultTempFolder());
    EXPECT_TRUE(first.tempfolder.endsWith(QLatin1Char('/')));
    EXPECT_EQ(first.selectiontype, 0);
    EXPECT_EQ(first.backcolor, 0);
    EXPECT_EQ(first.scalecolor, 14474460);
    EXPECT_EQ(first.wavecolor, 11268124);
    for (int32_t place : {first.posx, first.posy, first.width, first.height})
        EXPECT_EQ(place, -1);

    MakeForm();
    // Centred on the screen, at the designed size.
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((Form->geometry().center() - area.center()).manhattanLength(), 4);
    EXPECT_EQ(Form->View()->GetColors().Scale, 0xDCDCDCu);
    Form.reset();

    const TEditorSettings stored{
        QStringLiteral("/somewhere/"), 1, 255, 65280, 16711680, 10, 20, 700, 500};
    SaveSettings(stored);
    TEditorSettings read;
    LoadSettings(read);
    EXPECT_EQ(read.tempfolder, stored.tempfolder);
    EXPECT_EQ(std::make_tuple(read.selectiontype, read.backcolor, read.scalecolor, read.wavecolor,
                              read.posx, read.posy, read.width, read.height),
              std::make_tuple(1, 255, 65280, 16711680, 10, 20, 700, 500));
}

TEST_F(ShellCommandsTest, ColourChangesReachTheViewAtOnceAndSurviveCancel) {
    MakeForm();
    Form->Actions().Settings->trigger();
    TSettingsDialog& settings = *Form->OwnedDialogs().SettingsDialog;
    EXPECT_TRUE(settings.isVisible());
    EXPECT_FALSE(settings.isModal());
    EXPECT_EQ(settings.TempFolderEdit->text(), QString::fromStdString(Work.Path() + "/"));

    // A named colour: red is 255 in the settings' encoding.
    const int red = settings.BackColorBox->findText(QStringLiteral("Red"));
    ASSERT_GE(red, 0);
    settings.BackColorBox->setCurrentIndex(red);
    emit settings.BackColorBox->activated(red);
    EXPECT_EQ(Form->Settings().backcolor, 255);
    EXPECT_EQ(Form->View()->GetColors().Back, 255u);
    QApplication::processEvents();
    const QImage picture = Form->View()->ScreenPicture();
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.pixelColor(picture.width() / 2, picture.height() / 2), QColor(255, 0, 0));

    // The custom entry asks for any colour; a cancelled question changes nothing.
    const int custom = settings.WaveColorBox->count() - 1;
    Window.Color = QColor(1, 2, 3);
    emit settings.WaveColorBox->activated(custom);
    EXPECT_EQ(Form->Settings().wavecolor, 0x030201);
    EXPECT_EQ(Form->View()->GetColors().Wave, 0x030201u);
    Window.Color = QColor();
    emit settings.WaveColorBox->activated(custom);
    EXPECT_EQ(Form->Settings().wavecolor, 0x030201);
    EXPECT_EQ(settings.WaveColorBox->currentIndex(), custom);

    // "Default" gives the list's own default.
    emit settings.ScaleColorBox->activated(0);
    EXPECT_EQ(Form->Settings().scalecolor, DefaultScaleColor);

    settings.CancelButton->click();
    EXPECT_FALSE(settings.isVisible());
    EXPECT_TRUE(Form->close());
    QSettings store(QStringLiteral("Quendrix"), QStringLiteral("Orvella"));
    EXPECT_EQ(store.value(QStringLiteral("Settings/backcolor")).toInt(), 255);
    EXPECT_EQ(store.value(QStringLiteral("Settings/wavecolor")).toInt(), 0x030201);
}

TEST_F(ShellCommandsTest, ANewTemporaryFolderTakesTheNextWorkFile) {
    MakeForm({QString::fromStdString(Source("doc.wav", std::vector<int16_t>(1000, 5)))});
    WaitIdle();
    TempDir other;
    Window.Folder = QString::fromStdString(other.Path());
    Form->OwnedDialogs().SettingsDialog->BrowseForTempFolder();
    EXPECT_EQ(Form->OwnedDialogs().SettingsDialog->TempFolderEdit->text(),
              QString::fromStdString(other.Path() + "/"));
    EXPECT_EQ(Form->Settings().tempfolder, QString::fromStdString(other.Path() + "/"));
    Form->Actions().Invert->trigger();
    WaitIdle();
    EXPECT_FALSE(other.Files().empty());

    // A folder that is not there: the next work file fails with its message; the document
    // stays as it was.
    Window.Folder = QString::fromStdString(other.File("gone"));
    Form->OwnedDialogs().SettingsDialog->BrowseForTempFolder();
    const bool modified = Form->Document()->Modified.load();
    const uint32_t frames = Form->Document()->Frames.load();
    Form->Actions().Reverse->trigger();
    WaitIdle();
    EXPECT_EQ(Boxes.Errors().size(), 1u);
    EXPECT_TRUE(Form->Document()->Ready.load());
    EXPECT_EQ(Form->Document()->Modified.load(), modified);
    EXPECT_EQ(Form->Document()->Frames.load(), frames);
    Form->Actions().Undo->trigger(); // the invert before is still there to undo
    WaitIdle();
    EXPECT_TRUE(Form->Document()->Ready.load());
}

// --- File Properties ---

TEST(FileInfo, DurationPattern) {
    EXPECT_EQ(FormatDuration(75.5), QStringLiteral("0:01:15.500"));
    EXPECT_EQ(FormatDuration(0), QStringLiteral("0:00:00.000"));
    EXPECT_EQ(FormatDuration(3661.0014), QStringLiteral("1:01:01.001"));
    EXPECT_EQ(FormatDuration(36000), QStringLiteral("10:00:00.000"));
}

TEST_F(ShellCommandsTest, FilePropertiesShowTheDocument) {
    MakeForm();
    Form->Actions().FileProperties->trigger(); // no document: nothing
    EXPECT_FALSE(Form->OwnedDialogs().FilePropertiesDialog->isVisible());
    Window.OpenName = QString::fromStdString(Source("long.wav", std::vector<int16_t>(604000, 1)));
    Form->Actions().Open->trigger();
    WaitIdle();
    Form->Actions().FileProperties->trigger();
    const TFilePropertiesDialog& info = *Form->OwnedDialogs().FilePropertiesDialog;
    EXPECT_TRUE(info.isVisible());
    EXPECT_EQ(info.windowTitle(), QStringLiteral("File Properties"));
    EXPECT_EQ(info.Format->text(), QStringLiteral("PCM"));
    EXPECT_EQ(info.Duration->text(), QStringLiteral("0:01:15.500"));
    EXPECT_EQ(Form->Document()->Frames.load(), 604000u);
    EXPECT_EQ(info.DataSize->text(), QStringLiteral("1208000 bytes"));
    EXPECT_EQ(info.Channels->text(), QStringLiteral("Mono"));
    EXPECT_EQ(info.SampleRate->text(), QStringLiteral("8000 Hz"));
    EXPECT_EQ(info.Samples->text(), QStringLiteral("604000"));
}

// --- Help ---

TEST_F(ShellCommandsTest, HelpOpensTheManualOrSaysItCannot) {
    const std::string manual = Sources.File("orvella.html");
    std::ofstream(manual) << "<html></html>";
    EXPECT_EQ(ShowHelp(Window, QString::fromStdString(manual), QStringLiteral("keys")), QString());
    ASSERT_EQ(Window.Urls.size(), 1u);
    EXPECT_EQ(Window.Urls[0].toLocalFile(), QString::fromStdString(manual));
    EXPECT_EQ(Window.Urls[0].fragment(), QStringLiteral("keys"));

    const QString missing = QString::fromStdString(Sources.File("none.html"));
    EXPECT_EQ(ShowHelp(Window, missing), QStringLiteral("Unable to open help file ") + missing);
    Window.UrlResult = false; // present, but nothing opens it
    EXPECT_EQ(ShowHelp(Window, QString::fromStdString(manual)),
              QStringLiteral("Unable to open help file ") + QString::fromStdString(manual));

    // F1 in the window: the manual beside the program, or the error box.
    MakeForm();
    Window.UrlResult = true;
    Form->Actions().Contents->trigger();
    if (QFileInfo::exists(HelpFilePath())) {
        EXPECT_EQ(Window.Urls.back().toLocalFile(), HelpFilePath());
        EXPECT_TRUE(Boxes.Errors().empty());
    } else {
        ASSERT_EQ(Boxes.Errors().size(), 1u);
        EXPECT_EQ(Boxes.Errors()[0], ("Unable to open help file " + HelpFilePath()).toStdString());
    }
}

TEST(Manual, DescribesEveryMenuCommandBesideTheProgram) {
    const QString path = QStringLiteral(ORVELLA_MANUAL);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    const QString text = QString::fromUtf8(file.readAll());
    for (const char* topic : {"Open",
                              "Close",
                              "Save As",
                              "Save Selected As",
                              "File Properties",
                              "Settings",
                              "Exit",
                              "Zoom In",
                              "Milliseconds",
                              "Undo",
                              "Paste",
                              "Select All",
                              "Play",
                              "Fade In",
                              "Insert Silence",
                              "Normalization",
                              "Reverse",
                              "Invert",
                              "Amplify",
                              "Sound Recorder",
                              "Contents",
                              "Check Updates",
                              "About",
                              "Temporary Folder",
                              "Colors",
                              "Selected",
                              "Ctrl+O",
                              "F1",
                              "MPEG Layer3 Settings"})
        EXPECT_TRUE(text.contains(QLatin1String(topic))) << topic;
}

// --- Tools ---

class ToolsTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        const char* path = std::getenv("PATH");
        OldPath = path ? path : "";
        ::setenv("PATH", Empty.Path().c_str(), 1);
    }
    void TearDown() override {
        ::setenv("PATH", OldPath.c_str(), 1);
        WindowTest::TearDown();
    }
    static std::string Executable(const TempDir& dir, const char* name) {
        const std::string path = dir.File(name);
        std::ofstream(path) << "#!/bin/sh\n";
        fs::permissions(path, fs::perms::owner_all);
        return path;
    }
    std::string OldPath;
    TempDir Empty, Stored, OnPath;
};

TEST_F(ToolsTest, AnEntryIsFoundBySettingByPathOrNotAtAll) {
    MakeForm();
    ASSERT_EQ(Form->Actions().Tools.size(), qsizetype(Companions.size()));
    EXPECT_EQ(Form->Actions().Tools[0]->text(), QLatin1String(Companions[0].Caption));

    // By its stored folder.
    const std::string stored = Executable(Stored, Companions[0].Program);
    SetSetting(QLatin1String(Companions[0].Group) + QStringLiteral("/path"),
               QString::fromStdString(Stored.Path()));
    Form->Actions().Tools[0]->trigger();
    ASSERT_EQ(Window.Started.size(), 1u);
    EXPECT_EQ(Window.Started[0], QString::fromStdString(stored));

    // On PATH.
    const std::string found = Executable(OnPath, Companions[1].Program);
    ::setenv("PATH", OnPath.Path().c_str(), 1);
    Form->Actions().Tools[1]->trigger();
    ASSERT_EQ(Window.Started.size(), 2u);
    EXPECT_EQ(Window.Started[1], QString::fromStdString(found));
    EXPECT_TRUE(Window.Questions.empty());

    // Nowhere: the message, then the page.
    Form->Actions().Tools[2]->trigger();
    EXPECT_EQ(Window.Started.size(), 2u);
    ASSERT_EQ(Window.Questions.size(), 1u);
    EXPECT_EQ(
        Window.Questions[0],
        QStringLiteral("Component not found\r\nPlease download and install it from our site."));
    ASSERT_EQ(Window.Urls.size(), 1u);
    EXPECT_EQ(Window.Urls[0], QUrl(QLatin1String(Companions[2].Page)));

    // Found but refusing to start counts as not found.
    Window.StartResult = false;
    Form->Actions().Tools[1]->trigger();
    EXPECT_EQ(Window.Questions.size(), 2u);
}

// --- About ---

TEST_F(ShellCommandsTest, AboutShowsTheFileVersionAndItsLinks) {
    MakeForm();
    Form->AppendVersion(QStringLiteral("1.2.3.4"));
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("Orvella 1.2.3.4"));
    Form->Actions().About->trigger();
    TAboutDialog& about = *Form->OwnedDialogs().AboutDialog;
    EXPECT_TRUE(about.isVisible());
    EXPECT_EQ(about.VersionLabel->text(), QStringLiteral("Version: 1.2.3.4"));
    emit about.WebLink->linkActivated(QLatin1String(ProjectPage));
    emit about.MailLink->linkActivated(QStringLiteral("mailto:") + QLatin1String(ProjectMail));
    ASSERT_EQ(Window.Urls.size(), 2u);
    EXPECT_EQ(Window.Urls[0], QUrl(QLatin1String(ProjectPage)));
    EXPECT_EQ(Window.Urls[1].scheme(), QStringLiteral("mailto"));
    EXPECT_TRUE(Form->Actions().CheckUpdates->isEnabled());
}

// --- the version record ---

// A little-endian 64-bit ELF file with the given sections (name, contents).
std::string ElfWith(const std::vector<std::pair<std::string, std::string>>& sections) {
    std::string names(1, '\0');
    std::vector<uint32_t> nameAt;
    for (const auto& s : sections) {
        nameAt.push_back(uint32_t(names.size()));
        names += s.first + '\0';
    }
    const uint32_t namesName = uint32_t(names.size());
    names += std::string(".shstrtab") + '\0';
    std::string body;
    std::vector<uint64_t> offsets;
    for (const auto& s : sections) {
        offsets.push_back(64 + body.size());
        body += s.second;
    }
    const uint64_t namesOffset = 64 + body.size();
    body += names;
    const uint64_t table = 64 + body.size();
    std::string file(64, '\0');
    std::memcpy(file.data(),
                "\x7f"
                "ELF\x02\x01\x01",
                7);
    auto put = [](std::string& to, size_t at, auto value) {
        std::memcpy(to.data() + at, &value, sizeof value);
    };
    const auto count = uint16_t(sections.size() + 2);
    put(file, 0x28, table);
    put(file, 0x3A, uint16_t(64));
    put(file, 0x3C, count);
    put(file, 0x3E, uint16_t(count - 1));
    file += body;
    auto entry = [&](uint32_t name, uint32_t type, uint64_t offset, uint64_t size) {
        std::string e(64, '\0');
        put(e, 0, name);
        put(e, 4, type);
        put(e, 0x18, offset);
        put(e, 0x20, size);
        file += e;
    };
    entry(0, 0, 0, 0);
    for (size_t i = 0; i < sections.size(); ++i)
        entry(nameAt[i], 1, offsets[i], sections[i].second.size());
    entry(namesName, 3, namesOffset, names.size());
    return file;
}

TEST(VersionRecord, ReadBackFromTheBuiltProgram) {
    TVersionInfo info;
    info.SetFilename(QStringLiteral(ORVELLA_PROGRAM));
    EXPECT_EQ(info.FileVersion, QStringLiteral(ORVELLA_PROJECT_VERSION));
    EXPECT_EQ(info.ProductVersion, QStringLiteral(ORVELLA_PROJECT_VERSION));
    EXPECT_EQ(info.FileVersion.count(QLatin1Char('.')), 3);
    EXPECT_EQ(info.LanguageInfo, QStringLiteral("040904B0"));
    EXPECT_EQ(info.CompanyName, QStringLiteral("Quendrix"));
    EXPECT_EQ(info.ProductName, QStringLiteral("Orvella"));
    EXPECT_EQ(info.OriginalFilename, QStringLiteral("orvella"));
    for (const QString* text :
         {&info.FileDescription, &info.InternalName, &info.LegalCopyright, &info.Comments})
        EXPECT_FALSE(text->isEmpty() || *text == QStringLiteral("n/a"));
    EXPECT_EQ(info.GetBuildOnly(), info.FileVersion.section(QLatin1Char('.'), -1));
}

TEST(VersionRecord, TheThreeErrorsAndMissingKeys) {
    TempDir dir;
    auto write = [&](const std::string& name, const std::string& bytes) {
        std::ofstream(dir.File(name), std::ios::binary) << bytes;
        return QString::fromStdString(dir.File(name));
    };
    auto error = [](const QString& file) -> std::string {
        TVersionInfo info;
        try {
            info.SetFilename(file);
        } catch (const EFilerError& e) {
            return std::string("filer: ") + e.what();
        } catch (const EReadError& e) {
            return std::string("read: ") + e.what();
        }
        return "none";
    };
    const QString missing = QString::fromStdString(dir.File("absent"));
    EXPECT_EQ(error(missing), "filer: File not found: " + missing.toStdString());

    const std::string magic = "ORVELLA-VERSION-RECORD 1\n";
    const std::string damagedTable = [&] {
        std::string elf = ElfWith({{".orvella_version", magic + "Translation=040904B0\n"}});
        elf[0x28] = '\x7f'; // the section table far beyond the file
        return elf;
    }();
    const std::string hugeSection = [&] {
        std::string elf = ElfWith({{".orvella_version", magic}});
        // The record's size field of the first real section entry: beyond the file.
        const size_t table = elf.size() - 3 * 64;
        const uint64_t huge = ~uint64_t(0) - 8;
        std::memcpy(elf.data() + table + 64 + 0x20, &huge, 8);
        return elf;
    }();
    const std::string noRecord = "Invalid version info record in file ";
    struct Case {
        const char* Name;
        std::string Bytes;
        std::string Expected; // after the file name
    } cases[] = {
        {"text", "just text", noRecord},
        {"empty", "", noRecord},
        {"other-section", ElfWith({{".data", magic + "Translation=040904B0\n"}}), noRecord},
        {"no-magic", ElfWith({{".orvella_version", "Translation=040904B0\n"}}), noRecord},
        {"damaged-table", damagedTable, noRecord},
        {"huge-section", hugeSection, noRecord},
        {"truncated", ElfWith({{".orvella_version", magic}}).substr(0, 70), noRecord},
        {"no-language",
         ElfWith({{".orvella_version", magic + "StringFileInfo\\040904B0\\"
                                               "FileVersion=1.0\n"}}),
         "Invalid language info in file "},
        {"bad-language", ElfWith({{".orvella_version", magic + "Translation=0409\n"}}),
         "Invalid language info in file "},
    };
    for (const Case& c : cases) {
        const QString file = write(c.Name, c.Bytes);
        EXPECT_EQ(error(file), "read: " + c.Expected + file.toStdString()) << c.Name;
    }
    // The test program itself carries no record.
    EXPECT_EQ(error(QCoreApplication::applicationFilePath()),
              "read: " + noRecord + QCoreApplication::applicationFilePath().toStdString());

    // A record with only some keys: "n/a" for the others; a version without dots is its own
    // build number.
    TVersionInfo info;
    const std::string partial = magic +
                                "Translation=040904b0\n"
                                "StringFileInfo\\040904B0\\FileVersion=77\n"
                                "StringFileInfo\\041104B0\\Comments=no\n" +
                                std::string(1, '\0') + "junk";
    info.SetFilename(write("partial", ElfWith({{".comment", "x"}, {".orvella_version", partial}})));
    EXPECT_EQ(info.LanguageInfo, QStringLiteral("040904B0"));
    EXPECT_EQ(info.FileVersion, QStringLiteral("77"));
    EXPECT_EQ(info.GetBuildOnly(), QStringLiteral("77"));
    EXPECT_EQ(info.Comments, QStringLiteral("n/a"));
    EXPECT_EQ(info.CompanyName, QStringLiteral("n/a"));
}

} // namespace
} // namespace orvella::test
