// The view's drawing arithmetic, without a display.
#include "engine/samplestore.h"
#include "view/columnpeaks.h"
#include "view/viewgeometry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <unistd.h>

namespace orvella::view {
namespace {

TEST(ViewGeometryTest, StereoLanesOfAQuarterThousandPixels) {
    const TLaneGeometry g = LaneGeometryOf(250, 2);
    EXPECT_EQ(g.Centre[0], 78);
    EXPECT_EQ(g.Centre[1], 192);
    EXPECT_EQ(g.Separator[0], 135);
    EXPECT_EQ(g.FullScale, 42);
    EXPECT_EQ(ValueOffset(32767, g.Scale), 42);
    EXPECT_EQ(ValueOffset(-32768, g.Scale), -42);
    const TLaneGeometry mono = LaneGeometryOf(250, 1);
    EXPECT_EQ(mono.Centre[0], 135);
    EXPECT_EQ(mono.FullScale, 83);
}

TEST(ViewGeometryTest, MillisecondsAndFramesRoundTiesToEven) {
    EXPECT_EQ(SamplesToMs(44100, 44100), 1000u);
    EXPECT_EQ(SamplesToMs(1, 2000), 0u); // 0.5 ms -> 0
    EXPECT_EQ(SamplesToMs(3, 2000), 2u); // 1.5 ms -> 2
    EXPECT_EQ(MsToSamples(1500, 22050), 33075u);
    EXPECT_EQ(MsToSamples(1, 500), 0u); // 0.5 frame -> 0
    EXPECT_EQ(SamplesToMs(100, 0), 0u);
    EXPECT_EQ(ColumnFrame(3, 2.5, 10), 18u); // 7.5 -> 8
    EXPECT_EQ(ColumnFrame(1, 2.5, 10), 12u); // 2.5 -> 2
}

TEST(ViewGeometryTest, SelectionBandLeftRightAcrossAndInside) {
    struct Case {
        uint32_t SelStart, SelStop;
        int X1, X2;
    };
    // View of frames 1000..2000 on 500 columns: 2 frames a column.
    const Case cases[] = {
        {0, 999, 0, 0},                              // left of the view
        {2001, 3000, 0, 0},                          // right of it
        {0, 5000, 0, 500},                           // covers it
        {1100, 1300, 50, 150},  {500, 1200, 0, 100}, // starts left
        {1900, 2500, 450, 500}, {1000, 1000, 0, 0},  // empty at the start
    };
    for (const Case& c : cases) {
        const TBand band = SelectionBand(c.SelStart, c.SelStop, 1000, 2000, 500);
        EXPECT_EQ(band.Empty() ? 0 : band.X1, c.X1) << c.SelStart;
        EXPECT_EQ(band.Empty() ? 0 : band.X2, c.X2) << c.SelStart;
    }
}

TEST(ViewGeometryTest, CursorOnlyStrictlyInsideTheView) {
    EXPECT_EQ(CursorColumn(1000, 1000, 2000, 500), -1);
    EXPECT_EQ(CursorColumn(2000, 1000, 2000, 500), -1);
    EXPECT_EQ(CursorColumn(1001, 1000, 2000, 500), 0); // 0.5 -> 0
    EXPECT_EQ(CursorColumn(1500, 1000, 2000, 500), 250);
    EXPECT_EQ(PlayCursorColumn(1500, 1000, 0, 500), -1);
    EXPECT_EQ(PlayCursorColumn(1500, 1000, 1000, 500), 250);
}

std::vector<std::string> Texts(const std::vector<TRulerLabel>& labels) {
    std::vector<std::string> t;
    for (const auto& l : labels)
        t.push_back(l.Text);
    return t;
}

TEST(ViewGeometryTest, MillisecondRulerSteps) {
    // 2 s on 1000 columns: labels every 300 ms, 150 pixels apart.
    auto labels = MsRuler(0, 88200, 44100, 1000);
    ASSERT_GE(labels.size(), 7u);
    EXPECT_EQ(labels[0].X, 0);
    EXPECT_EQ(labels[1].X, 150);
    EXPECT_EQ(Texts(labels)[0], "0:00.00");
    EXPECT_EQ(Texts(labels)[1], "0:00.30");
    EXPECT_EQ(Texts(labels)[2], "0:00.60");
    EXPECT_EQ(labels[0].Minor[0], 15);
    EXPECT_EQ(labels.back().X, 900); // 7 labels: the last is left of the scale strip
    EXPECT_EQ(labels.size(), 7u);
    // 300 ms: steps of 50 ms.
    labels = MsRuler(0, 13230, 44100, 1000);
    ASSERT_GE(labels.size(), 3u);
    EXPECT_EQ(Texts(labels)[1], "0:00.05");
    EXPECT_EQ(Texts(labels)[2], "0:00.10");
    // A view starting between labels begins with one left of the area.
    labels = MsRuler(22050, 110250, 44100, 1000);
    EXPECT_LE(labels[0].X, 0);
    EXPECT_EQ(Texts(labels)[0], "0:00.30");
    EXPECT_EQ(RulerTimeText(720000), "12:00.00");
    EXPECT_EQ(RulerTimeText(5500), "0:05.50");
}

TEST(ViewGeometryTest, FrameRulerSteps) {
    const auto labels = FrameRuler(0, 8000, 1000);
    ASSERT_EQ(labels.size(), 6u); // count 5, plus one
    EXPECT_EQ(Texts(labels)[1], "1500");
    EXPECT_EQ(Texts(labels)[2], "3000");
    EXPECT_EQ(labels[1].X, 187);
}

TEST(ViewGeometryTest, RulerEndsWhenTheTickIsNoPixelWide) {
    // One column for a whole minute: the tick truncates to 0 pixels.
    EXPECT_EQ(MsRuler(0, 44100 * 60, 44100, 1).size(), 1u);
    EXPECT_LE(FrameRuler(0, 100000, 1).size(), 6u);
}

// A work file with random values in a private folder.
class StoreFixture : public ::testing::Test {
protected:
    void Make(int channels, uint32_t frames, unsigned seed) {
        Folder =
            std::filesystem::temp_directory_path() / ("orvella-view-" + std::to_string(getpid()));
        std::filesystem::create_directories(Folder);
        Path = (Folder / "work.wav").string();
        std::mt19937 random(seed);
        std::uniform_int_distribution<int> value(-32768, 32767);
        Values.resize(size_t(frames) * channels);
        for (auto& v : Values)
            v = int16_t(value(random));
        TWorkFileWriter file(Path, channels, 8000);
        file.Write(Values.data(), uint32_t(Values.size() * 2));
        file.Close();
        Store = std::make_shared<TSampleStore>(Path, 0, false, Folder.string());
    }
    void TearDown() override {
        Store.reset();
        std::filesystem::remove_all(Folder);
    }
    std::filesystem::path Folder;
    std::string Path;
    std::vector<int16_t> Values;
    std::shared_ptr<TSampleStore> Store;
};

// Direct columns equal the value-by-value loop, cut at the last frame.
TEST_F(StoreFixture, DirectColumnsMatchTheValueLoop) {
    for (const int channels : {1, 2, 3}) {
        const uint32_t frames = 20000;
        Make(channels, frames, 7 + channels);
        for (const double spp : {0.4, 1.0, 3.7, 200.0, 511.9}) {
            const int columns = 97;
            const uint32_t viewStart = uint32_t(frames - spp * columns) - 1;
            TColumnExtremes out;
            DirectColumns(*Store, frames, channels, viewStart, spp, columns, out);
            for (int x = 0; x < columns; ++x) {
                const int64_t first = int64_t(x * spp) + viewStart;
                const int64_t last = std::min<int64_t>(first + int64_t(spp), frames - 1);
                for (int c = 0; c < channels; ++c) {
                    int16_t mx = -32768, mn = 32767;
                    for (int64_t f = first; f <= last; ++f) {
                        mx = std::max(mx, Store->GetValue(uint32_t(f * channels + c)));
                        mn = std::min(mn, Store->GetValue(uint32_t(f * channels + c)));
                    }
                    ASSERT_EQ(out.Max[x * channels + c], mx) << channels << " " << spp << " " << x;
                    ASSERT_EQ(out.Min[x * channels + c], mn);
                }
            }
        }
    }
}

// The summary gives the plain block loop's columns, swap included, on random indexes with long
// runs of equal extremes (so first occurrences matter).
TEST(ColumnPeaksTest, SummaryMatchesThePlainLoop) {
    std::mt19937 random(42);
    for (int round = 0; round < 40; ++round) {
        const int channels = 1 + round % 3;
        const uint32_t frames = 512 * (1 + random() % 20000) + random() % 512;
        const uint32_t blocks = frames / 512 + 1;
        auto index = std::make_shared<TPeakIndexEntries>(size_t(blocks) * channels);
        std::uniform_int_distribution<int> coarse(-4, 4);
        for (auto& e : *index) {
            e.Max = int16_t(coarse(random) * 8000);
            e.Min = int16_t(coarse(random) * 8000);
        }
        const TPeakSummary summary(index, channels);
        const int columns = 1 + int(random() % 1200);
        const double spp =
            std::max(512.0, double(frames) / columns * (0.3 + (random() % 100) / 100.0));
        const uint32_t span = uint32_t(std::min<double>(spp * columns, frames));
        const uint32_t viewStart = uint32_t(random() % (frames - span + 1));
        TColumnExtremes fast, plain;
        OverviewColumns(summary, frames, viewStart, spp, columns, fast);
        OverviewColumnsPlain(*index, channels, frames, viewStart, spp, columns, plain);
        ASSERT_EQ(fast.Max, plain.Max) << round;
        ASSERT_EQ(fast.Min, plain.Min) << round;
        ASSERT_EQ(fast.Valid, plain.Valid) << round;
    }
}

TEST(ColumnPeaksTest, OverviewSwapsWhenTheMaximumComesLater) {
    // Block 0: min -100; block 1: max 100. The column starts with the minimum.
    auto index =
        std::make_shared<TPeakIndexEntries>(TPeakIndexEntries{{0, -100}, {100, 0}, {0, 0}});
    const TPeakSummary summary(index, 1);
    TColumnExtremes out;
    OverviewColumns(summary, 1500, 0, 1024, 1, out);
    EXPECT_EQ(out.Max[0], -100);
    EXPECT_EQ(out.Min[0], 100);
}

TEST(ColumnPeaksTest, AnIndexShorterThanTheDocumentIsNeverRead) {
    // An index of 2 blocks for a document of 10 blocks (a rescan still running).
    auto index = std::make_shared<TPeakIndexEntries>(TPeakIndexEntries{{5, -5}, {6, -6}});
    const TPeakSummary summary(index, 1);
    TColumnExtremes out;
    OverviewColumns(summary, 5120, 0, 1024, 5, out);
    for (int x = 0; x < 5; ++x)
        EXPECT_FALSE(out.Valid[x]) << x;
}

} // namespace
} // namespace orvella::view
