// The view's picture, pixel by pixel, at device pixel ratio 1.
#include "engine/samplestore.h"
#include "view/waverenderer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace orvella::view {
namespace {

constexpr int W = 1030, H = 250; // a wave area of 1000 columns
constexpr uint32_t Back = 0x202020;

// A document of given values in a private folder, with an index of the caller's choosing.
class RenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        Folder =
            std::filesystem::temp_directory_path() / ("orvella-render-" + std::to_string(getpid()));
        std::filesystem::create_directories(Folder);
        Colors.Back = Back;
    }
    void TearDown() override {
        Doc.Store.reset();
        std::filesystem::remove_all(Folder);
    }
    void Make(int channels, const std::vector<int16_t>& values, uint32_t rate = 44100) {
        const std::string path = (Folder / "work.wav").string();
        Doc.Store.reset();
        TWorkFileWriter file(path, channels, rate);
        file.Write(values.data(), uint32_t(values.size() * 2));
        file.Close();
        Doc.Store = std::make_shared<TSampleStore>(path, 0, false, Folder.string());
        Doc.Ready = true;
        Doc.Channels = channels;
        Doc.SampleRate = rate;
        Doc.Frames = uint32_t(values.size() / channels);
        Doc.PeakIndex = std::make_shared<TPeakIndexEntries>();
        State.ViewStart = 0;
        State.ViewEnd = Doc.Frames;
    }
    void Render() { CursorX = Renderer.Repaint(Picture, Clean, W, H, 1.0, Doc, State, Colors); }
    uint32_t At(int x, int y) const { return Picture.pixel(x, y); }
    uint32_t CleanAt(int x, int y) const { return Clean.pixel(x, y); }

    std::filesystem::path Folder;
    TViewDocument Doc;
    TViewState State;
    TWaveColors Colors;
    TWaveRenderer Renderer;
    QImage Picture, Clean;
    int CursorX = -1;
};

TEST_F(RenderTest, StereoLanesBordersAndSilence) {
    Make(2, std::vector<int16_t>(2 * 4000, 0));
    Render();
    struct Row {
        int Y;
        uint32_t Colour;
    };
    // Column 500 away from the ruler's grid lines: silence is drawn on each centre line.
    const Row rows[] = {
        {20, colors::Border},     {36, colors::FullScale},  {78, Colors.Wave},
        {120, colors::FullScale}, {135, colors::Separator}, {150, colors::FullScale},
        {192, Colors.Wave},       {234, colors::FullScale}, {100, Back}};
    for (const Row& r : rows)
        EXPECT_EQ(At(501, r.Y), PixelOf(r.Colour)) << r.Y;
    EXPECT_EQ(At(1000, 100), PixelOf(colors::Border)); // left edge of the scale strip
    EXPECT_EQ(At(1010, 100), PixelOf(Colors.Scale));
    EXPECT_EQ(CursorX, -1); // the cursor at ViewStart is not drawn
}

TEST_F(RenderTest, EmptyViewHasTwoLanesAndElevenGridLinesAndNoRuler) {
    Render(); // no document
    for (int i = 0; i <= 10; ++i) {
        EXPECT_EQ(At(i * 100, 24), PixelOf(colors::Grid)) << i;
        if (i < 10) {
            EXPECT_EQ(At(i * 100, 25), PixelOf(Back)) << i;
        }
    }
    EXPECT_EQ(At(150, 24), PixelOf(Back));
    EXPECT_EQ(At(501, 78), PixelOf(colors::CentreLine));
    EXPECT_EQ(At(501, 135), PixelOf(colors::Separator));
    for (int x = 0; x < 1000; ++x)
        for (int y = 0; y < 6; ++y)
            ASSERT_EQ(At(x, y), PixelOf(Colors.Scale)) << x << "," << y;
}

TEST_F(RenderTest, RulerTicksOfTwoSeconds) {
    Make(1, std::vector<int16_t>(88200, 0));
    Render();
    EXPECT_EQ(At(150, 0), PixelOf(colors::Text)); // major tick at 300 ms
    EXPECT_EQ(At(150, 5), PixelOf(colors::Text));
    EXPECT_EQ(At(165, 0), PixelOf(colors::Text));  // first minor tick
    EXPECT_EQ(At(165, 2), PixelOf(Colors.Scale));  // two pixels high
    EXPECT_EQ(At(150, 22), PixelOf(colors::Grid)); // dotted grid line
}

TEST_F(RenderTest, ExactlyFiveHundredTwelveFramesAColumnReadsTheIndex) {
    // The samples are silent, the index claims half scale: which one is drawn shows the mode.
    Make(1, std::vector<int16_t>(512000, 0));
    auto index = std::make_shared<TPeakIndexEntries>(1001, TIndexEntry{16384, -16384});
    Doc.PeakIndex = index;
    const int above = 135 - 30; // inside the half-scale stroke, outside silence
    State.ViewEnd = 512000;
    Render();
    EXPECT_EQ(At(501, above), PixelOf(Colors.Wave));
    State.ViewEnd = 511900;
    Render();
    EXPECT_EQ(At(501, above), PixelOf(Back));
}

TEST_F(RenderTest, SelectionInvertsItsBandBelowTheRuler) {
    Make(1, std::vector<int16_t>(10000, 0));
    struct Case {
        uint32_t Start, Stop;
        bool Left, Middle, Right;
    };
    // View 2000..6000 on 1000 columns: 4 frames a column.
    const Case cases[] = {{0, 1500, false, false, false},
                          {7000, 9000, false, false, false},
                          {0, 9999, true, true, true},
                          {3000, 4000, false, true, false}};
    State.ViewStart = 2000;
    State.ViewEnd = 6000;
    State.Selected = true;
    for (const Case& c : cases) {
        State.SelStart = c.Start;
        State.SelStop = c.Stop;
        Render();
        const auto inverted = [&](int x) { return At(x, 100) == PixelOf(Back ^ 0xFFFFFF); };
        EXPECT_EQ(inverted(2), c.Left) << c.Start;
        EXPECT_EQ(inverted(375), c.Middle) << c.Start;
        EXPECT_EQ(inverted(997), c.Right) << c.Start;
        EXPECT_EQ(At(375, 10), PixelOf(Colors.Scale)); // the ruler is never inverted
    }
}

TEST_F(RenderTest, CursorIsDrawnOverTheCleanCopy) {
    Make(1, std::vector<int16_t>(10000, 0));
    State.CursorPos = 5000;
    Render();
    ASSERT_EQ(CursorX, 500);
    EXPECT_EQ(At(500, 24), PixelOf(colors::Cursor));
    EXPECT_EQ(At(500, 25), PixelOf(Back));
    EXPECT_EQ(At(498, 20), PixelOf(colors::Cursor)); // the top triangle
    EXPECT_EQ(At(500, 22), PixelOf(colors::Cursor));
    EXPECT_EQ(At(500, H - 3), PixelOf(colors::Cursor)); // the bottom one
    EXPECT_EQ(CleanAt(500, 24), PixelOf(Back));
}

TEST_F(RenderTest, FullScaleReachesTheFullScaleLines) {
    std::vector<int16_t> values(2000);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = i % 2 ? 32767 : -32768;
    Make(1, values);
    Render();
    // Mono at 250: centre 135, full scale 83 pixels either side, every column spans it.
    EXPECT_EQ(At(500, 135 - 83), PixelOf(Colors.Wave));
    EXPECT_EQ(At(500, 135 + 82), PixelOf(Colors.Wave)); // the stroke ends before its last row
    EXPECT_EQ(At(500, 135 - 84), PixelOf(Back));
}

TEST_F(RenderTest, AtDevicePixelRatioTwoThePictureIsDrawnAtDeviceResolution) {
    Make(2, std::vector<int16_t>(2 * 4000, 0));
    Renderer.Repaint(Picture, Clean, W, H, 2.0, Doc, State, Colors);
    ASSERT_EQ(Picture.size(), QSize(2 * W, 2 * H));
    // Logical rows stay where they were, each two device rows high.
    for (const int y : {2 * 36, 2 * 36 + 1})
        EXPECT_EQ(At(1002, y), PixelOf(colors::FullScale)) << y;
    EXPECT_EQ(At(1002, 2 * 135), PixelOf(colors::Separator));
    EXPECT_EQ(At(2 * 1000, 200), PixelOf(colors::Border));
    EXPECT_EQ(At(2 * 1000 + 2, 200), PixelOf(Colors.Scale));
    // The silent wave is a line one device pixel high on the lane's centre, not a doubled one.
    EXPECT_EQ(At(1002, 2 * 78), PixelOf(Colors.Wave));
    EXPECT_EQ(At(1002, 2 * 78 + 1), PixelOf(colors::CentreLine));
}

} // namespace
} // namespace orvella::view
