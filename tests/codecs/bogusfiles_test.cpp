// Empty and nonsense files through every decoder of the codec table: each one fails, as false or
// as an Exception with a message, and leaves progress at 0; none crashes, hangs or succeeds.

#include "codecs/codectable.h"
#include "engine/errors.h"
#include "mp3testutil.h"
#include "support/recordingdialogs.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

namespace orvella {
namespace {

std::vector<uint8_t> Text(const std::string& s) {
    return {s.begin(), s.end()};
}

TEST(BogusFiles, EveryDecoderRefusesEmptyAndNonsenseFiles) {
    struct Bogus {
        const char* Name;
        std::vector<uint8_t> Bytes;
    };
    const std::vector<uint8_t> emptyWave = {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'};
    // A tag that claims more bytes than the file has.
    const std::vector<uint8_t> id3Only = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0x7F};
    const Bogus files[] = {
        {"empty", {}},
        {"one byte", {0x00}},
        {"RIFF alone", Text("RIFF")},
        {"WAVE without chunks", emptyWave},
        {"ID3 header alone", id3Only},
        {"text", Text("This is not a sound file, only a line of text.\n")},
        {"64 KiB of zeros", std::vector<uint8_t>(65536, 0)},
        {"64 KiB of 0xFF", std::vector<uint8_t>(65536, 0xFF)},
    };
    test::RecordingDialogs dialogs;
    const TCodecServices services = DefaultCodecServices(dialogs);
    ASSERT_EQ(services.Decoders.size(), 3u);
    test::TempDir dir;
    for (const TDecoderRow& row : services.Decoders) {
        for (const Bogus& file : files) {
            const std::string source = dir.File("bogus" + row.Extension);
            testing::WriteBytes(source, file.Bytes);
            TProgress progress;
            bool decoded = false;
            std::string failure = "false";
            try {
                decoded = row.Decode(source, dir.File("work.tmp"), progress);
            } catch (const Exception& e) {
                failure = e.Message();
                EXPECT_FALSE(failure.empty()) << row.Extension << " " << file.Name;
            }
            EXPECT_FALSE(decoded) << row.Extension << " " << file.Name;
            EXPECT_EQ(progress.load(), 0) << row.Extension << " " << file.Name << ": " << failure;
        }
    }
}

} // namespace
} // namespace orvella
