#include "batch/consoledialogs.h"
#include "batch/mp3choice.h"
#include "batch/options.h"

#include <gtest/gtest.h>

using namespace orvella::batch;

TEST(BatchOptions, StepsAndTheirArguments) {
    const TCommandLine line = ParseCommandLine(
        {"--temp", "/x", "--quiet", "in.wav", "--info", "--save-range", "1:5", "out.wav",
         "--convert", "--play", "--silence", "3:100", "--convert", "44100,2"});
    EXPECT_EQ(line.TempFolder, "/x");
    EXPECT_TRUE(line.Quiet);
    EXPECT_EQ(line.Input, "in.wav");
    ASSERT_EQ(line.Steps.size(), 6u);
    EXPECT_EQ(line.Steps[1].Kind, TStepKind::SaveRange);
    EXPECT_EQ(line.Steps[1].A, 1);
    EXPECT_EQ(line.Steps[1].B, 5);
    EXPECT_EQ(line.Steps[1].Path, "out.wav");
    EXPECT_FALSE(line.Steps[2].HasRange); // --convert without its optional argument
    EXPECT_FALSE(line.Steps[3].HasRange); // --play likewise
    EXPECT_EQ(line.Steps[4].B, 100);
    EXPECT_TRUE(line.Steps[5].HasRange);
    EXPECT_EQ(line.Steps[5].A, 44100);
}

TEST(BatchOptions, UsageErrors) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--info"},
        {"in.wav", "--bogus"},
        {"in.wav", "--delete"},
        {"in.wav", "--delete", "5:3"},
        {"in.wav", "--delete", "-1:3"},
        {"in.wav", "--paste", "x"},
        {"in.wav", "--save-range", "0:1"},
        {"--new", "44100"},
        {"--new", "44100,3"},
        {"in.wav", "--convert", "0,1"},
    };
    for (const auto& args : bad)
        EXPECT_THROW(ParseCommandLine(args), TUsageError) << args.size();
}

TEST(BatchOptions, Mp3Choices) {
    TMp3Choice c = ParseMp3Choice("abr:96,max:192,crc");
    EXPECT_EQ(c.Mode, TMp3Choice::ABR);
    EXPECT_EQ(c.Kbps, 96);
    EXPECT_EQ(c.MaxKbps, 192);
    EXPECT_TRUE(c.Crc);
    c = ParseMp3Choice("vbr:2");
    EXPECT_EQ(c.Mode, TMp3Choice::VBR);
    EXPECT_EQ(c.Quality, 2);
    for (const char* bad : {"cbr:", "vbr:9", "xyz:1", "cbr:128,max:320", "abr:128,foo"})
        EXPECT_THROW(ParseMp3Choice(bad), TUsageError) << bad;
}

TEST(BatchConsole, SystemLineBreaksForATerminal) {
    const std::pair<std::string, std::string> cases[] = {
        {"DirectSound call failed: 88780078\rNo sound driver is available for use",
         "DirectSound call failed: 88780078\nNo sound driver is available for use"},
        {"System Error.  Code: 28.\r\nNo space left on device",
         "System Error.  Code: 28.\nNo space left on device"},
        {"ends with a return\r", "ends with a return\n"},
        {"\r\r\n", "\n\n"},
        {"plain", "plain"},
    };
    for (const auto& [text, shown] : cases)
        EXPECT_EQ(ForTerminal(text), shown) << text;
}
