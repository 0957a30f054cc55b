// Feeds arbitrary blocks to the clip parser as a paste into mono and into stereo documents, and
// converts every value of each clip it accepts: nothing may be read outside the block.

#include "engine/errors.h"
#include "engine/waveclip.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly size bytes, so that the address checker sees any read past the block.
    const std::vector<uint8_t> block(data, data + size);
    for (uint16_t channels : {uint16_t(1), uint16_t(2)}) {
        try {
            const orvella::TClipView clip = orvella::ParseClip(block.data(), block.size(), channels);
            const uint64_t values = uint64_t(clip.Frames) * channels;
            std::vector<int16_t> out(size_t(values) + 1);
            // In two pieces, as a paste across two chunks would take them.
            const uint64_t half = values / 2;
            orvella::ConvertClipValues(clip, channels, 0, uint32_t(half), out.data());
            orvella::ConvertClipValues(clip, channels, half, uint32_t(values - half),
                                       out.data() + half);
        } catch (const orvella::Exception&) {
            // A refused clip is a correct answer.
        }
    }
    return 0;
}
