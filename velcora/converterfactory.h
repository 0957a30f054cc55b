// Choice and construction of the rate converter for a rate pair.
#pragma once

#include "velcora/rateconverter.h"

#include <cstdint>
#include <memory>

namespace velcora {

// True for equal rates, and for unequal positive rates whose slower rate divided by their
// greatest common divisor is 1, even or a multiple of 3, provided the common polyphase
// rate (slower / gcd x faster) stays below 2^31.
bool isRatioSupported(std::uint32_t srcRate, std::uint32_t dstRate);

// An Upsampler for a higher destination rate, a Downsampler for a lower one; none for equal
// rates, unsupported pairs, or filter parameters that allow no design.
std::unique_ptr<RateConverter> createConverter(const ConverterConfig& config);

} // namespace velcora
