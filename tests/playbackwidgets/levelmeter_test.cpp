#include "playback/levelmeter.h"

#include <QImage>

#include <gtest/gtest.h>

#include <initializer_list>
#include <iterator>
#include <sstream>

namespace orvella {
namespace {

constexpr int Green = 5555555; // 0x54C563: red 0x63, green 0xC5, blue 0x54
const QRgb GreenPixel = qRgb(0x63, 0xC5, 0x54);
const QRgb BlackPixel = qRgb(0, 0, 0);

// Columns X1..X2-1, rows Y1..Y2-1.
struct TCells {
    int X1, Y1, X2, Y2;
};

QImage Picture(int width, int height, QRgb back, QRgb fore, std::initializer_list<TCells> cells) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(back);
    for (const TCells& c : cells)
        for (int y = c.Y1; y < c.Y2; ++y)
            for (int x = c.X1; x < c.X2; ++x)
                image.setPixel(x, y, fore);
    return image;
}

// Compares pixel for pixel and names the first difference and how many there are.
testing::AssertionResult SamePixels(const QImage& actual, const QImage& expected) {
    if (actual.size() != expected.size())
        return testing::AssertionFailure()
               << "size " << actual.width() << "x" << actual.height() << ", expected "
               << expected.width() << "x" << expected.height();
    int differences = 0;
    std::ostringstream first;
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x) {
            const QRgb a = actual.pixel(x, y), e = expected.pixel(x, y);
            if (a == e) continue;
            if (differences++ == 0)
                first << "(" << x << ", " << y << ") is " << QColor(a).name().toStdString()
                      << ", expected " << QColor(e).name().toStdString();
        }
    if (differences == 0) return testing::AssertionSuccess();
    return testing::AssertionFailure() << differences << " pixels differ, first " << first.str();
}

TEST(VUMeterDefaultsTest, CreatedAsDescribed) {
    TLevelMeter meter;
    EXPECT_EQ(meter.size(), QSize(127, 38));
    EXPECT_EQ(meter.backcolor(), 0);
    EXPECT_EQ(meter.forecolor(), 0);
    EXPECT_EQ(meter.Channels(), 1);
    EXPECT_EQ(meter.PeakHold(), 10);
    EXPECT_EQ(meter.PeakFall(), 1);
    EXPECT_EQ(meter.BarFall(), 3);
    EXPECT_TRUE(meter.ShowPeaks());
    EXPECT_EQ(meter.accessibleName(), "Level meter");
    for (int i = 0; i < TLevelMeter::MaxChannels; ++i) {
        EXPECT_EQ(meter.Bars()[i], 0);
        EXPECT_EQ(meter.Peaks()[i], 0);
        EXPECT_EQ(meter.PeakAge()[i], 0);
    }
    EXPECT_EQ(meter.Picture().format(), QImage::Format_RGB32);
    EXPECT_TRUE(SamePixels(meter.Picture(), Picture(127, 38, BlackPixel, BlackPixel, {})));
}

TEST(VUMeterDefaultsTest, ColoursHaveRedInTheLowByte) {
    const struct {
        int Value;
        QColor Colour;
    } cases[] = {{0, QColor(0, 0, 0)},
                 {Green, QColor(0x63, 0xC5, 0x54)},
                 {0x0000FF, QColor(0xFF, 0, 0)},
                 {0x00FF00, QColor(0, 0xFF, 0)},
                 {0xFF0000, QColor(0, 0, 0xFF)},
                 {0x7F123456, QColor(0x56, 0x34, 0x12)}}; // bits above 24 play no part
    for (const auto& c : cases)
        EXPECT_EQ(TLevelMeter::ColorOf(c.Value), c.Colour) << c.Value;
}

// The main window's meter: 283 x 21, black on green, shown.
class VUMeterTest : public testing::Test {
protected:
    VUMeterTest() {
        Meter.resize(283, 21);
        Meter.SetForecolor(Green);
        Meter.show();
    }
    void Update(int16_t left, int16_t right, uint8_t channels, int times = 1) {
        for (int i = 0; i < times; ++i)
            Meter.SetLevels(left, right, channels);
    }
    TLevelMeter Meter;
};

TEST_F(VUMeterTest, BarIsLevelTimesWidthOver128RoundedDown) {
    const struct {
        int16_t Level;
        int32_t Bar;
    } cases[] = {{128, 283}, {1, 2},     {64, 141},     {127, 280},
                 {0, 0},     {200, 442}, {32767, 72445}}; // above full scale: longer than the meter
    for (const auto& c : cases) {
        TLevelMeter meter;
        meter.resize(283, 21);
        meter.show();
        meter.SetLevels(c.Level, 0, 2);
        EXPECT_EQ(meter.Bars()[0], c.Bar) << c.Level;
        EXPECT_EQ(meter.Peaks()[0], c.Bar) << c.Level;
    }
}

TEST_F(VUMeterTest, OneChannelFillsTheHeightAndShowsOnlyTheLeftLevel) {
    Update(128, 128, 1);
    Update(0, 128, 1, 5); // the bar falls 3 a step to 268; the peak holds at 283
    EXPECT_EQ(Meter.Bars()[0], 268);
    EXPECT_EQ(Meter.Peaks()[0], 283);
    EXPECT_EQ(Meter.Bars()[1], 0);
    EXPECT_EQ(Meter.Peaks()[1], 0);
    EXPECT_EQ(Meter.Levels()[1], 128);
    EXPECT_EQ(Meter.Channels(), 1);
    EXPECT_TRUE(SamePixels(Meter.Picture(), Picture(283, 21, BlackPixel, GreenPixel,
                                                    {{1, 1, 268, 21}, {281, 1, 283, 21}})));
}

TEST_F(VUMeterTest, TwoChannelsShareTheHeightAndTheLastRowStaysEmpty) {
    Meter.SetBackcolor(0x123456);
    Update(128, 64, 2);
    Update(0, 0, 2, 2); // bars 277 and 135, peaks 283 and 141
    const QImage expected =
        Picture(283, 21, qRgb(0x56, 0x34, 0x12), GreenPixel,
                {{1, 1, 277, 10}, {281, 1, 283, 10}, {1, 11, 135, 20}, {139, 11, 141, 20}});
    EXPECT_TRUE(SamePixels(Meter.Picture(), expected));
}

TEST_F(VUMeterTest, AMarkerAtOneShowsItsRightColumnOnly) {
    Meter.resize(128, 21);
    Update(1, 0, 1); // bar and peak 1: the bar's columns 1..0 are none, the marker's are -1..0
    EXPECT_TRUE(
        SamePixels(Meter.Picture(), Picture(128, 21, BlackPixel, GreenPixel, {{0, 1, 1, 21}})));
}

TEST_F(VUMeterTest, BarsFallAndPeaksHoldThenFall) {
    // On a 128-pixel meter a level is its bar length. Peak age is counted after the update.
    struct Step {
        int16_t Level;
        int32_t Bar, Peak, Age;
        const char* Note = "";
    };
    const Step steps[] = {
        {50, 50, 50, 1, "rise in one update"},
        {50, 47, 50, 1, "an equal level does not hold the bar: it falls 3"},
        {50, 50, 50, 1, "and jumps back; the peak was reached again"},
        {0, 47, 50, 2},
        {0, 44, 50, 3},
        {0, 41, 50, 4},
        {0, 38, 50, 5},
        {0, 35, 50, 6},
        {0, 32, 50, 7},
        {0, 29, 50, 8},
        {0, 26, 50, 9},
        {0, 23, 50, 10},
        {0, 20, 50, 11, "the eleventh update showing the peak"},
        {0, 17, 49, 12, "then it falls a pixel per update"},
        {0, 14, 48, 13},
        {0, 11, 47, 14},
        {45, 45, 46, 15, "a level below the falling peak does not catch it"},
        {46, 46, 46, 1, "one that reaches it does"},
        {0, 43, 46, 2},
        {4, 40, 46, 3, "a level below the bar does not stop its fall"},
        {0, 37, 46, 4},
    };
    Meter.resize(128, 38);
    for (size_t i = 0; i < std::size(steps); ++i) {
        Meter.SetLevels(steps[i].Level, 0, 1);
        EXPECT_EQ(Meter.Bars()[0], steps[i].Bar) << "step " << i << ": " << steps[i].Note;
        EXPECT_EQ(Meter.Peaks()[0], steps[i].Peak) << "step " << i << ": " << steps[i].Note;
        EXPECT_EQ(Meter.PeakAge()[0], steps[i].Age) << "step " << i << ": " << steps[i].Note;
    }

    // A bar shorter than the fall drops to 0, never below.
    Meter.resize(128, 37);
    const int32_t bars[] = {5, 2, 0, 0};
    Update(5, 0, 1);
    for (int32_t bar : bars) {
        EXPECT_EQ(Meter.Bars()[0], bar);
        Update(0, 0, 1);
    }
}

TEST_F(VUMeterTest, HiddenMeterChangesNothing) {
    Update(128, 64, 2);
    const auto levels = Meter.Levels();
    const auto bars = Meter.Bars(), peaks = Meter.Peaks(), ages = Meter.PeakAge();
    const QImage picture = Meter.Picture().copy();

    Meter.hide();
    Update(0, 0, 1, 20);
    EXPECT_EQ(Meter.Channels(), 2);
    EXPECT_EQ(Meter.Levels(), levels);
    EXPECT_EQ(Meter.Bars(), bars);
    EXPECT_EQ(Meter.Peaks(), peaks);
    EXPECT_EQ(Meter.PeakAge(), ages);
    EXPECT_TRUE(SamePixels(Meter.Picture(), picture));

    Meter.show(); // the next update falls from where the bars were, once
    Update(0, 0, 2);
    EXPECT_EQ(Meter.Bars()[0], 280);
    EXPECT_EQ(Meter.Bars()[1], 138);
}

TEST_F(VUMeterTest, ResizeResetsTheBarsAndPeaksAndFitsThePicture) {
    Update(128, 128, 2, 3);
    Meter.resize(200, 30);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(Meter.Bars()[i], 0);
        EXPECT_EQ(Meter.Peaks()[i], 0);
        EXPECT_EQ(Meter.PeakAge()[i], 0);
    }
    EXPECT_TRUE(SamePixels(Meter.Picture(), Picture(200, 30, BlackPixel, BlackPixel, {})));

    Update(10, 20, 2); // bars 15 and 31 from 0, lanes of 15 rows
    EXPECT_TRUE(
        SamePixels(Meter.Picture(), Picture(200, 30, BlackPixel, GreenPixel,
                                            {{1, 1, 15, 15}, {13, 1, 15, 15}, {1, 16, 31, 30}})));
}

TEST_F(VUMeterTest, WithoutPeaksNoMarkerIsDrawnOrKept) {
    Meter.SetShowPeaks(false);
    Update(128, 0, 1);
    Update(0, 0, 1, 5);
    EXPECT_EQ(Meter.Peaks()[0], 0);
    EXPECT_EQ(Meter.PeakAge()[0], 0);
    EXPECT_TRUE(
        SamePixels(Meter.Picture(), Picture(283, 21, BlackPixel, GreenPixel, {{1, 1, 268, 21}})));
}

TEST_F(VUMeterTest, ClearMeterBlanksThePictureAndKeepsTheValues) {
    Meter.SetBackcolor(0x0000FF);
    Update(128, 64, 2);
    Meter.ClearMeter();
    EXPECT_EQ(Meter.Bars()[0], 283);
    EXPECT_EQ(Meter.Peaks()[1], 141);
    EXPECT_TRUE(SamePixels(Meter.Picture(), Picture(283, 21, qRgb(0xFF, 0, 0), 0, {})));
}

TEST_F(VUMeterTest, ARepaintShowsTheLastPicture) {
    Update(128, 64, 2);
    Update(0, 0, 2);
    EXPECT_TRUE(
        SamePixels(Meter.grab().toImage().convertToFormat(QImage::Format_RGB32), Meter.Picture()));
    EXPECT_NE(Meter.Picture().pixel(100, 5), BlackPixel);
}

TEST_F(VUMeterTest, NoChannelsOrMoreThanTheMeterHoldsDrawNoLanes) {
    Update(128, 128, 0);
    EXPECT_EQ(Meter.Channels(), 0);
    EXPECT_EQ(Meter.Bars()[0], 0);
    EXPECT_TRUE(SamePixels(Meter.Picture(), Picture(283, 21, BlackPixel, BlackPixel, {})));

    Update(128, 128, 255); // lanes of 21 div 255 = 0 rows: nothing to see
    EXPECT_EQ(Meter.Channels(), 255);
    EXPECT_EQ(Meter.Bars()[0], 283);
    EXPECT_EQ(Meter.Bars()[TLevelMeter::MaxChannels - 1], 0);
    EXPECT_TRUE(SamePixels(Meter.Picture(), Picture(283, 21, BlackPixel, BlackPixel, {})));

    Meter.resize(283, 256); // 128 lanes of one row each
    Update(128, 128, 128);
    EXPECT_TRUE(SamePixels(Meter.Picture(), Picture(283, 256, BlackPixel, GreenPixel,
                                                    {{1, 1, 283, 2}, {1, 3, 283, 4}})));
}

// Runs at a device pixel ratio above 1 (the suite's --scale-factor option): the picture has the
// device resolution and every logical pixel covers ratio x ratio device pixels.
TEST_F(VUMeterTest, HiDpiPictureHasTheDeviceResolution) {
    if (Meter.devicePixelRatioF() <= 1) GTEST_SKIP() << "device pixel ratio 1";
    const qreal ratio = Meter.devicePixelRatioF();
    ASSERT_EQ(ratio, 2.0);
    Update(128, 64, 2);
    Update(0, 0, 2, 2);
    EXPECT_EQ(Meter.Picture().devicePixelRatio(), 2.0);
    const QImage logical =
        Picture(283, 21, BlackPixel, GreenPixel,
                {{1, 1, 277, 10}, {281, 1, 283, 10}, {1, 11, 135, 20}, {139, 11, 141, 20}});
    EXPECT_TRUE(SamePixels(Meter.Picture(), logical.scaled(566, 42)));
    EXPECT_TRUE(
        SamePixels(Meter.grab().toImage().convertToFormat(QImage::Format_RGB32), Meter.Picture()));
}

} // namespace
} // namespace orvella
