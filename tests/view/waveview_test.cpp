// The waveform view as a user drives it: a real document, mouse and keys through QTest, the
// scroll bar, and playback through the driven sound device.
#include "engine/document.h"
#include "engine/samplestore.h"
#include "support/fixtures.h"
#include "support/recordingdialogs.h"
#include "view/qtmainthread.h"
#include "view/waveview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace orvella {
namespace {

struct SelectEvent {
    uint32_t Start, Stop, StartMs, StopMs;
    bool Selected;
    bool operator==(const SelectEvent&) const = default;
};

class WaveViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        Folder = std::filesystem::temp_directory_path() /
                 ("orvella-waveview-" + std::to_string(getpid()));
        std::filesystem::create_directories(Folder);
        TEngineSettings settings;
        settings.TempFolder = Folder.string() + "/";
        TCodecServices codecs;
        codecs.Decoders.push_back(test::CopyingWavDecoder());
        Doc = std::make_unique<TDocument>(Main, Dialogs, settings, codecs);
        View = std::make_unique<TWaveView>();
        View->resize(1030, 250); // a wave area of 1000 columns
        View->SetDocument(Doc.get());
        View->SetScrollBar(&Bar);
        QObject::connect(&Bar, &TFrameScrollBar::PositionChanged,
                         [this] { View->ScrollChanged(); });
        View->OnSelect = [this](TWaveView*, uint32_t a, uint32_t b, uint32_t am, uint32_t bm,
                                bool s) {
            Selects.push_back({a, b, am, bm, s});
        };
        View->OnCursor = [this](TWaveView*, uint32_t position, uint32_t) {
            Cursors.push_back(position);
        };
        Doc->OnLoaded = [this](TDocument*) { View->AttachWave(*Doc); };
        View->show();
    }
    void TearDown() override {
        View.reset();
        Doc.reset();
        std::filesystem::remove_all(Folder);
    }
    // Pumps Qt's loop until no body runs.
    void WaitIdle() {
        QElapsedTimer clock;
        clock.start();
        while ((Doc->IsBusy() || !Doc->Ready) && clock.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        ASSERT_FALSE(Doc->IsBusy());
    }
    void Load(int channels, uint32_t rate, const std::vector<int16_t>& values) {
        const std::string path = (Folder / "source.wav").string();
        TWorkFileWriter file(path, channels, rate);
        file.Write(values.data(), uint32_t(values.size() * 2));
        file.Close();
        ASSERT_TRUE(Doc->Open(path));
        WaitIdle();
        Selects.clear();
        Cursors.clear();
    }
    void LoadFrames(uint32_t frames, int channels = 1) {
        std::vector<int16_t> values(size_t(frames) * channels);
        for (size_t i = 0; i < values.size(); ++i)
            values[i] = int16_t(i * 37 % 20000 - 10000);
        Load(channels, 8000, values);
    }
    void Key(Qt::Key key) { QTest::keyClick(View.get(), key); }
    void Press(int x) { QTest::mousePress(View.get(), Qt::LeftButton, {}, QPoint(x, 100)); }
    void Move(int x) { QTest::mouseMove(View.get(), QPoint(x, 100)); }
    void Release(int x) { QTest::mouseRelease(View.get(), Qt::LeftButton, {}, QPoint(x, 100)); }
    uint32_t ScreenAt(int x, int y) const { return View->ScreenPicture().pixel(x, y); }

    std::filesystem::path Folder;
    TQtMainThread Main;
    test::RecordingDialogs Dialogs;
    std::unique_ptr<TDocument> Doc;
    TFrameScrollBar Bar;
    std::unique_ptr<TWaveView> View;
    std::vector<SelectEvent> Selects;
    std::vector<uint32_t> Cursors;
};

TEST_F(WaveViewTest, AttachShowsTheWholeDocument) {
    LoadFrames(8000);
    EXPECT_EQ(View->ViewStart, 0u);
    EXPECT_EQ(View->ViewEnd, 8000u);
    EXPECT_EQ(View->ViewSpan, 8000u);
    EXPECT_EQ(Bar.Maximum(), 8000u);
    EXPECT_EQ(Bar.PageSize(), 8000u);
    EXPECT_EQ(View->accessibleName(), "Waveform");
}

TEST_F(WaveViewTest, AClickRaisesAnEmptySelectionTwiceAndMovesTheCursor) {
    LoadFrames(8000); // 8 frames a column
    Press(250);
    Release(250);
    const SelectEvent none{0, 0, 0, 0, false};
    EXPECT_EQ(Selects, (std::vector<SelectEvent>{none, none}));
    EXPECT_EQ(View->CursorPos, 2000u);
    EXPECT_EQ(View->CursorMs, 250u);
    EXPECT_FALSE(View->Selection().Selected());
}

TEST_F(WaveViewTest, LeftwardDragSelectsBackFromTheAnchorAndInvertsTheBand) {
    LoadFrames(8000);
    Press(600);
    const uint32_t before = ScreenAt(400, 100);
    Move(450);
    Move(300);
    Release(300);
    EXPECT_EQ(View->Selection().Start(), 2400u);
    EXPECT_EQ(View->Selection().Stop(), 4800u);
    EXPECT_EQ(View->Anchor, 4800u);
    EXPECT_EQ(View->CursorPos, 4800u); // stays at the press
    EXPECT_TRUE(View->Selection().Selected());
    ASSERT_EQ(Selects.size(), 2u);
    EXPECT_EQ(Selects.back(), (SelectEvent{2400, 4800, 300, 600, true}));
    EXPECT_EQ(ScreenAt(400, 100), before ^ 0xFFFFFFu);
    EXPECT_EQ(ScreenAt(700, 100), View->ScreenPicture().pixel(700, 100));
}

TEST_F(WaveViewTest, AMouseSelectionLandsInTheSharedSelection) {
    TSelectionModel shared;
    View->SetSelectionModel(&shared);
    LoadFrames(8000);
    QSignalSpy changed(&shared, &TSelectionModel::Changed);
    Press(300);
    Move(600);
    Release(600);
    EXPECT_EQ(shared.Start(), 2400u);
    EXPECT_EQ(shared.Stop(), 4800u);
    EXPECT_TRUE(shared.Selected());
    EXPECT_GE(changed.count(), 1);
    EXPECT_EQ(&View->Selection(), &shared);
    View->SetSelectionModel(nullptr);
}

TEST_F(WaveViewTest, ADragBackToItsColumnClearsTheSelectionAndTheBand) {
    LoadFrames(8000);
    Press(500);
    const uint32_t before = ScreenAt(600, 100);
    Move(700);
    Move(100);
    Move(500);
    Release(500);
    EXPECT_FALSE(View->Selection().Selected());
    EXPECT_EQ(Selects.back(), (SelectEvent{0, 0, 0, 0, false}));
    EXPECT_EQ(ScreenAt(600, 100), before);
}

TEST_F(WaveViewTest, KeysMoveTheCursorAndStopAtTheEnds) {
    LoadFrames(8000); // a step of 8 frames
    Key(Qt::Key_End);
    EXPECT_EQ(View->CursorPos, 8000u);
    Key(Qt::Key_Right);
    EXPECT_EQ(View->CursorPos, 8000u);
    Key(Qt::Key_Left);
    EXPECT_EQ(View->CursorPos, 7992u);
    Key(Qt::Key_Home);
    EXPECT_EQ(View->CursorPos, 0u);
    Key(Qt::Key_Left);
    EXPECT_EQ(View->CursorPos, 0u);
    Key(Qt::Key_A); // other keys leave the cursor but still report it
    EXPECT_EQ(Cursors, (std::vector<uint32_t>{8000, 8000, 7992, 0, 0, 0}));
}

TEST_F(WaveViewTest, WithMorePixelsThanFramesTheArrowStepIsOneFrame) {
    LoadFrames(300);
    Key(Qt::Key_Right);
    Key(Qt::Key_Right);
    EXPECT_EQ(View->CursorPos, 2u);
}

TEST_F(WaveViewTest, ZoomKeepsTheCentreGrowsRightAtTheStartAndScrollPinsToTheEnd) {
    LoadFrames(64000);
    View->ZoomIn();
    EXPECT_EQ(View->ViewStart, 16000u);
    EXPECT_EQ(View->ViewSpan, 32000u);
    View->ZoomIn();
    EXPECT_EQ(View->ViewStart + View->ViewSpan / 2, 32000u);
    EXPECT_EQ(Bar.PageSize(), 16000u);
    EXPECT_EQ(Bar.Position(), 24000u);
    EXPECT_EQ(Bar.SmallChange(), 32u);

    View->ZoomFull();
    View->ZoomIn();
    View->ZoomIn();
    Bar.setValue(0); // the user drags to the start
    EXPECT_EQ(View->ViewStart, 0u);
    View->ZoomOut(); // at 0 only the right end moves
    EXPECT_EQ(View->ViewStart, 0u);
    EXPECT_EQ(View->ViewEnd, 32000u);

    Bar.setValue(Bar.maximum()); // scrolled to the end: the last ViewSpan frames
    EXPECT_EQ(View->ViewEnd, 64000u);
    EXPECT_EQ(View->ViewStart, 32000u);
}

TEST_F(WaveViewTest, ThePlayCursorRedrawsOnlyWhenItsColumnChanges) {
    LoadFrames(8000); // 8 frames a column
    View->SetCursor(4000);
    ASSERT_EQ(View->DrawnCursorX, 500);
    const qint64 shown = View->ScreenPicture().cacheKey();
    EXPECT_EQ(ScreenAt(500, 24), view::PixelOf(view::colors::Cursor));
    View->SetCursor(4002); // the same column: nothing is drawn
    EXPECT_EQ(View->ScreenPicture().cacheKey(), shown);
    View->SetCursor(4400);
    EXPECT_EQ(View->DrawnCursorX, 550);
    EXPECT_EQ(ScreenAt(550, 24), view::PixelOf(view::colors::Cursor));
    EXPECT_NE(ScreenAt(500, 24), view::PixelOf(view::colors::Cursor)); // the old one is gone
}

TEST(FrameScrollBarTest, DocumentsBeyondTheRangeOfIntScrollInUnits) {
    TFrameScrollBar bar;
    bar.SetMaximum(4000000000u);
    bar.SetPageSize(1000000u);
    bar.SetPosition(3000000000u);
    EXPECT_EQ(bar.FramesPerUnit(), 4u);
    EXPECT_EQ(bar.Position(), 3000000000u);
    EXPECT_EQ(bar.value(), 750000000);
    EXPECT_EQ(bar.maximum(), 999750000);
    uint32_t moved = 0;
    QObject::connect(&bar, &TFrameScrollBar::PositionChanged, [&](uint32_t f) { moved = f; });
    bar.setValue(bar.maximum()); // the user drags to the end
    EXPECT_EQ(moved, 3999000000u);
    bar.SetPosition(4000000000u); // a position past the last page is held to it
    EXPECT_EQ(bar.Position(), 3999000000u);
}

TEST_F(WaveViewTest, ZoomInStopsBelowTwoFramesAPixel) {
    LoadFrames(1999);
    View->ZoomIn();
    EXPECT_EQ(View->ViewSpan, 1999u); // 1999 div 1000 = 1
}

TEST_F(WaveViewTest, SetSelectionRaisesNoEventAndAShorterDocumentFallsBackToTheWhole) {
    LoadFrames(64000);
    View->SetSelection(100, 200, true);
    EXPECT_TRUE(Selects.empty());
    EXPECT_NE(View->accessibleDescription().indexOf("selection"), -1);
    View->ZoomIn();
    View->ZoomIn();
    Bar.setValue(Bar.maximum());
    ASSERT_TRUE(Doc->DeleteRange(0, 60000));
    WaitIdle();
    View->Repaint();
    EXPECT_EQ(View->ViewStart, 0u);
    EXPECT_EQ(View->ViewEnd, 4000u);
}

TEST_F(WaveViewTest, NothingHappensWithoutADocument) {
    Press(300);
    Release(600);
    Key(Qt::Key_End);
    View->ZoomIn();
    EXPECT_TRUE(Selects.empty());
    EXPECT_TRUE(Cursors.empty());
    EXPECT_EQ(View->CursorPos, 0u);
}

} // namespace
} // namespace orvella
