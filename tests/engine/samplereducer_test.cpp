#include "engine/samplereducer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace orvella {
namespace {

// TPDF dither on a value between steps: the error has mean zero, stays within one step either
// side (plus the half step rounding adds), and is white (no correlation from one value to the
// next).
TEST(SampleReducerTest, DitherIsZeroMeanBoundedAndWhite) {
    for (const int bits : {16, 24}) {
        SCOPED_TRACE(bits);
        TSampleReducer reducer(bits, true);
        const double scale = std::ldexp(1.0, bits - 1);
        const float value = float(1000.3 / scale);
        const int n = 200000;
        std::vector<double> error(n);
        double sum = 0;
        for (int i = 0; i < n; ++i) {
            error[i] = reducer.Reduce(value) - double(value) * scale;
            EXPECT_LE(std::abs(error[i]), 1.5);
            sum += error[i];
        }
        const double mean = sum / n;
        EXPECT_LT(std::abs(mean), 0.01);
        double variance = 0, lag = 0;
        for (int i = 0; i < n; ++i) {
            variance += (error[i] - mean) * (error[i] - mean);
            if (i > 0) lag += (error[i] - mean) * (error[i - 1] - mean);
        }
        EXPECT_LT(std::abs(lag / variance), 0.01);
        // TPDF of ±1 step plus rounding: a variance near 1/6 + 1/12 of a step squared.
        EXPECT_NEAR(variance / n, 0.25, 0.03);
    }
}

TEST(SampleReducerTest, ValuesOnTheGridPassAndOversAreLimitedAndCounted) {
    TSampleReducer dithered(16, true), plain(16, false);
    for (TSampleReducer* r : {&dithered, &plain}) {
        EXPECT_EQ(r->Reduce(0.5f), 16384);
        EXPECT_EQ(r->Reduce(-1.0f), -32768);
        EXPECT_EQ(r->Reduce(1.0f), 32767); // full scale is not an over
        EXPECT_EQ(r->Reduce(std::nanf("")), 0);
        EXPECT_EQ(r->Reduce(2.0f), 32767);
        EXPECT_EQ(r->Reduce(-1.5f), -32768);
        EXPECT_EQ(r->Clipped(), 2u);
    }
    // Without dither: nearest, ties to even.
    EXPECT_EQ(plain.Reduce(2.5f / 32768), 2);
    EXPECT_EQ(plain.Reduce(3.5f / 32768), 4);
    TSampleReducer wide(24, false);
    EXPECT_EQ(wide.Reduce(float(0x123456) / 8388608), 0x123456);
    EXPECT_EQ(wide.Reduce(1.0f), 0x7FFFFF);
}

} // namespace
} // namespace orvella
