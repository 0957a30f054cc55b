#include "codecs/wavpayload/pcmconvert.h"

#include <bit>
#include <cstring>

namespace orvella {

static_assert(std::endian::native == std::endian::little,
              "the conversions read and write little-endian samples in place");

using pcmconvert_detail::RoundShift;

bool IsConvertibleIntegerWidth(unsigned bits) {
    return bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

bool IsConvertibleFloatWidth(unsigned bits) {
    return bits == 32 || bits == 64;
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
