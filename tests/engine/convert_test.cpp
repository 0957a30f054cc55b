#include "engine/streampeakbuilder.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

using namespace orvella;
using namespace orvella::test;

namespace {

std::vector<int16_t> Sine(size_t frames, int channels, double hz, double rate, double amplitude) {
    std::vector<int16_t> v(frames * channels);
    for (size_t f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            v[f * channels + c] =
                int16_t(std::lround(amplitude * std::sin(2 * M_PI * hz * f / rate + c)));
    return v;
}

} // namespace

TEST(TStreamPeakBuilder, BlocksOfTheStreamWithoutAnEmptyTrailingBlock) {
    TStreamPeakBuilder filter(2);
    std::vector<int16_t> values(2 * 1024, 0);
    values[0] = 300;           // left, block 0
    values[2 * 700 + 1] = -7;  // right, block 1
    values[2 * 600 + 1] = 900; // right, block 1
    filter.Feed(values.data(), 2 * 1024 * 2);
    const TPeakIndexEntries index = filter.GetIndex();
    ASSERT_EQ(index.size(), 4u); // 1024 frames: two blocks, no third
    EXPECT_EQ(index[0].Max, 300);
    EXPECT_EQ(index[3].Max, 900);
    int16_t l, r, p;
    int db;
    filter.GetPeaks(l, r, p, db);
    EXPECT_EQ(l, 300);
    EXPECT_EQ(r, 900);
    EXPECT_EQ(p, 900);
    EXPECT_EQ(db, int(std::nearbyint(20 * std::log10(900 / 32768.0))));
}

TEST(TStreamPeakBuilder, EmptyStreamGivesOneZeroEntryPerChannel) {
    TStreamPeakBuilder filter(1);
    const TPeakIndexEntries index = filter.GetIndex();
    ASSERT_EQ(index.size(), 1u);
    EXPECT_EQ(index[0].Max, 0);
    EXPECT_EQ(index[0].Min, 0);
    int16_t l, r, p;
    int db;
    filter.GetPeaks(l, r, p, db);
    EXPECT_EQ(db, -90);
}

TEST_F(DocumentTest, ConvertStereoToMonoAtHalfTheRate) {
    Load(2, 44100, Sine(4096, 2, 1000, 44100, 12000));
    ASSERT_TRUE(Doc->Convert(22050, 1));
    RunToIdle();
    EXPECT_TRUE(Doc->Ready);
    EXPECT_EQ(Doc->SampleRate, 22050u);
    EXPECT_EQ(Doc->Channels, 1);
    EXPECT_EQ(Doc->Frames, 4096u * 22050 / 44100 + 2);
    EXPECT_EQ(UndoStack().Count(), 1u);
    EXPECT_TRUE(Doc->Modified);
    // The index built from the stream is the one a scan of the result gives.
    const auto fromStream = Doc->GetPeakIndex();
    const int16_t peak = Doc->Peak;
    Doc->BuildPeakIndex();
    EXPECT_EQ(fromStream->size(), Doc->GetPeakIndex()->size());
    for (size_t i = 0; i < fromStream->size(); ++i) {
        EXPECT_EQ((*fromStream)[i].Max, (*Doc->GetPeakIndex())[i].Max) << i;
        EXPECT_EQ((*fromStream)[i].Min, (*Doc->GetPeakIndex())[i].Min) << i;
    }
    EXPECT_EQ(peak, Doc->Peak);
    Doc->Undo();
    RunToIdle();
    EXPECT_EQ(Doc->SampleRate, 44100u);
    EXPECT_EQ(Doc->Frames, 4096u);
}

TEST_F(DocumentTest, ConvertOfAnEmptyDocumentEndsWithTheLibrarysTwoFrames) {
    ASSERT_TRUE(Doc->New("", 44100, 2, 16));
    ASSERT_TRUE(Doc->Convert(22050, 1));
    RunToIdle();
    EXPECT_EQ(Doc->Frames, 2u);
    EXPECT_EQ(Values(), std::vector<int16_t>(2, 0));
    ASSERT_EQ(Doc->GetPeakIndex()->size(), 1u);
    EXPECT_EQ(Doc->PeakDb, -90);
}

TEST_F(DocumentTest, ConvertAtTheSameFormatStillMakesAHistoryEntry) {
    const auto values = Sine(3000, 1, 440, 22050, 9000);
    Load(1, 22050, values);
    const std::string before = WorkFile();
    ASSERT_TRUE(Doc->Convert(22050, 1));
    RunToIdle();
    EXPECT_NE(WorkFile(), before);
    EXPECT_EQ(Values(), values);
    EXPECT_EQ(UndoStack().Count(), 1u);
}

TEST_F(DocumentTest, ConvertOfAnUnsupportedRatePairChangesNothing) {
    Load(1, 37800, Sine(2000, 1, 440, 37800, 9000));
    const std::string before = WorkFile();
    const auto files = Temp.Files();
    ASSERT_TRUE(Doc->Convert(22050, 1));
    RunToIdle();
    ASSERT_EQ(Dialogs.Errors().size(), 1u);
    EXPECT_EQ(Dialogs.Errors()[0], "Cannot convert from 37800 Hz to 22050 Hz.");
    EXPECT_TRUE(Doc->Ready);
    EXPECT_EQ(WorkFile(), before);
    EXPECT_EQ(Doc->SampleRate, 37800u);
    EXPECT_TRUE(UndoStack().IsEmpty());
    EXPECT_FALSE(Doc->Modified);
    EXPECT_EQ(Temp.Files(), files);
}
