// Feeds arbitrary blocks to the clip parser as a paste into mono and into stereo documents of
// both sample formats, and converts every value of each clip it accepts: nothing may be read
// outside the block.

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
            std::vector<int16_t> shorts(size_t(values) + 1);
            std::vector<float> floats(size_t(values) + 1);
            orvella::TSampleReducer reducer(16, true);
            // In two pieces, as a paste across two chunks would take them.
            const uint64_t half = values / 2;
            orvella::ConvertClipValues(clip, channels, 0, uint32_t(half), shorts.data(), reducer);
            orvella::ConvertClipValues(clip, channels, half, uint32_t(values - half),
                                       shorts.data() + half, reducer);
            orvella::ConvertClipValues(clip, channels, 0, uint32_t(half), floats.data(), reducer);
            orvella::ConvertClipValues(clip, channels, half, uint32_t(values - half),
                                       floats.data() + half, reducer);
        } catch (const orvella::Exception&) {
            // A refused clip is a correct answer.
        }
    }
    return 0;
}
