// The float conversion against its definition, over every rounding case of the range.

#include "codecs/wavpayload/pcmconvert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace orvella::test {
namespace {

// The float rule by its definition: nearest, ties to even, limited, NaN to 0.
int16_t FloatReference(double value) {
    if (std::isnan(value)) return 0;
    const double r = std::nearbyint(value * 32768.0);
    return int16_t(r > 32767 ? 32767 : r < -32768 ? -32768 : r);
}

TEST(PcmConvert, FloatTo16RoundsEveryHalfStepAndQuarterStepAsDefined) {
    // Every multiple of a quarter step from beyond -full scale to beyond +full scale: whole
    // values, ties either way and values either side of them.
    for (int k = -4 * 32770; k <= 4 * 32770; ++k) {
        const double value = k / (4.0 * 32768.0);
        ASSERT_EQ(FloatTo16(value), FloatReference(value)) << k << " quarter steps";
        ASSERT_EQ(FloatTo16(float(value)), FloatReference(float(value))) << k;
    }
    const double inf = std::numeric_limits<double>::infinity();
    for (const double value : {std::nan(""), inf, -inf, 1e300, -1e300, 32767.4999 / 32768,
                               -32768.5 / 32768, std::nextafter(0.5, 1.0) / 32768})
        EXPECT_EQ(FloatTo16(value), FloatReference(value)) << value;
}

} // namespace
} // namespace orvella::test
