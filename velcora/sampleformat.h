// The five sample format codes and their conversions to and from the library's float
// stream (full scale +-1.0). Integer samples are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velcora {

enum SampleFormat : std::uint32_t {
    kUnsigned8 = 1, // offset 128
    kSigned16 = 2,
    kSigned24 = 4, // three bytes, low byte first
    kSigned32 = 8,
    kFloat32 = 16, // written at half the internal value
};

bool isSampleFormat(std::uint32_t code);
// Bytes per sample; 2 for codes outside the table, so sample counts stay defined.
std::uint32_t sampleWidth(std::uint32_t code);

// Converts n samples; codes outside the table give 0.0 for every sample.
void samplesToFloat(std::uint32_t code, const std::uint8_t* in, std::size_t n, float* out);
// Converts n samples; codes outside the table write nothing. Integer values are
// v = x * 2^(bits-1), stored as the lower limit when at or below it, the upper limit when
// at or above it, otherwise floor(v + 0.5).
void floatToSamples(std::uint32_t code, const float* in, std::size_t n, std::uint8_t* out);

// The integer rounding rule above for one value and one pair of limits (integers within
// the 32-bit range). NaN, which only float input can carry, gives 0.
std::int32_t roundToLimits(double v, double lower, double upper);

// Branch-free form of roundToLimits for the conversion loops: floor(v + 0.5) as
// truncation corrected downwards for negative non-integers.
inline std::int32_t roundToLimitsInline(double v, double lower, double upper) {
    double c = v <= lower ? lower : (v >= upper ? upper : v);
    c = c == c ? c : 0.0;
    const double u = c + 0.5;
    const std::int32_t t = static_cast<std::int32_t>(u);
    return t - (static_cast<double>(t) > u ? 1 : 0);
}

} // namespace velcora
