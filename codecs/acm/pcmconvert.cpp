#include "codecs/acm/pcmconvert.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace orvella {

static_assert(std::endian::native == std::endian::little,
              "the conversions read and write little-endian samples in place");

namespace {

// value / 2^shift rounded to nearest, ties to even, limited to the 16-bit range.
template <int Shift> inline int16_t RoundShift(int64_t value) {
    constexpr int64_t half = int64_t(1) << (Shift - 1);
    constexpr int64_t mask = (int64_t(1) << Shift) - 1;
    int64_t q = value >> Shift; // floor
    const int64_t r = value & mask;
    if (r > half || (r == half && (q & 1))) ++q;
    return int16_t(q > 32767 ? 32767 : q);
}

} // namespace

bool IsConvertibleIntegerWidth(unsigned bits) {
    return bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

bool IsConvertibleFloatWidth(unsigned bits) {
    return bits == 32 || bits == 64;
}

int16_t NarrowInt32(int32_t value) {
    return RoundShift<16>(value);
}

int16_t FloatTo16(double value) {
    if (std::isnan(value)) return 0;
    const double scaled = value * 32768.0;
    if (scaled >= 32767.0) return 32767;
    if (scaled <= -32768.0) return -32768;
    return int16_t(std::nearbyint(scaled)); // default rounding mode: nearest, ties to even
}

void ConvertIntegerTo16(const uint8_t* src, unsigned bits, size_t count, int16_t* dst) {
    switch (bits) {
    case 8:
        for (size_t i = 0; i < count; ++i)
            dst[i] = int16_t((int(src[i]) - 128) * 256);
        break;
    case 16:
        if (count > 0) std::memcpy(dst, src, count * 2);
        break;
    case 24:
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* p = src + 3 * i;
            const int32_t v =
                int32_t(uint32_t(p[0]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 24) >> 8;
            dst[i] = RoundShift<8>(v);
        }
        break;
    case 32:
        for (size_t i = 0; i < count; ++i) {
            int32_t v;
            std::memcpy(&v, src + 4 * i, 4);
            dst[i] = RoundShift<16>(v);
        }
        break;
    default:
        break;
    }
}

void ConvertFloatTo16(const uint8_t* src, unsigned bits, size_t count, int16_t* dst) {
    if (bits == 32) {
        for (size_t i = 0; i < count; ++i) {
            float v;
            std::memcpy(&v, src + 4 * i, 4);
            dst[i] = FloatTo16(v);
        }
    } else if (bits == 64) {
        for (size_t i = 0; i < count; ++i) {
            double v;
            std::memcpy(&v, src + 8 * i, 8);
            dst[i] = FloatTo16(v);
        }
    }
}

} // namespace orvella
