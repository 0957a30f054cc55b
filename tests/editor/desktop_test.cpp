// The main window's desktop habits on Qt's offscreen platform: the recent files, a drop from the
// file manager, the wheel, Shift + click, Space, the desktop's palette, the icon, and the
// recovery of the leftovers of a run that did not close.
#include "editor/desktopinput.h"
#include "editor/mainwindow.h"
#include "editor/recentfiles.h"
#include "editor/recovery.h"
#include "editor/windowdialogs.h"
#include "engine/samplestore.h"
#include "playback/drivendevice.h"
#include "support/recordingdialogs.h"
#include "support/tempdir.h"
#include "view/qtmainthread.h"
#include "view/viewgeometry.h"
#include "view/waveview.h"
#include "windowfixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <fcntl.h>
#include <fstream>
#include <sys/file.h>
#include <unistd.h>

namespace orvella {
namespace {

void WriteWav(const std::string& path, const std::vector<int16_t>& values) {
    test::WriteWav(path, 1, 8000, values);
}

using test::Ramp;

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

class DesktopTest : public test::WindowTest {
protected:
    void MakeForm(const QStringList& arguments = {}) {
        WindowTest::MakeForm(arguments);
        Form->resize(800, 500);
        QApplication::processEvents();
    }
    QStringList RecentEntries() const {
        QMenu* menu = Form->RecentFiles()->Menu();
        emit menu->aboutToShow();
        QStringList entries;
        for (QAction* a : menu->actions())
            if (!a->isSeparator() && a->data().isValid())
                entries << a->data().toString() + (a->isEnabled() ? "" : " (disabled)");
        return entries;
    }
    void Wheel(int x, int delta, Qt::KeyboardModifiers modifiers) {
        const QPointF at(x, 100);
        QWheelEvent event(at, Form->View()->mapToGlobal(at), QPoint(), QPoint(0, delta),
                          Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(Form->View(), &event);
    }
    uint32_t FrameAt(int x) const {
        const TWaveView& v = *Form->View();
        return view::ColumnFrame(x, view::SamplesPerPixelOf(v.ViewSpan, v.width()), v.ViewStart);
    }
};

// --- recent files ---

TEST_F(DesktopTest, RecentFilesListOpenedAndSavedFilesNewestFirstAndPersist) {
    MakeForm();
    QList<QAction*> fileMenu;
    for (QObject* holder : Form->Actions().Open->associatedObjects())
        if (auto* menu = qobject_cast<QMenu*>(holder); menu && fileMenu.isEmpty())
            fileMenu = menu->actions();
    const qsizetype open = fileMenu.indexOf(Form->Actions().Open);
    ASSERT_GE(open, 0);
    ASSERT_LT(open + 1, fileMenu.size());
    EXPECT_EQ(fileMenu[open + 1]->menu(), Form->RecentFiles()->Menu())
        << "Recent Files follows Open";

    const QString a = Q(Source("a.wav", Ramp(500))), b = Q(Source("b.wav", Ramp(600)));
    Form->OpenFile(a);
    WaitIdle();
    Form->OpenFile(b);
    WaitIdle();
    Form->OpenFile(a);
    WaitIdle();
    EXPECT_EQ(RecentEntries(), QStringList({a, b})) << "each file once, the newest first";

    Window.SaveName = Q(Sources.File("c.wav"));
    Form->Actions().SaveAs->trigger();
    WaitIdle();
    EXPECT_EQ(RecentEntries(), QStringList({Window.SaveName, a, b})) << "a saved file joins";

    // Kept in the settings: a new window lists them too; a file gone is shown disabled.
    Form.reset();
    QFile::remove(b);
    MakeForm();
    EXPECT_EQ(RecentEntries(), QStringList({Window.SaveName, a, b + " (disabled)"}));

    // A chosen entry opens its file.
    Form->RecentFiles()->Menu()->actions()[1]->trigger();
    WaitIdle();
    EXPECT_EQ(Form->Document()->FileName, a.toStdString());
    EXPECT_EQ(Values(), Ramp(500));

    for (QAction* entry : Form->RecentFiles()->Menu()->actions())
        if (entry->objectName() == QStringLiteral("ClearRecent")) entry->trigger();
    EXPECT_TRUE(RecentEntries().isEmpty());
    Form.reset();
    MakeForm();
    EXPECT_TRUE(RecentEntries().isEmpty()) << "the cleared list is stored";
}

TEST_F(DesktopTest, RecentFilesKeepTheLastTen) {
    MakeForm();
    QStringList added;
    for (int i = 0; i < 12; ++i) {
        added.prepend(Q(Sources.File(QStringLiteral("f%1.wav").arg(i).toStdString())));
        Form->RecentFiles()->Add(added.front());
    }
    EXPECT_EQ(Form->RecentFiles()->Files(), added.mid(0, 10));
}

// --- a drop from the file manager ---

TEST_F(DesktopTest, ADroppedFileOpensAsOpenDoes) {
    MakeForm();
    const QString path = Q(Source("dropped.wav", Ramp(700, 3)));
    QMimeData data;
    data.setUrls(
        {QUrl(QStringLiteral("https://example.invalid/x.wav")), QUrl::fromLocalFile(path)});
    const QPoint at = Form->View()->mapTo(Form.get(), QPoint(50, 50));

    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(Form.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(enter.dropAction(), Qt::CopyAction) << "the file manager keeps its file";
    QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Form.get(), &drop);
    WaitIdle();
    EXPECT_EQ(Form->Document()->FileName, path.toStdString());
    EXPECT_EQ(Values(), Ramp(700, 3));
    EXPECT_EQ(Form->windowTitle().left(14), QStringLiteral("dropped.wav - "));

    // Text, or a folder, is no file to open.
    QMimeData text;
    text.setText(QStringLiteral("hello"));
    QDragEnterEvent textEnter(at, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Form.get(), &textEnter);
    EXPECT_FALSE(textEnter.isAccepted());
    EXPECT_TRUE(TDesktopInput::DroppedFile({QUrl::fromLocalFile(Q(Sources.Path()))}).isEmpty());
}

// --- the wheel ---

TEST_F(DesktopTest, CtrlWheelZoomsAtThePointerAndTheWheelScrolls) {
    MakeForm({Q(Source("long.wav", Ramp(32000)))});
    WaitIdle();
    TWaveView& v = *Form->View();
    const uint32_t full = v.ViewSpan;
    ASSERT_EQ(full, Form->Document()->Frames.load());
    ASSERT_GE(full, 32000u);
    const int x = 200;
    const uint32_t pinned = FrameAt(x);
    // A tolerance of one column's frames.
    const auto column = [&] {
        return uint32_t(v.ViewSpan / uint32_t(v.width() - view::ScaleWidth)) + 1;
    };

    Wheel(x, 120, Qt::ControlModifier);
    EXPECT_EQ(v.ViewSpan, full / 2);
    EXPECT_NEAR(double(FrameAt(x)), double(pinned), column());
    EXPECT_EQ(Form->ScrollBar()->PageSize(), v.ViewSpan) << "the scroll bar follows";

    // A trackpad's small steps add up to one zoom step.
    Wheel(x, 40, Qt::ControlModifier);
    Wheel(x, 40, Qt::ControlModifier);
    EXPECT_EQ(v.ViewSpan, full / 2);
    Wheel(x, 40, Qt::ControlModifier);
    EXPECT_EQ(v.ViewSpan, full / 4);
    EXPECT_NEAR(double(FrameAt(x)), double(pinned), 2 * column());

    // Zooming in stops at the view's limit; the pinned frame stays near.
    for (int i = 0; i < 20; ++i)
        Wheel(x, 120, Qt::ControlModifier);
    EXPECT_GE(v.ViewSpan / uint32_t(v.width() - view::ScaleWidth), 1u);
    EXPECT_NEAR(double(FrameAt(x)), double(pinned), 4 * column());

    // Out again, never beyond the document.
    for (int i = 0; i < 20; ++i)
        Wheel(x, -120, Qt::ControlModifier);
    EXPECT_EQ(v.ViewSpan, full);
    EXPECT_EQ(v.ViewStart, 0u);

    // The wheel alone scrolls: towards the user, on through the sound; never past either end.
    Wheel(x, 120, Qt::ControlModifier);
    const uint32_t start = v.ViewStart, span = v.ViewSpan;
    Wheel(x, -120, Qt::NoModifier);
    EXPECT_EQ(v.ViewSpan, span);
    EXPECT_GT(v.ViewStart, start);
    EXPECT_EQ(Form->ScrollBar()->Position(), v.ViewStart);
    for (int i = 0; i < 50; ++i)
        Wheel(x, -120, Qt::NoModifier);
    EXPECT_EQ(v.ViewEnd, full);
    for (int i = 0; i < 50; ++i)
        Wheel(x, 120, Qt::NoModifier);
    EXPECT_EQ(v.ViewStart, 0u);
}

// --- Shift + click, Space ---

TEST_F(DesktopTest, ShiftClickExtendsTheSelectionToTheClickedFrame) {
    MakeForm({Q(Source("doc.wav", Ramp(8000)))});
    WaitIdle();
    TWaveView& v = *Form->View();
    // From the cursor when nothing is selected.
    QTest::mouseClick(&v, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    const uint32_t cursor = v.CursorPos;
    QTest::mouseClick(&v, Qt::LeftButton, Qt::ShiftModifier, QPoint(300, 100));
    EXPECT_TRUE(v.Selection().Selected());
    EXPECT_EQ(v.Selection().Start(), cursor);
    EXPECT_EQ(v.Selection().Stop(), FrameAt(300));
    EXPECT_TRUE(Form->Actions().Cut->isEnabled());
    // With a selection, the nearer edge moves to the click, either side.
    QTest::mouseClick(&v, Qt::LeftButton, Qt::ShiftModifier, QPoint(400, 100));
    EXPECT_EQ(v.Selection().Start(), cursor);
    EXPECT_EQ(v.Selection().Stop(), FrameAt(400));
    QTest::mouseClick(&v, Qt::LeftButton, Qt::ShiftModifier, QPoint(50, 100));
    EXPECT_EQ(v.Selection().Start(), FrameAt(50));
    EXPECT_EQ(v.Selection().Stop(), FrameAt(400));
    EXPECT_TRUE(v.Selection().Selected());
    // A plain click still starts over.
    QTest::mouseClick(&v, Qt::LeftButton, Qt::NoModifier, QPoint(200, 100));
    EXPECT_FALSE(v.Selection().Selected());
}

TEST_F(DesktopTest, SpacePlaysAndStopsUnlessATextBoxTakesIt) {
    MakeForm({Q(Source("doc.wav", Ramp(8000)))});
    WaitIdle();
    Form->View()->setFocus();
    QTest::keyClick(Form->View(), Qt::Key_Space);
    EXPECT_TRUE(Form->Transport().GetPlayer().Playing());
    EXPECT_TRUE(Form->Actions().Stop->isEnabled());
    QTest::keyClick(Form->View(), Qt::Key_Space);
    EXPECT_FALSE(Form->Transport().GetPlayer().Playing());
    EXPECT_TRUE(Form->Actions().Play->isEnabled());
    // The shortcuts stay.
    EXPECT_EQ(Form->Actions().Play->shortcut(), QKeySequence(QStringLiteral("Ctrl+P")));
    EXPECT_EQ(Form->Actions().Stop->shortcut(), QKeySequence(QStringLiteral("Ctrl+T")));
}

// --- palette and icon ---

TEST_F(DesktopTest, TheWindowFollowsTheDesktopPaletteAndTheViewKeepsItsColours) {
    const QPalette before = QApplication::palette();
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(30, 30, 30));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Base, QColor(20, 20, 20));
    QApplication::setPalette(dark);
    MakeForm();
    EXPECT_EQ(Form->palette().color(QPalette::Window), QColor(30, 30, 30));
    EXPECT_EQ(Form->Bottom()->palette().color(QPalette::Window), QColor(30, 30, 30));
    EXPECT_EQ(Form->View()->GetColors().Wave, uint32_t(DefaultWaveColor));
    EXPECT_EQ(Form->View()->GetColors().Back, 0u);
    QApplication::setPalette(before);
}

TEST_F(DesktopTest, TheWindowShowsTheProgramsIcon) {
    MakeForm();
    const QList<QSize> sizes = Form->windowIcon().availableSizes();
    for (int size : {16, 32, 48, 256})
        EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
}

// --- HiDPI (run by ctest under QT_SCALE_FACTOR 2 and 1.5; skipped at ratio 1) ---

TEST_F(DesktopTest, HiDpiTheViewIsDrawnAtDeviceResolution) {
    // Noise: neighbouring frames differ, so neighbouring device columns differ when drawn sharp.
    std::vector<int16_t> noise(6000);
    uint32_t seed = 12345;
    for (int16_t& v : noise) {
        seed = seed * 1664525u + 1013904223u;
        v = int16_t(seed >> 16);
    }
    MakeForm({Q(Source("noise.wav", noise))});
    WaitIdle();
    const double ratio = Form->View()->devicePixelRatioF();
    if (ratio == 1.0) GTEST_SKIP() << "ratio 1: run with QT_SCALE_FACTOR";
    // The window lays out in logical pixels as at ratio 1.
    EXPECT_GE(Form->width(), TMainWindow::DesignClientWidth);
    EXPECT_EQ(Form->Bottom()->height(), 155);
    const QImage& picture = Form->View()->ScreenPicture();
    EXPECT_EQ(picture.devicePixelRatio(), ratio);
    EXPECT_EQ(picture.width(), int(std::lround(Form->View()->width() * ratio)));
    EXPECT_EQ(picture.height(), int(std::lround(Form->View()->height() * ratio)));
    // Not a 1x picture scaled up: some device column differs from its neighbour within a pair
    // that one logical column would cover.
    const int step = int(std::ceil(ratio));
    int differing = 0;
    for (int x = 0; x + 1 < picture.width() - int(view::ScaleWidth * ratio); x += step)
        for (int y = int(view::RulerHeight * ratio); y < picture.height(); ++y)
            if (picture.pixel(x, y) != picture.pixel(x + 1, y)) ++differing;
    EXPECT_GT(differing, 100);
    // The lane's centre lies at ratio times its logical row: the wave's colour is on that row.
    const view::TLaneGeometry lanes = view::LaneGeometryOf(Form->View()->height(), 1);
    const int centre = int(std::lround(lanes.Centre[0] * ratio));
    int waveOnCentre = 0;
    const QRgb wave = qRgb(DefaultWaveColor & 0xFF, (DefaultWaveColor >> 8) & 0xFF,
                           (DefaultWaveColor >> 16) & 0xFF);
    for (int x = 0; x < picture.width() - int(view::ScaleWidth * ratio); ++x)
        for (int dy = -1; dy <= 1; ++dy)
            if ((picture.pixel(x, centre + dy) & 0xFFFFFF) == (wave & 0xFFFFFF)) ++waveOnCentre;
    EXPECT_GT(waveOnCentre, picture.width() / 2) << "centre row " << centre;
    Form->grab().save(QString::fromStdString(Sources.File("hidpi.png")));
}

// --- crash recovery ---

// The leftovers a run leaves when it is killed: a work file of values, another (an undo state),
// the journal naming them and the lock file, unlocked.
struct TLeftoverFiles {
    std::string Journal, Lock, Current, Undo;
};
TLeftoverFiles MakeLeftovers(const test::TempDir& work, const std::string& original,
                             const std::vector<int16_t>& values, bool modified = true) {
    TLeftoverFiles files{work.File("orvella-99999-0000abcd.journal"),
                         work.File("orvella-99999-0000abcd.lock"), work.File("~A1.tmp"),
                         work.File("~B2.tmp")};
    WriteWav(files.Current, values);
    WriteWav(files.Undo, Ramp(10));
    std::ofstream(files.Lock).put('\n');
    std::ofstream(files.Journal) << "{\"original\": \"" << original << "\", \"current\": \""
                                 << files.Current
                                 << "\", \"modified\": " << (modified ? "true" : "false")
                                 << ", \"files\": [\"" << files.Current << "\", \"" << files.Undo
                                 << "\"]}";
    return files;
}

bool Exists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

TEST_F(DesktopTest, RecoverOpensTheLastStateAsUnsavedChangesOfItsFile) {
    const std::string original = Source("song.wav", Ramp(300));
    const TLeftoverFiles left = MakeLeftovers(Work, original, Ramp(900, 7));
    Window.Answers = {QMessageBox::Yes};
    // A file on the command line waits: the recovered changes come first.
    MakeForm({Q(Source("other.wav", Ramp(50)))});
    WaitIdle();
    ASSERT_EQ(Window.Questions.size(), 1u);
    EXPECT_EQ(
        Window.Questions[0],
        QStringLiteral("Orvella did not close properly. Recover the unsaved changes of song.wav?"));
    const TWindowDialogs::ButtonCaptions recover{{QMessageBox::Yes, QStringLiteral("&Recover")}};
    EXPECT_EQ(Window.Captions[0], recover) << "the answer that recovers says so";
    EXPECT_EQ(Values(), Ramp(900, 7));
    EXPECT_EQ(Form->Document()->FileName, original);
    EXPECT_TRUE(Form->Document()->Modified.load());
    EXPECT_EQ(Form->windowTitle().left(11), QStringLiteral("song.wav - "));
    for (const std::string& gone : {left.Journal, left.Lock, left.Current, left.Undo})
        EXPECT_FALSE(Exists(gone)) << gone;

    // This run keeps its own journal of the recovered state.
    const auto journals = Work.Files();
    EXPECT_EQ(std::count_if(journals.begin(), journals.end(),
                            [](const std::string& f) { return f.find(".journal") != f.npos; }),
              1);

    // Save writes where it came from; the close question then has nothing to ask.
    Form->Actions().Save->trigger();
    WaitIdle();
    std::ifstream in(original, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(bytes.size(), 44u + 1800u);
    EXPECT_FALSE(Form->Document()->Modified.load());
}

// A float document recovers as float, and Save writes the precision of the file it came from.
TEST_F(DesktopTest, ARecoveredFloatDocumentSavesAtItsSourcesPrecision) {
    const std::string original = Source("deep.wav", Ramp(10));
    const TLeftoverFiles left = MakeLeftovers(Work, original, {});
    const std::vector<float> values = {0.5f, -0.25f, 1.5f, 0.0f};
    {
        const uint32_t bytes = uint32_t(values.size() * 4);
        const TWaveHeader header = MakeWorkHeader(1, 8000, bytes, TSampleFormat::Float32);
        std::ofstream out(left.Current, std::ios::binary);
        out.write(reinterpret_cast<const char*>(&header), sizeof header);
        out.write(reinterpret_cast<const char*>(values.data()), bytes);
    }
    std::ofstream(left.Journal) << "{\"original\": \"" << original << "\", \"current\": \""
                                << left.Current << "\", \"modified\": true, \"precision\": "
                                << "\"24-bit\", \"files\": [\"" << left.Current << "\"]}";
    Window.Answers = {QMessageBox::Yes};
    MakeForm();
    WaitIdle();
    ASSERT_TRUE(Form->Document()->Ready.load());
    EXPECT_EQ(Form->Document()->Format.load(), TSampleFormat::Float32);
    Form->Actions().Save->trigger();
    WaitIdle();
    std::ifstream in(original, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_EQ(bytes.size(), 44u + 12u);
    EXPECT_EQ(bytes[34], 24);
    // 1.5 is beyond full scale: limited, and the user told.
    const std::vector<int32_t> expected = {0x400000, -0x200000, 0x7FFFFF, 0};
    for (size_t i = 0; i < expected.size(); ++i) {
        const auto* p = reinterpret_cast<const uint8_t*>(bytes.data()) + 44 + 3 * i;
        EXPECT_EQ(int32_t(uint32_t(p[0]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 24) >> 8,
                  expected[i]);
    }
    ASSERT_EQ(Boxes.Messages().size(), 1u);
    EXPECT_EQ(Boxes.Messages()[0].Text, "1 sample was beyond full scale and was clipped.");
}

TEST_F(DesktopTest, TheCloseQuestionAsksAboutRecoveredChanges) {
    MakeLeftovers(Work, Source("song.wav", Ramp(300)), Ramp(900));
    Window.Answers = {QMessageBox::Yes, QMessageBox::Cancel};
    MakeForm();
    WaitIdle();
    EXPECT_FALSE(Form->close());
    ASSERT_EQ(Window.Questions.size(), 2u);
    EXPECT_EQ(Window.Questions[1], QStringLiteral("Would you like to save changes?"));
}

TEST_F(DesktopTest, DiscardDeletesTheLeftoversAndLaterKeepsThem) {
    const std::string original = Source("song.wav", Ramp(300));
    TLeftoverFiles left = MakeLeftovers(Work, original, Ramp(900));
    Window.Answers = {QMessageBox::Cancel};
    MakeForm();
    Form.reset();
    for (const std::string& kept : {left.Journal, left.Current, left.Undo})
        EXPECT_TRUE(Exists(kept)) << "asked again at the next start: " << kept;

    Window.Answers = {QMessageBox::Discard};
    MakeForm();
    EXPECT_EQ(Window.Questions.size(), 2u);
    EXPECT_FALSE(Form->Document()->Ready.load());
    for (const std::string& gone : {left.Journal, left.Lock, left.Current, left.Undo})
        EXPECT_FALSE(Exists(gone)) << gone;
    EXPECT_TRUE(Exists(original));
}

TEST_F(DesktopTest, NothingUnsavedIsCleanedUpWithoutAQuestion) {
    const TLeftoverFiles left =
        MakeLeftovers(Work, Source("song.wav", Ramp(300)), Ramp(900), false);
    MakeForm();
    EXPECT_TRUE(Window.Questions.empty());
    for (const std::string& gone : {left.Journal, left.Current, left.Undo})
        EXPECT_FALSE(Exists(gone)) << gone;
}

TEST_F(DesktopTest, ARunningOrvellasFilesAreNeverTouched) {
    const TLeftoverFiles left = MakeLeftovers(Work, Source("song.wav", Ramp(300)), Ramp(900));
    // Its lock is held, as a live run holds it.
    const int lock = ::open(left.Lock.c_str(), O_RDWR);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX | LOCK_NB), 0);
    MakeForm();
    Form.reset();
    ::close(lock);
    EXPECT_TRUE(Window.Questions.empty());
    for (const std::string& kept : {left.Journal, left.Lock, left.Current, left.Undo})
        EXPECT_TRUE(Exists(kept)) << kept;
}

TEST_F(DesktopTest, AForeignJournalDeletesNothingButWorkFilesBesideIt) {
    const std::string precious = Sources.File("precious.wav");
    WriteWav(precious, Ramp(10));
    TLeftoverFiles left = MakeLeftovers(Work, Source("song.wav", Ramp(300)), Ramp(900), false);
    std::ofstream(left.Journal) << "{\"original\": \"x.wav\", \"current\": \"" << precious
                                << "\", \"modified\": true, \"files\": [\"" << precious << "\"]}";
    MakeForm();
    EXPECT_TRUE(Window.Questions.empty()) << "a work file elsewhere is nothing to recover";
    EXPECT_TRUE(Exists(precious));
    EXPECT_FALSE(Exists(left.Journal));
}

TEST_F(DesktopTest, TheJournalFollowsEveryFinishedChangeAndGoesWithTheWindow) {
    MakeForm({Q(Source("doc.wav", Ramp(4000)))});
    WaitIdle();
    std::string journal;
    for (const std::string& f : Work.Files())
        if (f.find(".journal") != f.npos) journal = Work.File(f);
    ASSERT_FALSE(journal.empty());
    const auto read = [&] {
        std::ifstream in(journal);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    };
    EXPECT_NE(read().find("\"modified\": false"), std::string::npos) << read();
    Form->View()->SetSelection(100, 200, true);
    Form->Actions().Delete->trigger();
    WaitIdle();
    const std::string after = read();
    EXPECT_NE(after.find("\"modified\": true"), std::string::npos) << after;
    const auto files = Form->Document()->WorkFiles();
    ASSERT_EQ(files.size(), 2u) << "the state and its undo";
    EXPECT_NE(after.find("\"current\": \"" + files[0] + "\""), std::string::npos) << after;
    Form.reset();
    for (const std::string& f : Work.Files())
        ADD_FAILURE() << "left behind: " << f;
}

} // namespace
} // namespace orvella
