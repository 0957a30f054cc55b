#pragma once
// Per-channel maxima and minima over interleaved 16-bit values: the kernel of the peak index.

#include <cstdint>

namespace orvella {

// Raises max[c] and lowers min[c] for every value of p[0 .. n-1], where p[0] belongs to channel
// firstChannel and the channels follow each other in order (channels values per frame).
void AccumulateMaxMin(const int16_t* p, uint32_t n, int firstChannel, int channels, int16_t* max,
                      int16_t* min);

} // namespace orvella
