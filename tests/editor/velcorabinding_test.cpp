// The rate conversion library bound by hand: a missing file is named, the real library converts.
#include "editor/velcorabinding.h"
#include "velcora/velcora.h"

#include <gtest/gtest.h>

#include <vector>

namespace orvella {
namespace {

TEST(VelcoraBinding, LibraryPathIsBesideTheProgramInPlugins) {
    EXPECT_EQ(VelcoraPathFor("/opt/orvella/bin/orvella"), "/opt/orvella/bin/plugins/libvelcora.so");
}

TEST(VelcoraBinding, MissingLibraryIsNamedThenTheRealOneConverts) {
    // The binding lasts for the process: another test in it may have made it already.
    const bool boundBefore = VelcoraBound();
    const std::string message = BindVelcora("/nonexistent/plugins/libvelcora.so");
    EXPECT_NE(message.find("/nonexistent/plugins/libvelcora.so"), std::string::npos) << message;
    EXPECT_EQ(VelcoraBound(), boundBefore);
    uint32_t bytes = 77;
    if (!boundBefore) {
        // Unbound, a conversion writes nothing.
        DSP_exit(nullptr, &bytes);
        EXPECT_EQ(bytes, 0u);
    }

    ASSERT_EQ(BindVelcora(VELCORA_LIBRARY), "");
    EXPECT_TRUE(VelcoraBound());
    // 44,100 -> 22,050 Hz mono, 16-bit: about half as many frames come out.
    DSP_init(44100, 22050, 1, 1, 2, 2, 96, 8000, 1024);
    std::vector<int16_t> input(44100, 1000);
    std::vector<uint8_t> output(524288);
    uint32_t total = 0;
    DSP_process(input.data(), uint32_t(input.size() * 2), output.data(), &bytes);
    total += bytes;
    DSP_exit(output.data(), &bytes);
    total += bytes;
    EXPECT_NEAR(double(total) / 2, 22050.0, 200.0);
}

} // namespace
} // namespace orvella
