// Channel-count mapping of an interleaved float stream.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velcora {

// Values the mapping of `values` input values can produce (the work area it needs).
std::size_t mappedCapacity(std::size_t values, std::uint32_t srcChannels,
                           std::uint32_t dstChannels);

// Maps `values` interleaved values of srcChannels channels in `data` to dstChannels
// channels in place (data must hold mappedCapacity values) and returns the new count.
// Equal counts: unchanged. To one channel: the mean of the source channels of each frame
// (two channels: (a + b) x 0.5). From one channel: the value copied to every channel.
// Otherwise the first channels are kept and missing ones are silent. Unequal counts use
// whole frames only; a zero count on either side gives no values.
std::size_t mapChannels(float* data, std::size_t values, std::uint32_t srcChannels,
                        std::uint32_t dstChannels);

} // namespace velcora
