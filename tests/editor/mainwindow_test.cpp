// The main window as a user drives it: a real document loaded from a WAV file, the commands of
// the action list, the selection panel, the driven sound device, the close question answered by
// the test, and the settings in a private store.
#include "editor/amplifydialog.h"
#include "editor/bottompanel.h"
#include "editor/mainwindow.h"
#include "editor/normalizedialog.h"
#include "editor/selectionpanel.h"
#include "editor/silencedialog.h"
#include "editor/velcorabinding.h"
#include "playback/levelmeter.h"
#include "playback/soundoutput.h"
#include "playback/volumebar.h"
#include "support/fixtures.h"
#include "view/framescrollbar.h"
#include "view/waveview.h"
#include "windowfixture.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QToolBar>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

namespace orvella::test {
namespace {

class MainWindowTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        // The dialogs of these commands are spin dialogs: the value each showed is recorded, and
        // Typed, when set, is what the user types before pressing a button.
        Window.OnExecute = [this](QDialog& dialog) {
            auto& spin = static_cast<TSpinDialog&>(dialog);
            Shown.push_back({dialog.windowTitle(), spin.Value()});
            if (Typed) spin.SetValue(*Typed);
        };
    }

    void Select(uint32_t start, uint32_t stop) { Form->View()->SetSelection(start, stop, true); }

    struct TShown {
        QString Caption;
        int Value; // the value the dialog showed
    };
    std::vector<TShown> Shown;
    std::optional<int> Typed;
};

// --- start-up ---

TEST_F(MainWindowTest, StartsEmptyWithTheDesignedWindow) {
    MakeForm();
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("Orvella"));
    Form->AppendVersion(QStringLiteral("1.2.3.4"));
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("Orvella 1.2.3.4"));
    EXPECT_FALSE(Form->Document()->Ready.load());
    EXPECT_FALSE(Form->ScrollBar()->isEnabled());
    EXPECT_EQ(Form->ScrollBar()->PageSize(), 1u);
    EXPECT_FALSE(Form->Bottom()->Progress()->isVisible());
    EXPECT_FALSE(Form->Transport().Active());
    EXPECT_EQ(Form->Bottom()->CursorTimeText(), QStringLiteral("00:00:00"));
    EXPECT_TRUE(Form->Actions().Milliseconds->isChecked());
    EXPECT_EQ(Form->SelectionPanel()->StartText(), QStringLiteral(" 00:00.000"));
    EXPECT_FALSE(Form->Actions().Undo->isEnabled());
    EXPECT_FALSE(Form->Actions().Redo->isEnabled());
    EXPECT_FALSE(Form->Actions().Stop->isEnabled());
    EXPECT_TRUE(Form->Actions().Play->isEnabled());
    EXPECT_TRUE(Form->Actions().Save->isEnabled());
    EXPECT_GE(Form->width(), TMainWindow::DesignClientWidth);
    EXPECT_GE(Form->minimumWidth(), 510);
    EXPECT_GE(Form->minimumHeight(), 320);
}

TEST_F(MainWindowTest, MenusHoldEveryCaptionAndShortcut) {
    MakeForm();
    const struct {
        QAction* Action;
        const char* Caption;
        const char* Shortcut;
    } rows[] = {
        {Form->Actions().Open, "&Open", "Ctrl+O"},
        {Form->Actions().Save, "&Save", "Ctrl+S"},
        {Form->Actions().SaveAs, "S&ave As...", ""},
        {Form->Actions().SaveSelectedAs, "Sa&ve Selected As...          ", ""},
        {Form->Actions().Exit, "E&xit", "Alt+F4"},
        {Form->Actions().ZoomIn, "&Zoom In                  ", ""},
        {Form->Actions().Undo, "&Undo", "Ctrl+Z"},
        {Form->Actions().Redo, "&Redo", "Ctrl+Shift+Z"},
        {Form->Actions().Cut, "&Cut", "Ctrl+X"},
        {Form->Actions().Copy, "C&opy", "Ctrl+C"},
        {Form->Actions().Paste, "&Paste", "Ctrl+V"},
        {Form->Actions().Delete, "&Delete", "Del"},
        {Form->Actions().SelectAll, "&Select All", "Ctrl+A"},
        {Form->Actions().DeselectAll, "D&eselect All                   ", ""},
        {Form->Actions().Play, "&Play", "Ctrl+P"},
        {Form->Actions().Stop, "&Stop", "Ctrl+T"},
        {Form->Actions().AmplifyDecrease, "A&mplify (Decrease)", ""},
        {Form->Actions().AmplifyIncrease, "Amp&lify (Increase)", ""},
        {Form->Actions().Contents, "&Contents", "F1"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Caption);
        EXPECT_EQ(row.Action->text(), QString::fromLatin1(row.Caption));
        EXPECT_EQ(row.Action->shortcut().toString(), QString::fromLatin1(row.Shortcut));
    }
    QStringList menus;
    for (QAction* menu : Form->menuBar()->actions())
        menus << menu->text();
    EXPECT_EQ(menus, (QStringList{"&File", "&View", "&Edit", "&Operations", "&Tools", "&Help"}));

    // New and Convert are in the list only; every toolbar button has an icon and a hint.
    const auto toolbar = Form->findChild<QToolBar*>();
    ASSERT_NE(toolbar, nullptr);
    EXPECT_FALSE(toolbar->isMovable());
    for (QAction* action : toolbar->actions()) {
        if (action->isSeparator()) continue;
        SCOPED_TRACE(action->text().toStdString());
        EXPECT_FALSE(action->icon().isNull());
        EXPECT_FALSE(action->icon().pixmap(24).isNull());
        EXPECT_FALSE(action->toolTip().isEmpty());
    }
    for (QAction* hidden : {Form->Actions().New, Form->Actions().Convert}) {
        EXPECT_TRUE(hidden->shortcut().isEmpty());
        EXPECT_FALSE(toolbar->actions().contains(hidden));
        for (QMenu* menu : Form->menuBar()->findChildren<QMenu*>())
            EXPECT_FALSE(menu->actions().contains(hidden));
    }
    EXPECT_EQ(Form->Actions().New->toolTip(), QStringLiteral("Create new file"));
    QStringList context;
    for (QAction* action : Form->ViewMenu()->actions())
        context << (action->isSeparator() ? QStringLiteral("-") : action->text().trimmed());
    EXPECT_EQ(context,
              (QStringList{"&Cut", "C&opy", "&Paste", "&Delete", "-", "Sa&ve Selected As..."}));
}

// The bar shows a running operation's progress as the body reports it, without the window
// asking, and goes when the operation ends.
TEST_F(MainWindowTest, ProgressReachesTheBarWhileTheBodyRuns) {
    std::atomic<bool> release{false};
    TDecoderRow row = CopyingWavDecoder();
    row.Decode = [&release, copy = row.Decode](const std::string& source, const std::string& work,
                                               TProgress& progress) {
        progress = 37;
        while (!release.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return copy(source, work, progress);
    };
    Codecs.Decoders.push_back(row);
    MakeForm({QString::fromStdString(Source("slow.wav", Ramp(1000)))});
    QProgressBar* bar = Form->Bottom()->Progress();
    QElapsedTimer clock;
    clock.start();
    while (bar->value() != 37 && clock.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->value(), 37);
    release = true;
    WaitIdle();
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(Values(), Ramp(1000));
}

TEST_F(MainWindowTest, OneArgumentOpensTheFileTwoOpenNothing) {
    const std::string path = Source("one.wav", Ramp(1000));
    MakeForm({QString::fromStdString(path), QString::fromStdString(path)});
    WaitIdle();
    EXPECT_FALSE(Form->Document()->Ready.load());
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("Orvella"));
    Form.reset();

    MakeForm({QString::fromStdString(path)});
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("one.wav - Orvella"));
    Form->AppendVersion(QStringLiteral("0.1.0.0"));
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("one.wav - Orvella 0.1.0.0"));
    EXPECT_EQ(Form->StatusPanel(0)->text(), QStringLiteral("File: one.wav"));
    WaitIdle();
    ASSERT_TRUE(Form->Document()->Ready.load());
    EXPECT_EQ(Form->Document()->Frames.load(), 1000u);
    EXPECT_EQ(Form->View()->ViewSpan, 1000u);
    EXPECT_EQ(Form->ScrollBar()->Maximum(), 1000u);
    EXPECT_EQ(Values(), Ramp(1000));
    EXPECT_TRUE(Form->StatusPanel(2)->text().startsWith(QStringLiteral("Maximum Amplitude: ")));
    EXPECT_TRUE(Form->StatusPanel(2)->text().endsWith(QStringLiteral(" dB")));
    EXPECT_FALSE(Form->Bottom()->Progress()->isVisible());
}

TEST_F(MainWindowTest, WindowPlacementFollowsTheStoredSettings) {
    const struct {
        int PosX, PosY, Width, Height;
        bool Placed; // at (PosX, PosY), else centred
        bool Sized;  // Width x Height, else the design size
    } cases[] = {
        {-1, 100, -1, -1, true, false},
        {40, 60, 900, 600, true, true},
        {40, 60, 800, -1, true, false},
        {-1, -1, -1, -1, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.PosX << "/" << c.PosY << " " << c.Width << "x" << c.Height);
        SetSetting("Settings/posx", c.PosX);
        SetSetting("Settings/posy", c.PosY);
        SetSetting("Settings/width", c.Width);
        SetSetting("Settings/height", c.Height);
        MakeForm();
        if (c.Placed) {
            EXPECT_EQ(Form->pos(), QPoint(c.PosX, c.PosY));
        }
        if (c.Sized) {
            EXPECT_EQ(Form->size(), QSize(c.Width, c.Height));
        } else {
            EXPECT_EQ(Form->height(),
                      TMainWindow::DesignClientHeight + Form->menuBar()->sizeHint().height());
        }
        if (!c.Placed) {
            const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
            EXPECT_LE(std::abs(Form->geometry().center().x() - screen.center().x()), 1);
        }
        Form.reset();
    }
}

TEST_F(MainWindowTest, ClosingStoresPlacementAndScaleFormat) {
    SetSetting("Settings/posx", 30);
    SetSetting("Settings/posy", 40);
    MakeForm();
    Form->Actions().Samples->trigger();
    Form->move(70, 80);
    Form->resize(900, 640);
    EXPECT_TRUE(Form->close());
    EXPECT_EQ(Setting("Settings/posx").toInt(), 70);
    EXPECT_EQ(Setting("Settings/posy").toInt(), 80);
    EXPECT_EQ(Setting("Settings/width").toInt(), 900);
    EXPECT_EQ(Setting("Settings/height").toInt(), 640);
    EXPECT_EQ(Setting("Settings/selectiontype").toInt(), 1);
    EXPECT_EQ(Setting("Settings/wavecolor").toInt(), 11268124);
    EXPECT_EQ(Setting("Settings/scalecolor").toInt(), 14474460);
}

TEST_F(MainWindowTest, ScrollBarIsDisabledWhenTheDocumentIsBarelyLongerThanAPage) {
    for (const auto& [frames, enabled] : {std::pair{150, false}, std::pair{201, true}}) {
        SCOPED_TRACE(frames);
        Load(Ramp(frames));
        Form->ScrollBar()->SetPageSize(100);
        EXPECT_EQ(Form->ScrollBar()->isEnabled(), enabled);
        Form.reset();
    }
}

// --- selection panel and scale format ---

TEST_F(MainWindowTest, SelectAllAndTheSelectedBoxInBothFormats) {
    Load(Ramp(1000));
    Form->Actions().SelectAll->trigger();
    EXPECT_EQ(Form->SelectionPanel()->StartText(), QStringLiteral(" 00:00.000"));
    EXPECT_EQ(Form->SelectionPanel()->StopText(), QStringLiteral(" 00:00.125"));
    EXPECT_TRUE(Form->SelectionPanel()->SelectedBox()->isChecked());
    EXPECT_TRUE(Form->View()->Selection().Selected());
    EXPECT_EQ(Form->View()->Selection().Start(), 0u);
    EXPECT_EQ(Form->View()->Selection().Stop(), 1000u);

    Form->Actions().DeselectAll->trigger();
    EXPECT_FALSE(Form->View()->Selection().Selected());
    EXPECT_FALSE(Form->SelectionPanel()->SelectedBox()->isChecked());

    // Typed times, applied by the user's click on the box.
    Form->SelectionPanel()->SetStartText(QStringLiteral("00:00.025"));
    Form->SelectionPanel()->SetStopText(QStringLiteral("00:00.050"));
    Form->SelectionPanel()->SelectedBox()->click();
    EXPECT_TRUE(Form->View()->Selection().Selected());
    EXPECT_EQ(Form->View()->Selection().Start(), 200u);
    EXPECT_EQ(Form->View()->Selection().Stop(), 400u);

    Form->Actions().Samples->trigger();
    EXPECT_EQ(Form->SelectionPanel()->StartText(), QStringLiteral("            200"));
    EXPECT_EQ(Form->SelectionPanel()->StopText(), QStringLiteral("            400"));
    Form->SelectionPanel()->SetStopText(QStringLiteral("601"));
    Form->SelectionPanel()->SelectedBox()->click(); // unticks: the selection is cleared
    Form->SelectionPanel()->SelectedBox()->click();
    EXPECT_EQ(Form->View()->Selection().Stop(), 601u);
    Form->Actions().SelectAll->trigger();
    EXPECT_EQ(Form->SelectionPanel()->StopText(), QStringLiteral("           1000"));
    EXPECT_EQ(Form->View()->Selection().Stop(), 1000u);
    EXPECT_TRUE(Boxes.Texts().empty());
}

// 1,003 frames at 8 kHz last 125.375 ms and show as 00:00.125: a selection to the shown end
// reaches the last frame in both formats; an earlier time stops at its own frame.
TEST_F(MainWindowTest, SelectAllAndTheShownEndReachTheLastFrame) {
    Load(Ramp(1003));
    for (QAction* format : {Form->Actions().Milliseconds, Form->Actions().Samples}) {
        SCOPED_TRACE(format->text().toStdString());
        format->trigger();
        Form->Actions().SelectAll->trigger();
        EXPECT_EQ(Form->View()->Selection().Start(), 0u);
        EXPECT_EQ(Form->View()->Selection().Stop(), 1003u);
    }
    Form->Actions().Milliseconds->trigger();
    EXPECT_EQ(Form->SelectionPanel()->StopText(), QStringLiteral(" 00:00.125"));
    for (const auto& [typed, frame] :
         {std::pair{"00:00.125", 1003u}, std::pair{"00:00.124", 992u}}) {
        SCOPED_TRACE(typed);
        Form->SelectionPanel()->SetStopText(QString::fromLatin1(typed));
        Form->SelectionPanel()->SelectedBox()->click(); // unticks
        Form->SelectionPanel()->SelectedBox()->click();
        EXPECT_EQ(Form->View()->Selection().Stop(), frame);
    }
}

TEST_F(MainWindowTest, ANonNumericEditFailsTheClickAndChangesNothing) {
    Load(Ramp(8000));
    Select(100, 200);
    Form->Actions().Samples->trigger();
    Form->SelectionPanel()->StopEdit()->setText(QString());
    Form->SelectionPanel()->SelectedBox()->click();
    ASSERT_EQ(Boxes.Errors().size(), 1u);
    EXPECT_EQ(Boxes.Errors()[0], "'               ' is not a valid integer value");
    EXPECT_TRUE(Form->View()->Selection().Selected());
    EXPECT_EQ(Form->View()->Selection().Start(), 100u);
    EXPECT_EQ(Form->View()->Selection().Stop(), 200u);
    EXPECT_TRUE(Form->SelectionPanel()->SelectedBox()->isChecked());
}

TEST_F(MainWindowTest, PickButtonsWriteTheCursorWithoutSelecting) {
    Load(Ramp(8000));
    Form->View()->SetCursor(4000);
    EXPECT_EQ(Form->Bottom()->CursorTime()->text(), QStringLiteral("00:00.500"));
    EXPECT_EQ(Form->StatusPanel(1)->text(), QStringLiteral("Cursor Position: 00:00.500"));
    Form->SelectionPanel()->PickStartButton()->click();
    EXPECT_EQ(Form->SelectionPanel()->StartText(), QStringLiteral(" 00:00.500"));
    Form->Actions().Samples->trigger();
    EXPECT_EQ(Form->StatusPanel(1)->text(), QStringLiteral("Cursor Position: 4000"));
    Form->View()->SetCursor(6000);
    EXPECT_EQ(Form->StatusPanel(1)->text(), QStringLiteral("Cursor Position: 6000"));
    EXPECT_EQ(Form->Bottom()->CursorTime()->text(), QStringLiteral("00:00.750"));
    Form->SelectionPanel()->PickStopButton()->click();
    EXPECT_EQ(Form->SelectionPanel()->StopText(), QStringLiteral("           6000"));
    EXPECT_FALSE(Form->View()->Selection().Selected());
}

TEST_F(MainWindowTest, ScaleSwitchWithoutADocumentShowsZeroTimes) {
    MakeForm();
    Form->Actions().Samples->trigger();
    EXPECT_TRUE(Form->Actions().Samples->isChecked());
    EXPECT_FALSE(Form->Actions().Milliseconds->isChecked());
    EXPECT_FALSE(Form->View()->Selection().Milliseconds());
    EXPECT_EQ(Form->SelectionPanel()->StartText(), QStringLiteral("              0"));
    Form->Actions().Milliseconds->trigger();
    EXPECT_TRUE(Form->View()->Selection().Milliseconds());
    EXPECT_EQ(Form->SelectionPanel()->StartText(), QStringLiteral(" 00:00.000"));
    EXPECT_EQ(Form->SelectionPanel()->StopText(), QStringLiteral(" 00:00.000"));
    EXPECT_EQ(Form->StatusPanel(1)->text(), QStringLiteral("Cursor Position: 00:00.000"));
}

// --- editing ---

TEST_F(MainWindowTest, CutAdjustsTheViewAtOnceAndUndoRedoFollowTheHistory) {
    Load(Ramp(1000));
    Select(100, 300);
    Form->SelectionPanel()->SelectedBox()->setChecked(
        true); // as a selection by the mouse leaves it
    const uint32_t page = Form->ScrollBar()->PageSize();
    Form->Actions().Cut->trigger();
    EXPECT_FALSE(Form->View()->Selection().Selected());
    EXPECT_FALSE(Form->SelectionPanel()->SelectedBox()->isChecked()) << "the box follows the view";
    EXPECT_EQ(Form->View()->CursorPos, 100u);
    EXPECT_EQ(Form->ScrollBar()->PageSize(), page - 200);
    EXPECT_EQ(Form->View()->ViewSpan, 800u);
    WaitIdle();
    std::vector<int16_t> expected = Ramp(1000);
    expected.erase(expected.begin() + 100, expected.begin() + 300);
    EXPECT_EQ(Values(), expected);
    EXPECT_TRUE(Form->Actions().Undo->isEnabled());
    EXPECT_FALSE(Form->Actions().Redo->isEnabled());

    Form->Actions().Undo->trigger();
    WaitIdle();
    EXPECT_EQ(Values(), Ramp(1000));
    EXPECT_FALSE(Form->Actions().Undo->isEnabled());
    EXPECT_TRUE(Form->Actions().Redo->isEnabled());
    Form->Actions().Redo->trigger();
    WaitIdle();
    EXPECT_EQ(Values(), expected);
}

TEST_F(MainWindowTest, DeleteOfAReversedTypedSelectionShrinksByItsLength) {
    Load(Ramp(1000));
    Form->Actions().Samples->trigger();
    Form->SelectionPanel()->SetStartText(QStringLiteral("600"));
    Form->SelectionPanel()->SetStopText(QStringLiteral("400"));
    Form->SelectionPanel()->SelectedBox()->click();
    ASSERT_TRUE(Form->View()->Selection().Selected());
    const uint32_t page = Form->ScrollBar()->PageSize();
    Form->Actions().Delete->trigger();
    EXPECT_EQ(Form->ScrollBar()->PageSize(), page - 200);
    EXPECT_EQ(Form->View()->ViewSpan, 800u);
    EXPECT_EQ(Form->View()->CursorPos, 400u);
    WaitIdle();
    EXPECT_EQ(Form->Document()->Frames.load(), 800u);
    EXPECT_EQ(Form->View()->ViewEnd, 800u);
}

TEST_F(MainWindowTest, CopyThenPasteAtTheCursorThroughTheDesktopClipboard) {
    Load(Ramp(1000));
    Select(100, 200);
    Form->Actions().Copy->trigger();
    WaitIdle();
    QApplication::processEvents();
    EXPECT_TRUE(Form->Actions().Paste->isEnabled());
    Form->View()->SetCursor(0);
    Form->Actions().Paste->trigger();
    WaitIdle();
    std::vector<int16_t> expected = Ramp(1000);
    expected.insert(expected.begin(), expected.begin() + 100, expected.begin() + 200);
    EXPECT_EQ(Values(), expected);
}

TEST_F(MainWindowTest, SelectionCommandsNeedASelectionReadyCommandsADocument) {
    MakeForm();
    const TMainActions& a = Form->Actions();
    for (QAction* command : {a.Cut, a.Copy, a.Delete, a.FadeIn, a.FadeOut, a.InsertSilence,
                             a.Normalization, a.AmplifyIncrease, a.AmplifyDecrease, a.Reverse,
                             a.Invert, a.SelectAll, a.Paste, a.Pause, a.Stop, a.ZoomIn, a.Undo}) {
        // Enabled or not, each command checks for itself what it needs.
        command->setEnabled(true);
        command->trigger();
        EXPECT_FALSE(Form->Document()->IsBusy());
    }
    EXPECT_TRUE(Shown.empty());
    EXPECT_TRUE(Boxes.Texts().empty());

    Form.reset();
    Load(Ramp(1000));
    Form->Actions().Cut->trigger(); // nothing selected
    Form->Actions().FadeIn->trigger();
    EXPECT_FALSE(Form->Document()->IsBusy());
    EXPECT_EQ(Values(), Ramp(1000));
}

// --- effects and their dialogs ---

TEST_F(MainWindowTest, AmplifyDialogsStartFromTheirPresetsNormalizeRemembers) {
    Load(std::vector<int16_t>(1000, 1000));
    Typed = 150;
    Form->Actions().AmplifyIncrease->trigger();
    WaitIdle();
    EXPECT_EQ(Values(), std::vector<int16_t>(1000, 1500));
    Typed.reset();
    Form->Actions().AmplifyIncrease->trigger();
    WaitIdle();
    Form->Actions().AmplifyDecrease->trigger();
    WaitIdle();
    ASSERT_EQ(Shown.size(), 3u);
    EXPECT_EQ(Shown[0].Caption, QStringLiteral("Amplify"));
    EXPECT_EQ(Shown[0].Value, 101);
    EXPECT_EQ(Shown[1].Value, 101); // not the 150 typed before
    EXPECT_EQ(Shown[2].Value, 10);
    EXPECT_EQ(Values(), std::vector<int16_t>(1000, 151)); // 1500 * 101 % = 1515, * 10 % = 151
    EXPECT_EQ(Form->OwnedDialogs().AmplifyDialog->SpinEdit()->minimum(), 1);
    EXPECT_EQ(Form->OwnedDialogs().AmplifyDialog->SpinEdit()->maximum(), 200);

    Shown.clear();
    Typed = 50;
    Form->Actions().Normalization->trigger();
    WaitIdle();
    Typed.reset();
    Window.Accept = false;
    Form->Actions().Normalization->trigger();
    ASSERT_EQ(Shown.size(), 2u);
    EXPECT_EQ(Shown[0].Caption, QStringLiteral("Normalization Settings"));
    EXPECT_EQ(Shown[0].Value, 95);
    EXPECT_EQ(Shown[1].Value, 50);
    EXPECT_FALSE(Form->Document()->IsBusy());               // cancelled: nothing started
    EXPECT_EQ(Values(), std::vector<int16_t>(1000, 16384)); // 50 % of full scale
}

TEST_F(MainWindowTest, InsertSilenceConvertsMillisecondsAtTheCursor) {
    Load(Ramp(1000)); // 8000 Hz
    Form->View()->SetCursor(10);
    Typed = 25; // 200 frames
    Form->Actions().InsertSilence->trigger();
    WaitIdle();
    ASSERT_EQ(Shown.size(), 1u);
    EXPECT_EQ(Shown[0].Caption, QStringLiteral("Silence Duration"));
    EXPECT_EQ(Shown[0].Value, 500);
    std::vector<int16_t> expected = Ramp(1000);
    expected.insert(expected.begin() + 10, 200, 0);
    EXPECT_EQ(Values(), expected);
    EXPECT_EQ(Form->OwnedDialogs().SilenceDialog->SpinEdit()->minimum(), 0); // no negative lengths
}

TEST_F(MainWindowTest, FadeClearsTheSelectionReverseAndInvertRewriteTheWhole) {
    Load(std::vector<int16_t>{1000, 1000, 1000, 1000, -5, 7});
    Select(0, 4);
    Form->SelectionPanel()->SelectedBox()->setChecked(true);
    Form->Actions().FadeIn->trigger();
    EXPECT_FALSE(Form->View()->Selection().Selected());
    EXPECT_FALSE(Form->SelectionPanel()->SelectedBox()->isChecked());
    WaitIdle();
    EXPECT_EQ(Values()[0], 0);
    EXPECT_LT(Values()[1], 1000);
    Form->Actions().Reverse->trigger();
    WaitIdle();
    EXPECT_EQ(Values()[0], 7);
    EXPECT_EQ(Values()[1], -5);
    Form->Actions().Invert->trigger();
    WaitIdle();
    EXPECT_EQ(Values()[0], -7);
    EXPECT_EQ(Values()[1], 5);
}

TEST_F(MainWindowTest, ARefusedCommandChangesNothingVisible) {
    Load(Ramp(30000));
    const std::vector<int16_t> before = Values();
    Form->Actions().Reverse->trigger(); // a body runs until its finish is handled
    ASSERT_TRUE(Form->Document()->IsBusy());
    Select(100, 300);
    Form->View()->SetCursor(50);
    const uint32_t page = Form->ScrollBar()->PageSize();
    const uint32_t span = Form->View()->ViewSpan;
    Form->Actions().Cut->trigger();
    Form->Actions().Delete->trigger();
    Form->Actions().FadeOut->trigger();
    EXPECT_TRUE(Form->View()->Selection().Selected());
    EXPECT_EQ(Form->View()->CursorPos, 50u);
    EXPECT_EQ(Form->ScrollBar()->PageSize(), page);
    EXPECT_EQ(Form->View()->ViewSpan, span);
    WaitIdle();
    std::vector<int16_t> reversed = before;
    std::reverse(reversed.begin(), reversed.end());
    EXPECT_EQ(Values(), reversed);
    // The one change in the history is the reverse.
    Form->Actions().Undo->trigger();
    WaitIdle();
    EXPECT_EQ(Values(), before);
    EXPECT_FALSE(Form->Actions().Undo->isEnabled());
    EXPECT_TRUE(Boxes.Texts().empty());
}

TEST_F(MainWindowTest, ConvertMakesTheDocument22050HzMonoThroughTheBoundLibrary) {
    ASSERT_EQ(BindVelcora(VELCORA_LIBRARY), "");
    Load(std::vector<int16_t>(16000, 3000), 2, 8000); // one second of stereo
    Form->Actions().Convert->trigger();
    WaitIdle();
    EXPECT_EQ(Form->Document()->SampleRate.load(), 22050u);
    EXPECT_EQ(Form->Document()->Channels.load(), 1u);
    EXPECT_NEAR(double(Form->Document()->Frames.load()), 22050.0, 100.0);
    EXPECT_TRUE(Form->Actions().Undo->isEnabled());
    EXPECT_TRUE(Boxes.Texts().empty());
}

// --- playback ---

TEST_F(MainWindowTest, PlayAndStopDriveActionsTimerMeterAndVolume) {
    Load(Ramp(8000));
    Form->Actions().Play->trigger();
    ASSERT_TRUE(Form->Transport().GetPlayer().Playing());
    EXPECT_FALSE(Form->Actions().Play->isEnabled());
    EXPECT_TRUE(Form->Actions().Stop->isEnabled());
    EXPECT_TRUE(Form->Transport().Active());
    EXPECT_TRUE(Form->Transport().Playing());
    // The bar's -8000 reaches the buffer of this playback.
    ASSERT_NE(Form->Transport().GetPlayer().Buffer(), nullptr);
    EXPECT_EQ(Form->Transport().GetPlayer().Buffer()->GetVolume(), -242);
    Form->Bottom()->VolumeBar()->setValue(-10000);
    EXPECT_EQ(Form->Transport().GetPlayer().Buffer()->GetVolume(), 0);

    Form->Actions().Stop->trigger();
    EXPECT_FALSE(Form->Transport().Active());
    EXPECT_TRUE(Form->Actions().Play->isEnabled());
    EXPECT_FALSE(Form->Actions().Stop->isEnabled());
    EXPECT_FALSE(Form->Transport().GetPlayer().Playing());
    EXPECT_EQ(Form->Bottom()->LevelMeter()->Levels()[0], 0);
}

TEST_F(MainWindowTest, TheEndOfTheRangeStopsThroughThePlayStatus) {
    Load(Ramp(800));
    Form->Actions().Play->trigger();
    ASSERT_TRUE(Form->Transport().Active());
    QElapsedTimer clock;
    clock.start();
    while (Form->Transport().GetPlayer().Playing() && clock.elapsed() < 10000) {
        Device->Advance(250);
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    QApplication::processEvents();
    EXPECT_FALSE(Form->Transport().Playing());
    EXPECT_FALSE(Form->Transport().Active());
    EXPECT_TRUE(Form->Actions().Play->isEnabled());
    EXPECT_FALSE(Form->Actions().Stop->isEnabled());
}

TEST_F(MainWindowTest, WithoutASoundDevicePlayOnlyShowsTheError) {
    Devices = []() -> std::shared_ptr<TSoundDevice> {
        throw ESoundOutputError(
            SoundErrorNoDriver,
            "DirectSound call failed: 88780078\r\nNo sound driver is available for use.");
    };
    Load(Ramp(1000));
    Form->Actions().Play->trigger();
    ASSERT_EQ(Boxes.Errors().size(), 1u);
    EXPECT_NE(Boxes.Errors()[0].find("DirectSound call failed"), std::string::npos);
    EXPECT_TRUE(Form->Actions().Play->isEnabled());
    EXPECT_FALSE(Form->Actions().Stop->isEnabled());
    EXPECT_FALSE(Form->Transport().Active());
    Form->Actions().Reverse->trigger();
    WaitIdle();
    EXPECT_EQ(Values()[0], 999);
}

// --- closing ---

TEST_F(MainWindowTest, CloseQuestionAnswers) {
    Load(Ramp(1000));
    Form->Actions().Invert->trigger();
    WaitIdle();
    ASSERT_TRUE(Form->Document()->Modified.load());

    Window.Answers = {QMessageBox::Cancel};
    EXPECT_FALSE(Form->close());
    EXPECT_TRUE(Form->isVisible());
    EXPECT_TRUE(Form->Document()->Ready.load());

    Form->Document()->Progress = 40; // as while a body reports progress
    EXPECT_FALSE(Form->close());
    EXPECT_EQ(Window.Questions.back(), QStringLiteral("Please wait. Operation in progress..."));
    Form->Document()->Progress = 0;

    Window.Answers = {QMessageBox::No};
    EXPECT_TRUE(Form->close());
    EXPECT_EQ(Window.Questions.back(), QStringLiteral("Would you like to save changes?"));
    EXPECT_TRUE(Work.Files().empty()); // the work files went with the document
}

TEST_F(MainWindowTest, CloseQuestionYesSavesThenCloses) {
    Load(Ramp(1000));
    Form->Actions().Invert->trigger();
    WaitIdle();
    const std::string target = Sources.File("saved.wav");
    Form->Document()->FileName = target;
    Window.Answers = {QMessageBox::Yes};
    EXPECT_TRUE(Form->close());
    EXPECT_TRUE(Form->Document()->Saved.load());
    EXPECT_EQ(std::filesystem::file_size(target), 44u + 2000u);
}

// A Yes whose save starts nothing, or whose body fails, keeps the window and the changes.
TEST_F(MainWindowTest, CloseQuestionYesWithAFailedSaveKeepsTheWindowOpen) {
    for (const std::string name : {"/untitled.wma", "/no/such/folder/saved.wav"}) {
        SCOPED_TRACE(name);
        Load(Ramp(1000));
        Form->Actions().Invert->trigger();
        WaitIdle();
        Form->Document()->FileName = name[1] == 'n' ? name : Sources.Path() + name;
        Window.Answers = {QMessageBox::Yes};
        EXPECT_FALSE(Form->close());
        EXPECT_TRUE(Form->isVisible());
        EXPECT_TRUE(Form->Document()->Ready.load());
        EXPECT_TRUE(Form->Document()->Modified.load());
        EXPECT_FALSE(Form->Document()->IsBusy());
        Form.reset();
    }
    EXPECT_EQ(Boxes.Errors().size(), 1u); // the failed body's message
}

// --- accessibility ---

QString AccessibleName(QObject* object) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(object);
    return face ? face->text(QAccessible::Name) : QString();
}

// What a control does with the mouse it does through the accessibility layer; labels read out
// their text; the window is named after its caption.
TEST_F(MainWindowTest, AssistiveToolsSeeAndDoWhatTheMouseDoes) {
    Load(Ramp(1000));
    EXPECT_EQ(AccessibleName(Form.get()), QStringLiteral("doc.wav - Orvella"));

    Form->Actions().Samples->trigger();
    Form->SelectionPanel()->SetStartText(QStringLiteral("100"));
    Form->SelectionPanel()->SetStopText(QStringLiteral("300"));
    QAccessibleInterface* box =
        QAccessible::queryAccessibleInterface(Form->SelectionPanel()->SelectedBox());
    ASSERT_NE(box, nullptr);
    ASSERT_NE(box->actionInterface(), nullptr);
    box->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(Form->SelectionPanel()->SelectedBox()->isChecked());
    EXPECT_TRUE(Form->View()->Selection().Selected());
    EXPECT_EQ(Form->View()->Selection().Start(), 100u);
    EXPECT_EQ(Form->View()->Selection().Stop(), 300u);
    box->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_FALSE(Form->View()->Selection().Selected());

    Form->View()->SetCursor(400);
    EXPECT_EQ(AccessibleName(Form->Bottom()->CursorTime()), QStringLiteral("00:00.050"));
    EXPECT_EQ(AccessibleName(Form->StatusPanel(0)), QStringLiteral("File: doc.wav"));
    EXPECT_EQ(AccessibleName(Form->StatusPanel(1)), QStringLiteral("Cursor Position: 400"));
    EXPECT_EQ(AccessibleName(Form->StatusPanel(2)), Form->StatusPanel(2)->text());
    EXPECT_EQ(Form->StatusPanel(1)->accessibleDescription(), QStringLiteral("Cursor position"));
}

TEST_F(MainWindowTest, EveryFocusableControlHasAnAccessibleName) {
    Load(Ramp(1000));
    int visited = 0;
    QWidget* widget = Form.get();
    do {
        if (widget->isVisible() && widget->focusPolicy() != Qt::NoFocus) {
            ++visited;
            EXPECT_FALSE(AccessibleName(widget).trimmed().isEmpty())
                << widget->metaObject()->className() << " " << widget->objectName().toStdString();
        }
        widget = widget->nextInFocusChain();
    } while (widget != Form.get() && visited < 500);
    EXPECT_GE(visited, 8);
    EXPECT_EQ(AccessibleName(Form->SelectionPanel()->StartEdit()), QStringLiteral("Begin:"));
    EXPECT_EQ(AccessibleName(Form->SelectionPanel()->StopEdit()), QStringLiteral("End:"));
    EXPECT_EQ(AccessibleName(Form->View()), QStringLiteral("Waveform"));
    EXPECT_FALSE(AccessibleName(Form->Bottom()->CursorTime()).isEmpty());
    for (int i = 0; i < 3; ++i) {
        QLabel* panel = Form->StatusPanel(i);
        EXPECT_FALSE(AccessibleName(panel).isEmpty());
        EXPECT_FALSE(panel->text().isEmpty());
    }
    for (QAction* action : Form->Actions().All())
        EXPECT_FALSE(action->text().trimmed().isEmpty());
    // The menus of the bar and their submenus.
    std::vector<QMenu*> menus;
    for (QAction* entry : Form->menuBar()->actions())
        menus.push_back(entry->menu());
    for (size_t i = 0; i < menus.size(); ++i)
        for (QAction* entry : menus[i]->actions())
            if (entry->menu()) menus.push_back(entry->menu());
    EXPECT_EQ(menus.size(), 8u); // with File's Recent Files
    for (QMenu* menu : menus)
        EXPECT_FALSE(AccessibleName(menu).isEmpty()) << menu->title().toStdString();
    for (QDialog* dialog : std::initializer_list<QDialog*>{Form->OwnedDialogs().SilenceDialog,
                                                           Form->OwnedDialogs().NormalizeDialog,
                                                           Form->OwnedDialogs().AmplifyDialog})
        for (QWidget* child : dialog->findChildren<QWidget*>())
            if (child->focusPolicy() != Qt::NoFocus) {
                EXPECT_FALSE(AccessibleName(child).trimmed().isEmpty())
                    << dialog->windowTitle().toStdString() << " "
                    << child->metaObject()->className();
            }
}

} // namespace
} // namespace orvella::test
