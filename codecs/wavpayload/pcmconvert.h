#pragma once
// Sample conversions to 16-bit signed PCM, in place of a system conversion service.
//
// Integer PCM of 8 bits is unsigned (128 is silence); 16, 24 and 32 bits are signed, all
// little-endian. Narrowing keeps the top 16 bits, rounded to nearest with ties to even and
// limited to 32767 (the one value that could round past the range).
// IEEE float (32- or 64-bit) is scaled by 32768, rounded to nearest with ties to even and limited
// to -32768 ... 32767; NaN becomes 0. Full-scale +1.0 thus becomes 32767, -1.0 becomes -32768.
// Rounding (not truncation) keeps the error within half a step and symmetric around zero, and
// the scale is the one that maps 16-bit values to float and back unchanged; out-of-range values
// are limited rather than wrapped, as a sound file's overshoots should be.
// count is a number of samples (values), not frames; dst must hold count values.

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace orvella {

// True for the integer widths the conversion offers: 8, 16, 24 and 32 bits.
bool IsConvertibleIntegerWidth(unsigned bits);
// True for the float widths the conversion offers: 32 and 64 bits.
bool IsConvertibleFloatWidth(unsigned bits);

void ConvertIntegerTo16(const uint8_t* src, unsigned bits, size_t count, int16_t* dst);
void ConvertFloatTo16(const uint8_t* src, unsigned bits, size_t count, int16_t* dst);

namespace pcmconvert_detail {

// value / 2^shift rounded to nearest, ties to even, limited to 32767.
template <int Shift> inline int16_t RoundShift(int64_t value) {
    constexpr int64_t half = int64_t(1) << (Shift - 1);
    constexpr int64_t mask = (int64_t(1) << Shift) - 1;
    int64_t q = value >> Shift; // floor
    const int64_t r = value & mask;
    if (r > half || (r == half && (q & 1))) ++q;
    return int16_t(q > 32767 ? 32767 : q);
}

} // namespace pcmconvert_detail

// One 32-bit signed value, one float value: the rules above. Inline: decoders convert every
// sample they deliver through them.
inline int16_t NarrowInt32(int32_t value) {
    return pcmconvert_detail::RoundShift<16>(value);
}

inline int16_t FloatTo16(double value) {
    if (std::isnan(value)) return 0;
    const double scaled = value * 32768.0;
    if (scaled >= 32767.0) return 32767;
    if (scaled <= -32768.0) return -32768;
    // Within +-2^15, adding 1.5 * 2^52 leaves no fraction bits, so the sum is rounded to a whole
    // number in the default mode (nearest, ties to even: 1.5 * 2^52 is even), and subtracting it
    // again is exact. The same result as nearbyint, without a library call per sample.
    constexpr double shifter = 6755399441055744.0;
    return int16_t((scaled + shifter) - shifter);
}

} // namespace orvella
