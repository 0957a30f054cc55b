// 16-bit documents, byte for byte: every file orvella-batch writes and every --info it prints for
// sources of 16 bits and fewer, compared with what this program wrote when the rows were recorded.
// A change to how samples are stored must leave these untouched. --info has since gained a last
// line, "precision: 16-bit" for these documents: it is checked and taken out before the digest,
// which covers the lines recorded.
//
// To record a new row, run the test with ORVELLA_GOLDEN_PRINT=1: each row's actual digests are
// printed in the table's own syntax.

#include "batchrun.h"
#include "support/fixtures.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <ostream>

namespace {

namespace fs = std::filesystem;

// FNV-1a, 64 bits: enough to tell two outputs apart, and needs no library.
std::string Digest(const std::string& bytes) {
    uint64_t hash = 14695981039346656037ull;
    for (const unsigned char c : bytes) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

struct TGolden {
    const char* Source; // under tests/fixtures/, or "demo" for the demo sound
    const char* Steps;  // OUT stands for the output file
    const char* Output; // the output's extension
    const char* Info;   // digest of what the steps printed
    const char* File;   // digest of the output file
};

// clang-format off
const TGolden Goldens[] = {
    {"wav/pcm8-8000-2.wav", "--info --save OUT", "wav", "013cc5740fe56e69", "827bfc7dc19e164d"},
    {"wav/pcm16-8000-2.wav", "--info --save OUT", "wav", "013cc5740fe56e69", "20ec420bf6e77dbd"},
    {"wav/alaw-8000-2.wav", "--info --save OUT", "wav", "013cc5740fe56e69", "5b68a2554697553d"},
    {"wav/mulaw-8000-2.wav", "--info --save OUT", "wav", "013cc5740fe56e69", "e2c096867b21ab5d"},
    {"wav/gsm-8000-1.wav", "--info --save OUT", "wav", "dcd3f8f3aeb29058", "fdffae27a3f3db5c"},
    {"wav/ima-adpcm-8000-2.wav", "--info --save OUT", "wav", "a7e585a0e38be750", "cd49947ccaeabe22"},
    {"wav/ms-adpcm-8000-2.wav", "--info --save OUT", "wav", "e8ea826f65cc0cea", "37d86ed819fef898"},
    {"wav/mp3-16000-1.wav", "--info --save OUT", "wav", "6635450f075877ef", "f16b3a8c6538b227"},
    {"mp3/stereo.mp3", "--info --save OUT", "wav", "a7fbaf1a11f12a71", "e4db21241edd859a"},
    {"mp3/mpeg25_8000.mp3", "--info --save OUT", "wav", "677dde6a73bc26e4", "107af51f2f669c87"},
    {"wma/wmav1_mono.wma", "--info --save OUT", "wav", "4781d6b0b2080c8e", "c4fe9c33ca280534"},
    {"demo", "--amplify 150 --info --save OUT", "wav", "09d1daeef9350f14", "a6ec36f2ecef77c6"},
    {"demo", "--normalize 90 --info --save OUT", "wav", "f01729c05c676271", "2f7744d00e13eea7"},
    {"demo", "--fade-in 0:20000 --fade-out 25000:33075 --save OUT", "wav", "cbf29ce484222325", "e97004ff11acea30"},
    {"demo", "--reverse --invert --save OUT", "wav", "cbf29ce484222325", "aae2165b3df2fc90"},
    {"demo", "--cut 1000:9000 --paste 20000 --copy 0:500 --paste 0 --info --save OUT", "wav", "960ca354289d6ba8", "8c7146270da79c6a"},
    {"demo", "--delete 100:200 --silence 50:1234 --undo --redo --info --save OUT", "wav", "9238d52b7567e672", "e8b4dbc01b6a188e"},
    {"demo", "--save-range 2000:7000 OUT", "wav", "cbf29ce484222325", "642280e64d27b395"},
    {"demo", "--convert --info --save OUT", "wav", "c509c1624f7c70d4", "2679fd83f7e17234"},
    {"demo", "--convert 48000,2 --info --save OUT", "wav", "6232e15e125205a8", "c90609fdefa6806a"},
    {"mp3/stereo.mp3", "--convert 44100,1 --save OUT", "wav", "cbf29ce484222325", "80ed0fdea2ec81c5"},
    {"demo", "--save OUT", "mp3", "cbf29ce484222325", "979b33de2a8b173e"},
    {"demo", "--mp3 vbr:4 --save OUT", "mp3", "cbf29ce484222325", "ae5bf96824bf1e77"},
    {"wav/pcm16-8000-2.wav", "--mp3 abr:64,max:128,crc --save OUT", "mp3", "cbf29ce484222325", "380f58a5d09c7b5c"},
};
// clang-format on

void PrintTo(const TGolden& golden, std::ostream* out) {
    *out << golden.Source << " " << golden.Steps << " ." << golden.Output;
}

class GoldenTest : public ::testing::TestWithParam<TGolden> {};

TEST_P(GoldenTest, OutputsAreUnchanged) {
    const TGolden& golden = GetParam();
    orvella::test::TempDir temp;
    const fs::path dir = temp.Path();
    const std::string source = std::string(golden.Source) == "demo"
                                   ? orvella::test::SamplePath("demo.wav")
                                   : orvella::test::FixturePath(golden.Source);
    const fs::path output = dir / (std::string("out.") + golden.Output);
    std::string steps = golden.Steps;
    steps.replace(steps.find("OUT"), 3, output.string());
    const orvella::test::TBatchResult run =
        orvella::test::RunBatch(dir, "--quiet " + source + " " + steps);
    ASSERT_EQ(run.Status, 0) << run.Err;

    std::string printed = run.Out;
    const std::string precision = "precision: 16-bit\n";
    for (size_t at = 0; (at = printed.find("peakdb: ", at)) != std::string::npos;) {
        const size_t next = printed.find('\n', at) + 1;
        EXPECT_EQ(printed.compare(next, precision.size(), precision), 0) << run.Out;
        printed.erase(next, precision.size());
        at = next;
    }
    const std::string info = Digest(printed);
    const std::string file = Digest(orvella::test::Slurp(output));
    if (std::getenv("ORVELLA_GOLDEN_PRINT"))
        std::printf("    {\"%s\", \"%s\", \"%s\", \"%s\", \"%s\"},\n", golden.Source, golden.Steps,
                    golden.Output, info.c_str(), file.c_str());
    EXPECT_EQ(info, golden.Info) << "what the steps printed:\n" << run.Out;
    EXPECT_EQ(file, golden.File);
}

std::string RowName(const testing::TestParamInfo<TGolden>& info) {
    return "row" + std::to_string(info.index);
}

INSTANTIATE_TEST_SUITE_P(SixteenBit, GoldenTest, testing::ValuesIn(Goldens), RowName);

} // namespace
