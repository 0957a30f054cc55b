#include "velcora/converterfactory.h"
#include "velcora/filterdesign.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace velcora {
namespace {

TEST(FilterDesign, KaiserParametersFor96Decibels) {
    EXPECT_NEAR(kaiserBeta(96.0), 9.62046, 1e-12);
    EXPECT_DOUBLE_EQ(lengthFactor(96.0), 6.131615598885794);
}

TEST(FilterDesign, KaiserParametersAtTheirBreakPoints) {
    EXPECT_EQ(kaiserBeta(21.0), 0.0);
    EXPECT_EQ(lengthFactor(21.0), 0.9222);
    EXPECT_NEAR(kaiserBeta(50.0), 0.5842 * std::pow(29.0, 0.4) + 0.07886 * 29.0, 1e-15);
    EXPECT_NEAR(kaiserBeta(50.0 + 1e-9), 0.1102 * (50.0 - 8.7), 1e-8);
}

TEST(FilterDesign, BesselI0ToDoubleAccuracy) {
    struct Case {
        double x, value;
    };
    // Reference values computed to 40 digits.
    for (const Case c :
         {Case{0.0, 1.0}, Case{1.0, 1.2660658777520083356}, Case{-1.0, 1.2660658777520083356},
          Case{8.5, 683.16192699011560928}, Case{9.625, 1973.6297004818187528},
          Case{12.5, 30596.335155785153612}, Case{30.0, 781672297823.97748972}})
        EXPECT_NEAR(besselI0(c.x), c.value, c.value * 4e-16) << c.x;
}

TEST(FilterDesign, PolyphaseTableLayout) {
    // 8000 -> 22050: Fp 3528000, 441 phases, transition between 4000 and 22050 Hz.
    const PolyphaseFilter f = buildPolyphaseFilter(3528000, 441, 8000, 44100, 96.0);
    ASSERT_EQ(f.length, 1199);
    ASSERT_EQ(f.taps, 3);
    const double beta = kaiserBeta(96.0);
    int reached = 0;
    for (int k = 0; k < f.phases * f.taps; ++k) {
        const int row = k % f.phases, col = k / f.phases;
        const float value = f.row(row)[col];
        if (k < f.length) {
            EXPECT_EQ(value, kaiserLowpassTap(k - 599, 1199, beta, 3528000, 13025, 441)) << k;
            ++reached;
        } else {
            EXPECT_EQ(value, 0.0f) << k; // padding no tap reaches
        }
    }
    EXPECT_EQ(reached, 1199);
    // Symmetric prototype, end taps carry the window's 1 / I0(beta).
    EXPECT_EQ(f.row(0)[0], f.row(1198 % 441)[1198 / 441]);
}

TEST(FilterDesign, FftFilterSpectrumIsTheTransformOfItsTaps) {
    FftTables tables;
    const FftFilter f =
        buildFftFilter(44100, FftCutoffRule{4000.0, 0.0}, 1.0, 96.0, 1024, 8000.0, tables);
    ASSERT_EQ(f.length, 1023);
    ASSERT_EQ(f.fftSize, 2048);
    EXPECT_EQ(tables.length(), 2048);
    // Undo the transform and compare the taps, which carry the factor 2 / M.
    std::vector<float> taps(f.spectrum.data(), f.spectrum.data() + 2048);
    realFFT(2048, -1, taps.data(), tables);
    const double beta = kaiserBeta(96.0);
    for (int i = 0; i < 2048; ++i) {
        const double expected =
            i < 1023 ? kaiserLowpassTap(i - 511, 1023, beta, 44100, 4000, 2.0 / 2048) * 1024.0
                     : 0.0;
        ASSERT_NEAR(taps[i], expected, 1e-7) << i; // float round trip of values below 0.07
    }
    // DC gain of the spectrum times M / 2 is the filter's pass-band gain, 1.
    EXPECT_NEAR(f.spectrum[0] * 1024.0, 1.0, 1e-5);
}

TEST(FilterDesign, FftFilterDoublesUntilTheTransitionFits) {
    FftTables tables;
    // D x 1400000 / 1022 = 8399 Hz: too wide, so the length doubles to 2047.
    const FftFilter f =
        buildFftFilter(1400000, FftCutoffRule{0.0, 22050.0}, 3.0, 96.0, 1024, 8000.0, tables);
    EXPECT_EQ(f.length, 2047);
    EXPECT_EQ(f.fftSize, 4096);
    EXPECT_NEAR(f.width, lengthFactor(96.0) * 1400000 / 2046, 1e-9);
    EXPECT_NEAR(f.cutoff, (22050.0 - f.width) / 2, 1e-9);
}

TEST(FilterDesign, ApplySpectrumIsTheComplexProductPerBin) {
    const int m = 64;
    std::vector<float> block(m), spectrum(m);
    for (int i = 0; i < m; ++i) {
        block[i] = std::sin(0.37f * i) * 3.0f;
        spectrum[i] = std::cos(0.91f * i + 0.2f) * 0.7f;
    }
    std::vector<float> result = block;
    applySpectrum(result.data(), spectrum.data(), m);
    EXPECT_EQ(result[0], block[0] * spectrum[0]);
    EXPECT_EQ(result[1], block[1] * spectrum[1]);
    for (int k = 1; k < m / 2; ++k) {
        const float br = block[2 * k], bi = block[2 * k + 1];
        const float sr = spectrum[2 * k], si = spectrum[2 * k + 1];
        const float pr = sr * br, qr = si * bi, pi = si * br, qi = sr * bi;
        EXPECT_EQ(result[2 * k], pr - qr) << k;
        EXPECT_EQ(result[2 * k + 1], pi + qi) << k;
    }
}

TEST(FilterDesign, FoldedProductIsTheFoldOfTheProduct) {
    const int m = 128, h = m / 2, q = m / 4;
    std::vector<float> block(m), spectrum(m);
    for (int i = 0; i < m; ++i) {
        block[i] = std::sin(0.53f * i) * 2.0f;
        spectrum[i] = std::cos(0.29f * i + 0.4f);
    }
    std::vector<float> product = block;
    applySpectrum(product.data(), spectrum.data(), m);
    std::vector<float> folded(h);
    applySpectrumFolded(block.data(), spectrum.data(), m, folded.data());
    EXPECT_EQ(folded[0], product[0] + product[1]);
    EXPECT_EQ(folded[1], 2.0f * product[2 * q]);
    for (int k = 1; k < q; ++k) {
        EXPECT_EQ(folded[2 * k], product[2 * k] + product[2 * (h - k)]) << k;
        EXPECT_EQ(folded[2 * k + 1], product[2 * k + 1] - product[2 * (h - k) + 1]) << k;
    }
}

TEST(RatioSupport, Table) {
    struct Case {
        std::uint32_t src, dst;
        bool supported;
    };
    for (const Case c :
         {Case{8000, 22050, true}, Case{48000, 22050, true}, Case{37800, 22050, false},
          Case{25200, 22050, false}, Case{22050, 22050, true}, Case{11025, 22050, true},
          Case{22050, 8000, true}, Case{0, 22050, false}, Case{22050, 0, false},
          // Coprime pairs: the polyphase rate 46338 x 46339 is below 2^31,
          // 46341 x 46342 (46341 a multiple of 3) is above it.
          Case{46338, 46339, true}, Case{46339, 46338, true}, Case{46341, 46342, false}})
        EXPECT_EQ(isRatioSupported(c.src, c.dst), c.supported) << c.src << " -> " << c.dst;
}

} // namespace
} // namespace velcora
