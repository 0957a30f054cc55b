#include "engine/pathnames.h"
#include "engine/timeformat.h"

#include <gtest/gtest.h>

using namespace orvella;

TEST(FormatTime, MinutesGrowPastTwoDigitsSecondsAndMillisecondsStayFixed) {
    const struct {
        uint64_t Ms;
        const char* Text;
    } cases[] = {
        {0, "00:00.000"},
        {7, "00:00.007"},
        {999, "00:00.999"},
        {1000, "00:01.000"},
        {59999, "00:59.999"},
        {60000, "01:00.000"},
        {61234, "01:01.234"},
        {75500, "01:15.500"},
        {5999999, "99:59.999"},
        {6000000, "100:00.000"},
        {4294967295u, "71582:47.295"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatTime(c.Ms), c.Text) << c.Ms;
}

TEST(LowerExtension, OnlyTheLastComponentsDotCounts) {
    const struct {
        const char* Path;
        const char* Extension;
    } cases[] = {
        {"song.WAV", ".wav"},   {"/a/b/Track.Mp3", ".mp3"}, {"/a.dir/noext", ""}, {"noext", ""},
        {"a.tar.GZ", ".gz"},    {"/a/.hidden", ".hidden"},  {"trailing.", "."},   {"", ""},
        {"/x.Y/z.WmA", ".wma"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LowerExtension(c.Path), c.Extension) << c.Path;
}
