#include "velcora/realfft.h"

#include "velcora/filterdesign.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace velcora {
namespace {

// Direct evaluation of the packed forward transform, in double.
std::vector<double> directTransform(const std::vector<float>& x) {
    const std::size_t n = x.size();
    std::vector<double> out(n);
    auto bin = [&](std::size_t k, double& re, double& im) {
        re = im = 0.0;
        for (std::size_t j = 0; j < n; ++j) {
            const double a = 2.0 * M_PI * static_cast<double>((j * k) % n) / static_cast<double>(n);
            re += x[j] * std::cos(a);
            im += x[j] * std::sin(a);
        }
    };
    double re, im;
    bin(0, re, im);
    out[0] = re;
    bin(n / 2, re, im);
    out[1] = re;
    for (std::size_t k = 1; k < n / 2; ++k) {
        bin(k, re, im);
        out[2 * k] = re;
        out[2 * k + 1] = im;
    }
    return out;
}

TEST(RealFft, EightPointExampleForwardAndInverse) {
    std::vector<float> x{1, 2, -0.5f, 3, 0.25f, -1, 2, 0.75f};
    FftTables tables;
    realFFT(8, 1, x.data(), tables);
    const double expected[8] = {7.5,   -2,    1.2803300858899107, 1.2123106012293743,
                                -0.25, -2.75, 0.2196699141100893, 6.2123106012293743};
    for (int i = 0; i < 8; ++i)
        EXPECT_NEAR(x[i], expected[i], 1e-6) << i;
    realFFT(8, -1, x.data(), tables);
    const float times4[8] = {4, 8, -2, 12, 1, -4, 8, 3};
    for (int i = 0; i < 8; ++i)
        EXPECT_NEAR(x[i], times4[i], 1e-5) << i;
}

TEST(RealFft, TwoPointsAreSumAndDifference) {
    float x[2] = {3.0f, -1.25f};
    FftTables tables;
    realFFT(2, 1, x, tables);
    EXPECT_EQ(x[0], 1.75f);
    EXPECT_EQ(x[1], 4.25f);
    realFFT(2, -1, x, tables);
    EXPECT_EQ(x[0], 3.0f);
    EXPECT_EQ(x[1], -1.25f);
}

TEST(RealFft, ConstantAndAlternatingInputs) {
    const int n = 64;
    FftTables tables;
    std::vector<float> c(n, 0.5f);
    realFFT(n, 1, c.data(), tables);
    EXPECT_NEAR(c[0], n * 0.5f, 1e-5);
    for (int i = 1; i < n; ++i)
        EXPECT_NEAR(c[i], 0.0f, 1e-5) << i;

    std::vector<float> a(n);
    for (int j = 0; j < n; ++j)
        a[j] = j % 2 == 0 ? 1.0f : -1.0f;
    realFFT(n, 1, a.data(), tables);
    EXPECT_NEAR(a[1], n, 1e-5);
    EXPECT_NEAR(a[0], 0.0f, 1e-5);
    for (int i = 2; i < n; ++i)
        EXPECT_NEAR(a[i], 0.0f, 1e-5) << i;
}

// Every length exercises a different mix of radix-4 and radix-2 stages.
class RealFftLength : public ::testing::TestWithParam<int> {};

TEST_P(RealFftLength, MatchesDirectTransformAndRoundTrips) {
    const int n = GetParam();
    std::mt19937 rng(n);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> x(n);
    for (float& v : x)
        v = dist(rng);
    const std::vector<double> expected = directTransform(x);

    FftTables tables;
    std::vector<float> y = x;
    realFFT(n, 1, y.data(), tables);
    // Float rounding grows with log n; the values are sums of n terms of size <= 1.
    const double tolerance = 2e-6 * std::sqrt(static_cast<double>(n)) * std::log2(2.0 * n);
    for (int i = 0; i < n; ++i)
        ASSERT_NEAR(y[i], expected[i], tolerance) << "n=" << n << " i=" << i;

    realFFT(n, -1, y.data(), tables);
    for (int i = 0; i < n; ++i)
        ASSERT_NEAR(y[i], x[i] * (n / 2), tolerance * n / 2 / std::sqrt(n)) << i;
}

// The AVX-512 kernels do the AVX2 kernels' operations lane for lane: both give the same bits,
// in the plain transforms and in the convolutions.
TEST_P(RealFftLength, WideKernelsGiveTheSameBitsAsNarrowOnes) {
    const int n = GetParam();
    FftTables wide, narrow;
    wide.build(n);
    narrow.build(n);
    if (!wide.avx512_) GTEST_SKIP() << "the processor has no AVX-512";
    narrow.avx512_ = false;
    std::mt19937 rng(n + 1);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> a(n);
    for (float& v : a)
        v = dist(rng);
    std::vector<float> b = a;
    for (int direction : {1, -1}) {
        realFFT(n, direction, a.data(), wide);
        realFFT(n, direction, b.data(), narrow);
        ASSERT_EQ(a, b) << "direction " << direction;
    }

    // The convolutions, with the zero upper half and the fused bin pairs, both layouts.
    std::vector<float> x(n, 0.0f), spectrum(n);
    for (int i = 0; i < n / 2; ++i)
        x[i] = dist(rng);
    for (float& v : spectrum)
        v = dist(rng);
    AlignedArray<float> paired;
    pairSpectrum(n, spectrum.data(), paired);
    FftTables wideHalf, narrowHalf;
    wideHalf.build(n / 2);
    narrowHalf.build(n / 2);
    narrowHalf.avx512_ = false;
    const float* const layouts[] = {nullptr, paired.data()};
    for (const float* layout : layouts) {
        SCOPED_TRACE(layout == nullptr ? "packed" : "paired");
        std::vector<float> w = x, v = x;
        realConvolve(n, w.data(), spectrum.data(), wide, layout);
        realConvolve(n, v.data(), spectrum.data(), narrow, layout);
        EXPECT_EQ(w, v);
        if (n < 4) continue;
        std::vector<float> wideEven(n / 2), narrowEven(n / 2);
        w = x;
        v = x;
        realConvolveEven(n, w.data(), spectrum.data(), wideEven.data(), wide, wideHalf, layout);
        realConvolveEven(n, v.data(), spectrum.data(), narrowEven.data(), narrow, narrowHalf,
                         layout);
        EXPECT_EQ(wideEven, narrowEven);
    }
}

INSTANTIATE_TEST_SUITE_P(PowersOfTwo, RealFftLength,
                         ::testing::Values(4, 8, 16, 32, 64, 128, 256, 1024, 2048, 4096));

// The padded forward transform ignores whatever the upper half holds; the even-value
// inverse returns what the full inverse leaves at the even positions.
TEST_P(RealFftLength, PaddedForwardAndEvenInverseMatchTheFullTransforms) {
    const int n = GetParam();
    std::mt19937 rng(n + 1);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> x(n, 0.0f);
    for (int i = 0; i < n / 2; ++i)
        x[i] = dist(rng);
    FftTables tables, halfTables;
    std::vector<float> full = x;
    realFFT(n, 1, full.data(), tables);
    std::vector<float> padded = x;
    for (int i = n / 2; i < n; ++i)
        padded[i] = 1e6f; // garbage that must not matter
    realFFTUpperHalfZero(n, padded.data(), tables);
    for (int i = 0; i < n; ++i)
        ASSERT_NEAR(padded[i], full[i], 1e-5 * std::sqrt(n)) << i;

    std::vector<float> inverse = full;
    realFFT(n, -1, inverse.data(), tables);
    std::vector<float> even(n / 2);
    realInverseEven(n, full.data(), even.data(), halfTables);
    for (int j = 0; j < n / 2; ++j)
        ASSERT_NEAR(even[j], inverse[2 * j], 1e-5 * n) << j;
}

// The fused convolutions give the values of the separate passes.
TEST_P(RealFftLength, FusedConvolutionMatchesTheSeparatePasses) {
    const int n = GetParam();
    std::mt19937 rng(n + 2);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> x(n, 0.0f), spectrum(n);
    for (int i = 0; i < n / 2; ++i)
        x[i] = dist(rng);
    for (float& v : spectrum)
        v = dist(rng);
    FftTables tables, halfTables;
    std::vector<float> separate = x;
    realFFTUpperHalfZero(n, separate.data(), tables);
    std::vector<float> product = separate;
    applySpectrum(product.data(), spectrum.data(), n);
    std::vector<float> folded(n / 2);
    applySpectrumFolded(separate.data(), spectrum.data(), n, folded.data());
    realFFT(n, -1, product.data(), tables);
    realFFT(n / 2, -1, folded.data(), halfTables);

    // Without and with the paired layout of the spectrum.
    AlignedArray<float> paired;
    pairSpectrum(n, spectrum.data(), paired);
    const float* const layouts[] = {nullptr, paired.data()};
    for (const float* layout : layouts) {
        SCOPED_TRACE(layout == nullptr ? "packed" : "paired");
        std::vector<float> fused = x;
        realConvolve(n, fused.data(), spectrum.data(), tables, layout);
        EXPECT_EQ(fused, product);
        std::vector<float> even(n / 2);
        std::vector<float> input = x;
        realConvolveEven(n, input.data(), spectrum.data(), even.data(), tables, halfTables, layout);
        EXPECT_EQ(even, folded);
    }
}

TEST(RealFft, TablesFollowTheLength) {
    FftTables tables;
    std::vector<float> a(16, 1.0f), b(32, 1.0f);
    realFFT(16, 1, a.data(), tables);
    realFFT(32, 1, b.data(), tables);
    EXPECT_EQ(tables.length(), 32);
    EXPECT_NEAR(a[0], 16.0f, 1e-5);
    EXPECT_NEAR(b[0], 32.0f, 1e-5);
}

} // namespace
} // namespace velcora
