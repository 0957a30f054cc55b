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

#include <cstddef>
#include <cstdint>

namespace orvella {

// True for the integer widths the conversion offers: 8, 16, 24 and 32 bits.
bool IsConvertibleIntegerWidth(unsigned bits);
// True for the float widths the conversion offers: 32 and 64 bits.
bool IsConvertibleFloatWidth(unsigned bits);

void ConvertIntegerTo16(const uint8_t* src, unsigned bits, size_t count, int16_t* dst);
void ConvertFloatTo16(const uint8_t* src, unsigned bits, size_t count, int16_t* dst);

// One 32-bit signed value, one float value: the rules above.
int16_t NarrowInt32(int32_t value);
int16_t FloatTo16(double value);

} // namespace orvella
