#include "velcora/channelmap.h"

namespace velcora {

std::size_t mappedCapacity(std::size_t values, std::uint32_t srcChannels,
                           std::uint32_t dstChannels) {
    if (srcChannels == 0 || dstChannels <= srcChannels) return values;
    return values / srcChannels * dstChannels;
}

std::size_t mapChannels(float* data, std::size_t values, std::uint32_t srcChannels,
                        std::uint32_t dstChannels) {
    if (srcChannels == dstChannels) return values;
    if (srcChannels == 0 || dstChannels == 0) return 0;
    const std::size_t frames = values / srcChannels;

    if (dstChannels == 1) {
        // Forward in place: frame f is written at f, never ahead of what is still unread.
        if (srcChannels == 2) {
            for (std::size_t f = 0; f < frames; ++f)
                data[f] = (data[2 * f] + data[2 * f + 1]) * 0.5f;
        } else {
            const float count = static_cast<float>(srcChannels);
            for (std::size_t f = 0; f < frames; ++f) {
                const float* in = data + f * srcChannels;
                float sum = in[0];
                for (std::uint32_t c = 1; c < srcChannels; ++c)
                    sum += in[c];
                data[f] = sum / count;
            }
        }
        return frames;
    }

    if (dstChannels < srcChannels) {
        for (std::size_t f = 0; f < frames; ++f)
            for (std::uint32_t c = 0; c < dstChannels; ++c)
                data[f * dstChannels + c] = data[f * srcChannels + c];
        return frames * dstChannels;
    }

    // More channels: backwards in place, so no source frame is overwritten before use.
    for (std::size_t f = frames; f-- > 0;) {
        float* out = data + f * dstChannels;
        const float* in = data + f * srcChannels;
        if (srcChannels == 1) {
            const float v = in[0];
            for (std::uint32_t c = 0; c < dstChannels; ++c)
                out[c] = v;
        } else {
            for (std::uint32_t c = srcChannels; c < dstChannels; ++c)
                out[c] = 0.0f;
            for (std::uint32_t c = srcChannels; c-- > 0;)
                out[c] = in[c];
        }
    }
    return frames * dstChannels;
}

} // namespace velcora
