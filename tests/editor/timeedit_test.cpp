// The selection edits' texts: what the masks show, how a text is read back as a time or a frame
// number, and the time format the window writes.
#include "editor/selectionpanel.h"
#include "editor/timeedit.h"
#include "engine/timeformat.h"

#include <QLineEdit>

#include <gtest/gtest.h>

namespace orvella {
namespace {

TEST(ParseTime, ReadsMinutesSecondsAndMilliseconds) {
    const struct {
        const char* Text;
        uint32_t Ms;
    } cases[] = {
        {"000:00.000", 0},       {" 01:30.250", 90250}, // minutes blank-padded by the mask
        {"  1:30.250", 90250},   {"999:59.999", 59999999},
        {"100:00.000", 6000000}, {" 00:99.999", 99999}, // seconds are not limited to 59
        {"01:01.234", 61234},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(ParseTime(QString::fromLatin1(c.Text)), c.Ms);
    }
}

TEST(ParseTime, BlankOrMissingPartIsNotAValidInteger) {
    const struct {
        const char* Text;
        const char* Message;
    } cases[] = {
        {"   :00.000", "'   ' is not a valid integer value"},
        {" 01:  .000", "'  ' is not a valid integer value"},
        {" 01:30.   ", "'   ' is not a valid integer value"},
        {"01:30", "'' is not a valid integer value"},
        {"1 2:30.250", "'1 2' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        try {
            ParseTime(QString::fromLatin1(c.Text));
            ADD_FAILURE() << "no error";
        } catch (const EConvertError& error) {
            EXPECT_STREQ(error.what(), c.Message);
        }
    }
}

TEST(ParseInteger, FrameNumbersOfAnyDocument) {
    EXPECT_EQ(ParseInteger(QStringLiteral("              0")), 0u);
    EXPECT_EQ(ParseInteger(QStringLiteral("          44100")), 44100u);
    EXPECT_EQ(ParseInteger(QStringLiteral("     4294967295")), 4294967295u);
    for (const char* bad : {"               ", "     4294967296", "12a", ""}) {
        SCOPED_TRACE(bad);
        try {
            ParseInteger(QString::fromLatin1(bad));
            ADD_FAILURE() << "no error";
        } catch (const EConvertError& error) {
            EXPECT_EQ(std::string(error.what()),
                      "'" + std::string(bad) + "' is not a valid integer value");
        }
    }
}

TEST(FormatTime, MinutesSecondsMilliseconds) {
    EXPECT_EQ(FormatTime(0), "00:00.000");
    EXPECT_EQ(FormatTime(61234), "01:01.234");
    EXPECT_EQ(FormatTime(75500), "01:15.500");
    EXPECT_EQ(FormatTime(6000000), "100:00.000");
    EXPECT_EQ(FormatTime(4294967295u), "71582:47.295");
}

// The masked edits as a user sees them: optional digits as leading blanks, literals kept, and
// the text as shown is what the window reads back.
TEST(SelectionEdits, MasksShowBlankPaddedTextsThatReadBack) {
    TSelectionPanel panel;
    panel.SetMask(MillisecondsMask);
    panel.SetStartText(QStringLiteral("01:30.250"));
    EXPECT_EQ(panel.StartText(), QStringLiteral(" 01:30.250"));
    EXPECT_EQ(ParseTime(panel.StartText()), 90250u);
    panel.SetStartText(QStringLiteral("100:00.000"));
    EXPECT_EQ(panel.StartText(), QStringLiteral("100:00.000"));
    EXPECT_EQ(ParseTime(panel.StartText()), 6000000u);

    panel.SetMask(SamplesMask);
    panel.SetStopText(QStringLiteral("44100"));
    EXPECT_EQ(panel.StopText(), QStringLiteral("          44100"));
    EXPECT_EQ(ParseInteger(panel.StopText()), 44100u);
    // The mask takes digits only.
    panel.StopEdit()->clear();
    panel.StopEdit()->setCursorPosition(0);
    panel.StopEdit()->insert(QStringLiteral("4x2"));
    EXPECT_FALSE(panel.StopText().contains(QLatin1Char('x')));
}

TEST(SelectionEdits, TypedDigitsInTheMillisecondsMaskReadAsTheirTime) {
    TSelectionPanel panel;
    panel.SetMask(MillisecondsMask);
    panel.StartEdit()->clear();
    panel.StartEdit()->setCursorPosition(0);
    panel.StartEdit()->insert(QStringLiteral("002"));
    panel.StartEdit()->setCursorPosition(4);
    panel.StartEdit()->insert(QStringLiteral("05"));
    panel.StartEdit()->setCursorPosition(7);
    panel.StartEdit()->insert(QStringLiteral("125"));
    EXPECT_EQ(panel.StartText(), QStringLiteral("002:05.125"));
    EXPECT_EQ(ParseTime(panel.StartText()), 125125u);
}

} // namespace
} // namespace orvella
