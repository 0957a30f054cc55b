#include "playback/volumebar.h"

#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <climits>

namespace orvella {
namespace {

TEST(VolumeOfPositionTest, Table) {
    const struct {
        int Position;
        int32_t Volume;
    } cases[] = {{-10000, 0},
                 {-9999, 0},
                 {-8000, -242},
                 {-5000, -752},
                 {-500, -3250},
                 {-1, -9247},
                 {0, -10000},
                 // outside the bar's range: the nearer end
                 {1, -10000},
                 {INT_MAX, -10000},
                 {-10001, 0},
                 {INT_MIN, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(VolumeOfPosition(c.Position), c.Volume) << c.Position;
}

TEST(VolumeOfPositionTest, FallsFromFullVolumeToSilenceDownTheBar) {
    int32_t previous = VolumeOfPosition(-10000);
    for (int p = -9999; p <= 0; ++p) {
        const int32_t volume = VolumeOfPosition(p);
        ASSERT_LE(volume, previous) << p;
        ASSERT_GE(volume, -10000) << p;
        previous = volume;
    }
}

// Exposes the style option so the test can ask the style where the thumb is.
class TProbeBar : public TVolumeBar {
public:
    QRect Thumb() {
        QStyleOptionSlider option;
        initStyleOption(&option);
        return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    }
};

class TrackBarTest : public testing::Test {
protected:
    TrackBarTest() {
        Bar.resize(40, 300);
        Bar.show();
    }
    TProbeBar Bar;
};

TEST_F(TrackBarTest, VerticalFromMinus10000To0WithTicksOnBothSides) {
    EXPECT_EQ(Bar.orientation(), Qt::Vertical);
    EXPECT_EQ(Bar.minimum(), -10000);
    EXPECT_EQ(Bar.maximum(), 0);
    EXPECT_EQ(Bar.tickPosition(), QSlider::TicksBothSides);
    EXPECT_EQ(Bar.tickInterval(), 500);
    EXPECT_EQ(Bar.singleStep(), 100);
    EXPECT_EQ(Bar.pageStep(), 500);
    EXPECT_EQ(Bar.accessibleName(), "Playback volume level");
    EXPECT_EQ(Bar.toolTip(), "Playback volume level");
}

TEST_F(TrackBarTest, TheTopEndIsMinus10000) {
    Bar.setValue(-10000);
    const QRect top = Bar.Thumb();
    Bar.setValue(0);
    const QRect bottom = Bar.Thumb();
    EXPECT_LT(top.center().y(), Bar.height() / 4);
    EXPECT_GT(bottom.center().y(), Bar.height() * 3 / 4);

    // Dragging the thumb to either end.
    QPoint from = Bar.Thumb().center();
    QTest::mousePress(&Bar, Qt::LeftButton, {}, from);
    QTest::mouseMove(&Bar, QPoint(from.x(), 0));
    QTest::mouseRelease(&Bar, Qt::LeftButton, {}, QPoint(from.x(), 0));
    EXPECT_EQ(Bar.value(), -10000);
    from = Bar.Thumb().center();
    QTest::mousePress(&Bar, Qt::LeftButton, {}, from);
    QTest::mouseMove(&Bar, QPoint(from.x(), Bar.height() - 1));
    QTest::mouseRelease(&Bar, Qt::LeftButton, {}, QPoint(from.x(), Bar.height() - 1));
    EXPECT_EQ(Bar.value(), 0);
}

TEST_F(TrackBarTest, KeysMoveTheThumbTheWayTheyPoint) {
    Bar.setValue(-8000);
    const struct {
        Qt::Key Key;
        int Value;
    } steps[] = {{Qt::Key_Up, -8100},       {Qt::Key_PageUp, -8600}, {Qt::Key_Down, -8500},
                 {Qt::Key_PageDown, -8000}, {Qt::Key_Home, -10000},  {Qt::Key_Up, -10000},
                 {Qt::Key_End, 0},          {Qt::Key_Down, 0}};
    for (const auto& s : steps) {
        QTest::keyClick(&Bar, s.Key);
        EXPECT_EQ(Bar.value(), s.Value) << "key " << int(s.Key);
    }
}

} // namespace
} // namespace orvella
