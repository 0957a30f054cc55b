// The transport without a window: the range a play covers, the positions it reports, the meter
// feed and the volume, over a real document and the driven sound device.
#include "editor/transportcontroller.h"
#include "engine/samplestore.h"
#include "playback/drivendevice.h"
#include "support/fixtures.h"
#include "support/recordingdialogs.h"
#include "support/tempdir.h"
#include "view/qtmainthread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace orvella::test {
namespace {

TEST(PlayRange, SelectionWithinTheDocumentElseCursorToTheEnd) {
    struct Case {
        bool Selected;
        uint32_t Start, Stop, Cursor, Length;
        TPlayRange Range;
    } cases[] = {
        {true, 100, 300, 50, 1000, {100, 200}},
        {true, 900, 1200, 0, 1000, {900, 100}}, // a typed selection past the end
        {true, 1100, 1200, 0, 1000, {1000, 0}}, // wholly past the end: nothing
        {true, 300, 100, 0, 1000, {100, 0}},    // backwards: from the stop, nothing
        {false, 100, 300, 250, 1000, {250, 750}},
        {false, 0, 0, 1500, 1000, {1000, 0}}, // a cursor past the end
    };
    for (const Case& c : cases)
        EXPECT_EQ(PlayRangeOf(c.Selected, c.Start, c.Stop, c.Cursor, c.Length), c.Range)
            << c.Selected << " " << c.Start << ".." << c.Stop << " cursor " << c.Cursor;
}

class TransportTest : public ::testing::Test {
protected:
    void SetUp() override {
        TEngineSettings settings;
        settings.TempFolder = Work.Path() + "/";
        TCodecServices codecs;
        codecs.Decoders.push_back(CopyingWavDecoder());
        Doc = std::make_unique<TDocument>(Main, Dialogs, settings, codecs);
        Transport = std::make_unique<TTransportController>(Main, [this] { return Device; });
        Transport->SetDocument(Doc.get());
    }
    void TearDown() override {
        Transport.reset();
        Doc.reset();
    }
    void Load(uint32_t frames) {
        const std::string path = Work.File("source.wav");
        std::vector<int16_t> values(frames);
        for (uint32_t i = 0; i < frames; ++i)
            values[i] = int16_t(i);
        TWorkFileWriter file(path, 1, 8000);
        file.Write(values.data(), uint32_t(values.size() * 2));
        file.Close();
        ASSERT_TRUE(Doc->Open(path));
        QElapsedTimer clock;
        clock.start();
        while ((Doc->IsBusy() || !Doc->Ready) && clock.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        ASSERT_TRUE(Doc->Ready.load());
    }
    // Lets the device play chunk after chunk until the sound ends.
    void PlayOut() {
        QElapsedTimer clock;
        clock.start();
        TPlayer& player = Transport->GetPlayer();
        while (player.Playing() && clock.elapsed() < 10000) {
            Device->Advance(250); // one chunk; every notification is handled before the next
            while (player.Buffer() && !player.Buffer()->NotificationsIdle() &&
                   clock.elapsed() < 10000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            QCoreApplication::processEvents();
        }
        ASSERT_FALSE(player.Playing());
    }

    TQtMainThread Main;
    RecordingDialogs Dialogs;
    TempDir Work;
    std::shared_ptr<TDrivenDevice> Device = std::make_shared<TDrivenDevice>();
    std::unique_ptr<TDocument> Doc;
    std::unique_ptr<TTransportController> Transport;
};

TEST_F(TransportTest, WithoutADocumentNothingPlays) {
    QSignalSpy statuses(Transport.get(), &TTransportController::PlayingChanged);
    Transport->Play({0, 100});
    EXPECT_FALSE(Transport->Active());
    EXPECT_FALSE(Transport->Stop()) << "no play was started";
    EXPECT_EQ(statuses.count(), 0);
}

TEST_F(TransportTest, PositionsRiseToTheRangesEndThenThePlayEnds) {
    Load(8000);
    std::vector<uint32_t> seen;
    std::vector<bool> statuses;
    QObject::connect(Transport.get(), &TTransportController::PositionChanged,
                     [&](uint32_t frame) { seen.push_back(frame); });
    QObject::connect(Transport.get(), &TTransportController::PlayingChanged,
                     [&](bool playing) { statuses.push_back(playing); });
    Transport->Play({1000, 2000});
    ASSERT_FALSE(statuses.empty());
    EXPECT_TRUE(statuses.back());
    EXPECT_TRUE(Transport->Active());
    PlayOut();
    ASSERT_FALSE(seen.empty());
    for (size_t i = 1; i < seen.size(); ++i)
        EXPECT_LE(seen[i - 1], seen[i]);
    EXPECT_GT(seen.front(), 1000u);
    EXPECT_EQ(seen.back(), 3000u);
    EXPECT_EQ(statuses.back(), false);
    // The meter feed lasts until Stop, which ends it once.
    EXPECT_TRUE(Transport->Active());
    EXPECT_TRUE(Transport->Stop());
    EXPECT_FALSE(Transport->Active());
    EXPECT_FALSE(Transport->Stop());
}

TEST_F(TransportTest, TheMeterIsFedWhileActiveAndTheVolumeReachesEveryPlay) {
    Load(8000);
    Transport->SetVolume(-242); // before any play: kept for the next
    QSignalSpy levels(Transport.get(), &TTransportController::LevelsChanged);
    Transport->Play({0, 8000});
    ASSERT_TRUE(Transport->Playing());
    ASSERT_NE(Transport->GetPlayer().Buffer(), nullptr);
    EXPECT_EQ(Transport->GetPlayer().Buffer()->GetVolume(), -242);
    Transport->SetVolume(0);
    EXPECT_EQ(Transport->GetPlayer().Buffer()->GetVolume(), 0);
    ASSERT_TRUE(levels.wait(1000));
    EXPECT_EQ(levels.last().at(2).value<uint8_t>(), 1) << "the document's channels";
    Transport->Pause();
    EXPECT_FALSE(Transport->Playing());
    EXPECT_TRUE(Transport->Active()) << "a pause keeps the meter fed";
    EXPECT_TRUE(Transport->Stop());
    levels.clear();
    EXPECT_FALSE(levels.wait(50)) << "no feed after Stop";
}

} // namespace
} // namespace orvella::test
