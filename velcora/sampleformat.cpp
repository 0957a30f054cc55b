#include "velcora/sampleformat.h"

#include "velcora/simd.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace velcora {

namespace {

// 16-bit samples are the common case; on a little-endian host they are plain copies,
// which keeps the conversion loops vectorisable.
inline std::int16_t loadLittle16(const std::uint8_t* p) {
    if constexpr (std::endian::native == std::endian::little) {
        std::int16_t v;
        std::memcpy(&v, p, sizeof v);
        return v;
    } else {
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
    }
}

inline void storeLittle16(std::uint8_t* p, std::int16_t v) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(p, &v, sizeof v);
    } else {
        p[0] = static_cast<std::uint8_t>(v);
        p[1] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(v) >> 8);
    }
}

// The integer rounding rule in float, exact for limits within +-2^22: v = x * scale is
// exact, the magic-number addition rounds to nearest even, and a value exactly half way
// that went down is moved up, which gives floor(v + 0.5).
inline std::int32_t roundSmallToLimits(float x, float scale, float lower, float upper) {
    const float v = x * scale;
    float c = v <= lower ? lower : (v >= upper ? upper : v);
    c = c == c ? c : 0.0f;
    constexpr float kMagic = 12582912.0f; // 1.5 x 2^23
    const float even = (c + kMagic) - kMagic;
    const float rounded = c - even == 0.5f ? even + 1.0f : even;
    return static_cast<std::int32_t>(rounded);
}

} // namespace

bool isSampleFormat(std::uint32_t code) {
    return code == kUnsigned8 || code == kSigned16 || code == kSigned24 || code == kSigned32 ||
           code == kFloat32;
}

std::uint32_t sampleWidth(std::uint32_t code) {
    switch (code) {
    case kUnsigned8:
        return 1;
    case kSigned16:
        return 2;
    case kSigned24:
        return 3;
    case kSigned32:
    case kFloat32:
        return 4;
    default:
        return 2;
    }
}

std::int32_t roundToLimits(double v, double lower, double upper) {
    return roundToLimitsInline(v, lower, upper);
}

VELCORA_SIMD_CLONES void samplesToFloat(std::uint32_t code, const std::uint8_t* in, std::size_t n,
                                        float* out) {
    if (n == 0) return;
    switch (code) {
    case kUnsigned8:
        for (std::size_t i = 0; i < n; ++i)
            out[i] = static_cast<float>(static_cast<int>(in[i]) - 128) / 128.0f;
        break;
    case kSigned16:
        for (std::size_t i = 0; i < n; ++i)
            out[i] = static_cast<float>(loadLittle16(in + 2 * i)) / 32768.0f;
        break;
    case kSigned24:
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint8_t* b = in + 3 * i;
            std::int32_t s = b[0] | (b[1] << 8) | (b[2] << 16);
            if (s & 0x800000) s -= 0x1000000;
            out[i] = static_cast<float>(s) / 8388608.0f;
        }
        break;
    case kSigned32:
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint32_t u = static_cast<std::uint32_t>(in[4 * i]) |
                                    (static_cast<std::uint32_t>(in[4 * i + 1]) << 8) |
                                    (static_cast<std::uint32_t>(in[4 * i + 2]) << 16) |
                                    (static_cast<std::uint32_t>(in[4 * i + 3]) << 24);
            out[i] = static_cast<float>(static_cast<double>(static_cast<std::int32_t>(u)) /
                                        2147483648.0);
        }
        break;
    case kFloat32:
        std::memcpy(out, in, n * sizeof(float));
        break;
    default:
        std::memset(out, 0, n * sizeof(float));
        break;
    }
}

VELCORA_SIMD_CLONES void floatToSamples(std::uint32_t code, const float* in, std::size_t n,
                                        std::uint8_t* out) {
    if (n == 0) return;
    switch (code) {
    case kUnsigned8:
        for (std::size_t i = 0; i < n; ++i)
            out[i] =
                static_cast<std::uint8_t>(roundSmallToLimits(in[i], 128.0f, -128.0f, 127.0f) + 128);
        break;
    case kSigned16:
        for (std::size_t i = 0; i < n; ++i)
            storeLittle16(out + 2 * i, static_cast<std::int16_t>(roundSmallToLimits(
                                           in[i], 32768.0f, -32768.0f, 32767.0f)));
        break;
    case kSigned24:
        for (std::size_t i = 0; i < n; ++i) {
            // The 24-bit limits reach 2^23, beyond the float path's range.
            const std::uint32_t v = static_cast<std::uint32_t>(
                roundToLimitsInline(static_cast<double>(in[i]) * 8388608.0, -8388608.0, 8388607.0));
            out[3 * i] = static_cast<std::uint8_t>(v);
            out[3 * i + 1] = static_cast<std::uint8_t>(v >> 8);
            out[3 * i + 2] = static_cast<std::uint8_t>(v >> 16);
        }
        break;
    case kSigned32:
        for (std::size_t i = 0; i < n; ++i) {
            // The lower limit is -2147483647, symmetric with the upper one.
            const std::uint32_t v = static_cast<std::uint32_t>(roundToLimitsInline(
                static_cast<double>(in[i]) * 2147483648.0, -2147483647.0, 2147483647.0));
            out[4 * i] = static_cast<std::uint8_t>(v);
            out[4 * i + 1] = static_cast<std::uint8_t>(v >> 8);
            out[4 * i + 2] = static_cast<std::uint8_t>(v >> 16);
            out[4 * i + 3] = static_cast<std::uint8_t>(v >> 24);
        }
        break;
    case kFloat32:
        for (std::size_t i = 0; i < n; ++i) {
            const float half = in[i] * 0.5f;
            std::memcpy(out + 4 * i, &half, sizeof(float));
        }
        break;
    default:
        break;
    }
}

} // namespace velcora
