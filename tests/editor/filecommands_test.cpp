// The file commands as a user drives them: the file dialogs, questions and the MP3 settings
// dialog answered by the test, the files on disk checked afterwards.
#include "codecs/mp3format.h"
#include "editor/filecommands.h"
#include "editor/mp3settingsdialog.h"
#include "editor/selectionpanel.h"
#include "view/waveview.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QRegularExpression>
#include <QSlider>
#include <QStackedWidget>

#include <filesystem>

namespace orvella::test {
namespace {

namespace fs = std::filesystem;

std::string Head(const std::string& path, size_t bytes) {
    std::ifstream in(path, std::ios::binary);
    std::string head(bytes, '\0');
    in.read(head.data(), std::streamsize(bytes));
    head.resize(size_t(in.gcount()));
    return head;
}

bool IsWav(const std::string& path) {
    return Head(path, 4) == "RIFF";
}

// An MP3 file starts with a tag or a frame's sync bits.
bool IsMp3(const std::string& path) {
    const std::string head = Head(path, 3);
    return head == "ID3" ||
           (head.size() >= 2 && uint8_t(head[0]) == 0xFF && (uint8_t(head[1]) & 0xE0) == 0xE0);
}

QStringList Items(const QComboBox* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    return items;
}

using FileCommandsTest = WindowTest;

// --- the name rules ---

TEST(SaveTargets, TypedExtensionWinsOnlyWhenExactlyWavOrMp3) {
    struct Case {
        const char* Chosen;
        int Filter;
        const char* SaveAs;
        const char* SaveSelected;
    } cases[] = {
        {"/d/x.MP3", 0, "/d/x.MP3.wav", "/d/x.wav"},   {"/d/x.mp3", 0, "/d/x.mp3", "/d/x.wav"},
        {"/d/x.wav", 1, "/d/x.wav", "/d/x.mp3"},       {"/d/x", 1, "/d/x.mp3", "/d/x.mp3"},
        {"/d/x.Wav", 1, "/d/x.Wav.mp3", "/d/x.mp3"},   {"/d.v/x", 0, "/d.v/x.wav", "/d.v/x.wav"},
        {"/d/a.b.c", 0, "/d/a.b.c.wav", "/d/a.b.wav"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SaveAsTarget(QLatin1String(c.Chosen), c.Filter), QLatin1String(c.SaveAs))
            << c.Chosen;
        EXPECT_EQ(SaveSelectedTarget(QLatin1String(c.Chosen), c.Filter),
                  QLatin1String(c.SaveSelected))
            << c.Chosen;
    }
}

// The Open dialog's first entry offers every readable type by its extension, and nothing that only
// ends in the letters of one ("foomp3").
TEST(OpenFilter, SupportedFormatsMatchByExtensionOnly) {
    const QString filter = QtFileFilter(QLatin1String(OpenFilter));
    EXPECT_EQ(filter, QStringLiteral("Supported Formats (*.wav *.mp3 *.wma);;Mpeg Layer 3 (*.mp3);;"
                                     "WAV Files (*.wav);;WMA Files (*.wma)"));
    const QString first = filter.section(QStringLiteral(";;"), 0, 0);
    const QStringList patterns =
        first.section(QLatin1Char('('), 1).chopped(1).split(QLatin1Char(' '));
    const auto matches = [&](const QString& name) {
        for (const QString& pattern : patterns)
            if (QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern))
                    .match(name)
                    .hasMatch())
                return true;
        return false;
    };
    const struct {
        const char* Name;
        bool Offered;
    } cases[] = {{"a.wav", true},   {"a.mp3", true},  {"a.wma", true},
                 {"foomp3", false}, {"a.txt", false}, {"awav", false}};
    for (const auto& c : cases)
        EXPECT_EQ(matches(QLatin1String(c.Name)), c.Offered) << c.Name;
}

// --- Open, New, Close ---

TEST_F(FileCommandsTest, OpenAndNewNameTheDocumentAndAskNothing) {
    MakeForm();
    Form->Actions().Open->trigger(); // cancelled
    ASSERT_EQ(Window.Filters.size(), 1u);
    EXPECT_EQ(Window.Filters[0], QLatin1String(OpenFilter));
    EXPECT_FALSE(Form->Document()->Ready.load());
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("Orvella"));

    Window.OpenName = QString::fromStdString(Source("first.wav", Ramp(500)));
    Form->Actions().Open->trigger();
    // The name shows before the body ends.
    EXPECT_EQ(StatusText(0), QStringLiteral("File: first.wav"));
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("first.wav - Orvella"));
    WaitIdle();
    ASSERT_TRUE(Form->Document()->Ready.load());
    Form->View()->SetSelection(10, 20, true);
    Form->Actions().Invert->trigger();
    WaitIdle();
    ASSERT_TRUE(Form->Document()->Modified.load());

    // A second file while the first has unsaved changes: no question.
    Window.OpenName = QString::fromStdString(Source("second.wav", Ramp(300)));
    Form->Actions().Open->trigger();
    WaitIdle();
    EXPECT_TRUE(Window.Questions.empty());
    EXPECT_EQ(Form->Document()->Frames.load(), 300u);
    // The edits' empty value, as the milliseconds mask shows it.
    EXPECT_EQ(Form->SelectionPanel()->StartText(), QStringLiteral(" 00:00.000"));
    EXPECT_EQ(Form->SelectionPanel()->StopText(), QStringLiteral(" 00:00.000"));
    EXPECT_FALSE(Form->View()->Selection().Selected());

    Form->Actions().Invert->trigger();
    WaitIdle();
    Form->Actions().New->trigger();
    EXPECT_TRUE(Window.Questions.empty());
    EXPECT_EQ(StatusText(0), QStringLiteral("File: Untitled.wav"));
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("Untitled.wav - Orvella"));
    EXPECT_EQ(Form->Document()->FileName, "untitled.wav");
    EXPECT_TRUE(Form->Document()->Ready.load());
    EXPECT_EQ(Form->Document()->SampleRate.load(), 44100u);
    EXPECT_EQ(Form->Document()->Channels.load(), 2u);
    EXPECT_EQ(Form->Document()->Frames.load(), 0u);
}

TEST_F(FileCommandsTest, CloseAnsweredEachWay) {
    Load(Ramp(1000));
    // Unchanged: closes without a question.
    Form->Actions().Close->trigger();
    EXPECT_TRUE(Window.Questions.empty());
    EXPECT_FALSE(Form->Document()->Ready.load());
    EXPECT_EQ(StatusText(0), QString());
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("Orvella"));
    EXPECT_TRUE(WorkFiles().empty());

    auto changed = [&](const std::string& fileName) {
        Window.OpenName = QString::fromStdString(Source("doc.wav", Ramp(1000)));
        Form->Actions().Open->trigger();
        WaitIdle();
        Form->Actions().Invert->trigger();
        WaitIdle();
        ASSERT_TRUE(Form->Document()->Modified.load());
        if (!fileName.empty()) Form->Document()->FileName = fileName;
    };

    changed({});
    Window.Answers = {QMessageBox::Cancel};
    Form->Actions().Close->trigger();
    EXPECT_EQ(Window.Questions.back(), QStringLiteral("Would you like to save changes?"));
    EXPECT_TRUE(Form->Document()->Ready.load());
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("doc.wav - Orvella"));

    Window.Answers = {QMessageBox::No};
    Form->Actions().Close->trigger();
    EXPECT_FALSE(Form->Document()->Ready.load());
    EXPECT_TRUE(WorkFiles().empty()); // its work files went with it
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("Orvella"));

    // Yes: saved, then closed.
    changed(Sources.File("kept.wav"));
    Window.Answers = {QMessageBox::Yes};
    Form->Actions().Close->trigger();
    EXPECT_FALSE(Form->Document()->Ready.load());
    EXPECT_EQ(fs::file_size(Sources.File("kept.wav")), 44u + 2000u);

    // Yes with a save that starts nothing, or whose body fails: the document and its changes
    // stay.
    for (const std::string& name : {Sources.File("from.wma"), Sources.File("gone/x.wav")}) {
        changed(name);
        Window.Answers = {QMessageBox::Yes};
        Form->Actions().Close->trigger();
        EXPECT_TRUE(Form->Document()->Ready.load()) << name;
        EXPECT_TRUE(Form->Document()->Modified.load()) << name;
        EXPECT_EQ(Form->windowTitle(), QStringLiteral("doc.wav - Orvella"));
    }
}

TEST_F(FileCommandsTest, SaveWritesOnlyAChangedDocumentAndAsksNothing) {
    Load(Ramp(100));
    const std::string path = Form->Document()->FileName;
    fs::remove(path);
    Form->Actions().Save->trigger();
    WaitIdle();
    EXPECT_FALSE(fs::exists(path));
    Form->Actions().Invert->trigger();
    WaitIdle();
    Form->Actions().Save->trigger();
    WaitIdle();
    EXPECT_TRUE(Form->Document()->Saved.load());
    EXPECT_EQ(fs::file_size(path), 44u + 200u);
    EXPECT_TRUE(Window.Filters.empty());
    EXPECT_TRUE(Window.Questions.empty());
}

// --- Save As, Save Selected As ---

TEST_F(FileCommandsTest, SaveAsFollowsTheTypedAndChosenExtension) {
    Load(Ramp(2000), 1, 22050);
    struct Case {
        const char* Chosen;
        int Filter;
        const char* Saved;
        bool Mp3;
    } cases[] = {
        {"upper.MP3", 0, "upper.MP3.wav", false},
        {"typed.mp3", 0, "typed.mp3", true},
        {"plain", 1, "plain.mp3", true},
        {"plain", 0, "plain.wav", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Chosen);
        Window.SaveName = QString::fromStdString(Sources.File(c.Chosen));
        Window.SaveFilterIndex = c.Filter;
        const size_t shown = Window.Executed.size();
        Form->Actions().SaveAs->trigger();
        WaitIdle();
        const std::string saved = Sources.File(c.Saved);
        EXPECT_TRUE(Form->Document()->Saved.load());
        EXPECT_EQ(Form->Document()->FileName, saved);
        EXPECT_EQ(Form->windowTitle(), QLatin1String(c.Saved) + QStringLiteral(" - Orvella"));
        EXPECT_EQ(StatusText(0), QStringLiteral("File: ") + QLatin1String(c.Saved));
        EXPECT_EQ(c.Mp3 ? IsMp3(saved) : IsWav(saved), true);
        // The MP3 settings dialog comes before each MP3 save only.
        EXPECT_EQ(Window.Executed.size() - shown, c.Mp3 ? 1u : 0u);
    }
    EXPECT_EQ(Window.Filters.back(), QLatin1String(SaveFilter));
    EXPECT_TRUE(Window.Questions.empty());
}

// The WAV entries of each precision write it, and Save keeps writing the one chosen; the plain
// WAV entry writes the document's own.
TEST_F(FileCommandsTest, SaveAsWritesThePrecisionChosen) {
    Load(Ramp(2000), 1, 22050);
    const struct {
        int Filter;
        uint16_t Tag, Bits;
    } cases[] = {{3, 1, 24}, {0, 1, 16}, {4, 3, 32}, {2, 1, 16}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Filter);
        std::string name = "p";
        name += std::to_string(c.Filter);
        Window.SaveName = QString::fromStdString(Sources.File(name));
        Window.SaveFilterIndex = c.Filter;
        Form->Actions().SaveAs->trigger();
        WaitIdle();
        const std::string saved = Sources.File(name + ".wav");
        std::ifstream in(saved, std::ios::binary);
        char header[44] = {};
        in.read(header, 44);
        uint16_t tag, bits;
        std::memcpy(&tag, header + 20, 2);
        std::memcpy(&bits, header + 34, 2);
        EXPECT_EQ(tag, c.Tag);
        EXPECT_EQ(bits, c.Bits);
        EXPECT_EQ(fs::file_size(saved), 44u + 2000u * c.Bits / 8);
    }
}

TEST_F(FileCommandsTest, SaveAsAsksBeforeOverwritingAndACancelledMp3KeepsTheName) {
    MakeForm();
    Form->Actions().SaveAs->trigger(); // no document: not even the dialog
    EXPECT_TRUE(Window.Filters.empty());

    Window.OpenName = QString::fromStdString(Source("doc.wav", Ramp(100)));
    Form->Actions().Open->trigger();
    WaitIdle();
    const std::string original = Form->Document()->FileName;
    const std::string target = Source("there.wav", {7, 7});
    const auto before = fs::file_size(target);
    Window.SaveName = QString::fromStdString(target);
    Window.Answers = {QMessageBox::No};
    Form->Actions().SaveAs->trigger();
    WaitIdle();
    ASSERT_EQ(Window.Questions.size(), 1u);
    EXPECT_EQ(Window.Questions[0], QStringLiteral("This file ") + QString::fromStdString(target) +
                                       QStringLiteral(" already exists. Overwrite?"));
    EXPECT_EQ(Window.Icons[0], QMessageBox::Critical);
    EXPECT_EQ(fs::file_size(target), before);
    EXPECT_EQ(Form->Document()->FileName, original);

    Window.Answers = {QMessageBox::Yes};
    Form->Actions().SaveAs->trigger();
    WaitIdle();
    EXPECT_EQ(fs::file_size(target), 44u + 200u);
    EXPECT_EQ(Form->Document()->FileName, target);

    // The MP3 settings cancelled: nothing saved, the name and caption as before.
    Window.SaveName = QString::fromStdString(Sources.File("never.mp3"));
    Window.Accept = false;
    Form->Actions().SaveAs->trigger();
    WaitIdle();
    EXPECT_FALSE(fs::exists(Sources.File("never.mp3")));
    EXPECT_EQ(Form->Document()->FileName, target);
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("there.wav - Orvella"));
}

TEST_F(FileCommandsTest, SaveSelectedAsReplacesTheExtensionAndKeepsTheDocumentsName) {
    Load(Ramp(1000));
    const QString title = Form->windowTitle();
    Form->Actions().SaveSelectedAs->trigger(); // no selection: nothing
    EXPECT_TRUE(Window.Filters.empty());

    Form->View()->SetSelection(100, 110, true);
    Window.SaveName = QString::fromStdString(Sources.File("part.mp3"));
    Window.SaveFilterIndex = 0;
    Form->Actions().SaveSelectedAs->trigger();
    WaitIdle();
    const std::string part = Sources.File("part.wav");
    ASSERT_TRUE(IsWav(part));
    EXPECT_FALSE(fs::exists(Sources.File("part.mp3")));
    std::vector<int16_t> values(10);
    std::ifstream in(part, std::ios::binary);
    in.seekg(44);
    in.read(reinterpret_cast<char*>(values.data()), 20);
    const std::vector<int16_t> ramp = Ramp(110);
    EXPECT_EQ(values, std::vector<int16_t>(ramp.begin() + 100, ramp.end()));
    EXPECT_EQ(Form->windowTitle(), title);
    EXPECT_EQ(Form->Document()->FileName, Sources.File("doc.wav"));

    Form->View()->SetSelection(0, 500, true);
    Window.Answers = {QMessageBox::No};
    Form->Actions().SaveSelectedAs->trigger();
    WaitIdle();
    ASSERT_EQ(Window.Questions.size(), 1u);
    EXPECT_EQ(Window.Questions[0], QStringLiteral("This file already exists. Overwrite?"));
    EXPECT_EQ(fs::file_size(part), 44u + 20u);
    Window.Answers = {QMessageBox::Yes};
    Form->Actions().SaveSelectedAs->trigger();
    WaitIdle();
    EXPECT_EQ(fs::file_size(part), 44u + 1000u);
}

// --- the MP3 settings dialog ---

TEST_F(FileCommandsTest, Mp3ListsFollowTheRateAndResetOnEveryShowing) {
    MakeForm();
    TMp3SettingsDialog& dialog = *Form->OwnedDialogs().Mp3SettingsDialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("MPEG Layer3 Settings"));
    struct Case {
        uint32_t Rate;
        QStringList Rates;
    } cases[] = {
        {44100,
         {"320", "256", "224", "192", "160", "128", "112", "96", "80", "64", "56", "48", "40",
          "32"}},
        {22050,
         {"160", "144", "128", "112", "96", "80", "64", "56", "48", "40", "32", "24", "16", "8"}},
        {8000, {"128", "112", "96", "80", "64", "56", "48", "40", "32", "24", "16", "8"}},
        // A rate outside the table: the lists keep what they hold.
        {96000, {"128", "112", "96", "80", "64", "56", "48", "40", "32", "24", "16", "8"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Rate);
        dialog.BitrateBox->setCurrentIndex(3);
        dialog.MaxBitrateBox->setCurrentIndex(4);
        dialog.PrepareFor(c.Rate);
        EXPECT_EQ(Items(dialog.BitrateBox), c.Rates);
        EXPECT_EQ(Items(dialog.MaxBitrateBox), c.Rates);
        EXPECT_EQ(Items(dialog.AverageBitrateBox), c.Rates);
        if (c.Rate != 96000) {
            EXPECT_EQ(dialog.BitrateBox->currentIndex(), 0);
            EXPECT_EQ(dialog.MaxBitrateBox->currentIndex(), 0);
        }
    }
    // The page, the maximum list and the hint follow the mode.
    for (int mode : {0, 1, 2}) {
        dialog.ModeBox->setCurrentIndex(mode);
        EXPECT_EQ(dialog.ModePages->currentIndex(), mode);
        EXPECT_EQ(dialog.MaxBitrateBox->isVisibleTo(&dialog), mode != 0);
        EXPECT_EQ(dialog.BitrateHint->text().contains(QStringLiteral("lowest")), mode != 0);
    }
    EXPECT_EQ(dialog.QualitySlider->minimum(), 0);
    EXPECT_EQ(dialog.QualitySlider->maximum(), 8);
    EXPECT_EQ(dialog.ChecksumBox->text(), QStringLiteral("Checksum"));
}

TEST_F(FileCommandsTest, Mp3RecordFromTheDialogAndTheDocument) {
    struct Case {
        uint16_t Channels;
        uint32_t Rate;
        int Mode, Bitrate, MaxBitrate, Quality, Average;
        bool Crc;
        // expected
        int32_t NMode;
        uint32_t Kbps, MaxKbps;
        int32_t Preset, VbrQuality;
        uint32_t AbrBps;
        int32_t Method;
        uint32_t MpegVersion;
    } cases[] = {
        {1, 22050, 0, 0, 0, 0, 0, false, 3, 160, 160, 12, 8, 0, -1, 0},
        {2, 44100, 0, 2, 0, 0, 0, true, 0, 224, 320, 12, 8, 0, -1, 1},
        {2, 44100, 1, 13, 0, 8, 0, false, 0, 32, 320, -1, 0, 0, 0, 1},
        {1, 44100, 2, 5, 1, 0, 3, false, 3, 128, 256, 11, 8, 192000, 4, 1},
        {2, 96000, 2, 4, 2, 0, 6, false, 0, 128, 128, 11, 8, 128000, 4, 1},
    };
    MakeForm();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Channels << " ch " << c.Rate << " Hz mode " << c.Mode);
        Window.OpenName = QString::fromStdString(
            Source("f.wav", std::vector<int16_t>(100 * c.Channels, 1), c.Channels, c.Rate));
        Form->Actions().Open->trigger();
        WaitIdle();
        Window.OnExecute = [&](QDialog& shown) {
            auto& dialog = static_cast<TMp3SettingsDialog&>(shown);
            dialog.ModeBox->setCurrentIndex(c.Mode);
            dialog.BitrateBox->setCurrentIndex(c.Bitrate);
            dialog.MaxBitrateBox->setCurrentIndex(c.MaxBitrate);
            dialog.QualitySlider->setValue(c.Quality);
            dialog.AverageBitrateBox->setCurrentIndex(c.Average);
            dialog.ChecksumBox->setChecked(c.Crc);
        };
        ASSERT_TRUE(Form->ConfirmMP3Settings(*Form->Document()));
        const TEncoderRecord r = ToEncoderRecord(Form->Document()->EncoderConfig);
        EXPECT_EQ(r.dwSampleRate, c.Rate);
        EXPECT_EQ(r.nMode, c.NMode);
        EXPECT_EQ(r.dwBitrate, c.Kbps);
        EXPECT_EQ(r.dwMaxBitrate, c.MaxKbps);
        EXPECT_EQ(r.nPreset, c.Preset);
        EXPECT_EQ(r.nVBRQuality, c.VbrQuality);
        EXPECT_EQ(r.dwVbrAbr_bps, c.AbrBps);
        EXPECT_EQ(r.nVbrMethod, c.Method);
        EXPECT_EQ(r.dwMpegVersion, c.MpegVersion);
        EXPECT_EQ(r.bCRC, c.Crc ? -1 : 0);
        EXPECT_EQ(r.bEnableVBR, c.Mode == 0 ? 0 : -1);
    }
    // Cancel: no record is taken and the save does not start.
    Window.Accept = false;
    EXPECT_FALSE(Form->ConfirmMP3Settings(*Form->Document()));
}

// Save As to MP3 through the dialog, then open the MP3 again.
TEST_F(FileCommandsTest, SaveAsMp3ThenReopenIt) {
    std::vector<int16_t> tone(2 * 44100);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = int16_t((i / 2) % 100 * 200 - 10000);
    Load(tone, 2, 44100);
    Window.SaveName = QString::fromStdString(Sources.File("song"));
    Window.SaveFilterIndex = 1;
    Form->Actions().SaveAs->trigger();
    WaitIdle();
    const std::string mp3 = Sources.File("song.mp3");
    ASSERT_TRUE(IsMp3(mp3));
    EXPECT_EQ(Window.Executed, std::vector<QString>{QStringLiteral("MPEG Layer3 Settings")});

    Window.OpenName = QString::fromStdString(mp3);
    Form->Actions().Open->trigger();
    WaitIdle();
    ASSERT_TRUE(Form->Document()->Ready.load());
    EXPECT_EQ(Form->Document()->SourceKind.load(), 2);
    EXPECT_EQ(Form->Document()->SampleRate.load(), 44100u);
    EXPECT_EQ(Form->Document()->Channels.load(), 2u);
    // The encoder adds at most a few frames of padding.
    EXPECT_GE(Form->Document()->Frames.load(), 44100u);
    EXPECT_LE(Form->Document()->Frames.load(), 44100u + 4 * 1152u);
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("song.mp3 - Orvella"));
}

} // namespace
} // namespace orvella::test
