#include "velcora/filterdesign.h"

#include "velcora/simd.h"

#include <cmath>
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace velcora {

namespace {
constexpr double kPi = 3.141592653589793238462643383279502884;
}

double kaiserBeta(double attenuation) {
    if (attenuation <= 21.0) return 0.0;
    if (attenuation <= 50.0) {
        const double a = attenuation - 21.0;
        return 0.5842 * std::pow(a, 0.4) + 0.07886 * a;
    }
    return 0.1102 * (attenuation - 8.7);
}

double lengthFactor(double attenuation) {
    if (attenuation <= 21.0) return 0.9222;
    return (attenuation - 7.95) * 0.06963788300835655;
}

// Power series sum ((x/2)^k / k!)^2: every term is positive, so summing in extended
// precision gives the value to within rounding of the final double.
double besselI0(double x) {
    const long double q = static_cast<long double>(x) * x / 4.0L;
    long double term = 1.0L;
    long double sum = 1.0L;
    for (int k = 1; k < 1000; ++k) {
        term *= q / (static_cast<long double>(k) * k);
        sum += term;
        if (term < sum * 1e-21L) break;
    }
    return static_cast<double>(sum);
}

namespace {

// The tap with I0(beta) computed once by the caller.
float lowpassTap(long i, long length, double beta, double i0Beta, double rate, double cutoff,
                 double gain) {
    double window = 1.0;
    if (length > 1) {
        const double ratio = 2.0 * static_cast<double>(i) / static_cast<double>(length - 1);
        const double inside = std::fmax(0.0, 1.0 - ratio * ratio);
        window = besselI0(beta * std::sqrt(inside)) / i0Beta;
    }
    const double x = 2.0 * kPi * cutoff * static_cast<double>(i) / rate;
    const double sinc = i == 0 ? 1.0 : std::sin(x) / x;
    const double h = 2.0 * cutoff / rate * sinc;
    return static_cast<float>(window * h * gain);
}

} // namespace

float kaiserLowpassTap(long i, long length, double beta, double rate, double cutoff, double gain) {
    return lowpassTap(i, length, beta, besselI0(beta), rate, cutoff, gain);
}

int oversamplingFactor(std::uint32_t r) {
    if (r == 1) return 1;
    if (r % 2 == 0) return 2;
    if (r % 3 == 0) return 3;
    return 0;
}

std::uint32_t greatestCommonDivisor(std::uint32_t a, std::uint32_t b) {
    while (b != 0) {
        const std::uint32_t t = a % b;
        a = b;
        b = t;
    }
    return a;
}

PolyphaseFilter buildPolyphaseFilter(std::int64_t fp, int phases, std::int64_t fs, std::int64_t ff,
                                     double attenuation) {
    PolyphaseFilter f;
    const std::int64_t m = fs / 2;
    const std::int64_t o = ff / 2;
    const double df = static_cast<double>(o - m);
    if (df <= 0.0 || phases <= 0) return f;
    const double cutoff = static_cast<double>(m) + df / 2.0;
    const double lengthReal =
        std::floor(static_cast<double>(fp) / df * lengthFactor(attenuation) + 1.0);
    if (!(lengthReal < static_cast<double>(kMaxPolyphaseLength))) return f;
    long length = static_cast<long>(lengthReal);
    if (length % 2 == 0) ++length;

    f.length = static_cast<int>(length);
    f.phases = phases;
    f.taps = static_cast<int>(length / phases + 1);
    f.table.reset(static_cast<std::size_t>(phases) * static_cast<std::size_t>(f.taps));

    const double beta = kaiserBeta(attenuation);
    const double i0Beta = besselI0(beta);
    const long halfSpan = (length - 1) / 2;
    for (long i = -halfSpan; i <= halfSpan; ++i) {
        const long k = i + halfSpan;
        f.table[static_cast<std::size_t>((k % phases) * f.taps + k / phases)] = lowpassTap(
            i, length, beta, i0Beta, static_cast<double>(fp), cutoff, static_cast<double>(phases));
    }
    return f;
}

FftFilter buildFftFilter(double ff, FftCutoffRule rule, double gain, double attenuation,
                         int startLength, double transitionWidth, FftTables& tables) {
    FftFilter f;
    if (startLength <= 0 || !(transitionWidth > 0.0) || !(ff > 0.0)) return f;
    const double factor = lengthFactor(attenuation);
    long length = 0;
    double width = 0.0;
    for (long mult = 1;; mult *= 2) {
        length = static_cast<long>(startLength) * mult;
        if (length > kMaxFftFilterLength) return f;
        if (length % 2 == 0) --length;
        width = factor * ff / static_cast<double>(length - 1);
        if (width < transitionWidth) break;
    }

    long fftSize = 1;
    while (fftSize < length)
        fftSize *= 2;
    fftSize *= 2;

    f.length = static_cast<int>(length);
    f.fftSize = static_cast<int>(fftSize);
    f.width = width;
    f.cutoff = rule.cutoff(width);
    f.spectrum.reset(static_cast<std::size_t>(fftSize));

    const double beta = kaiserBeta(attenuation);
    const double i0Beta = besselI0(beta);
    const double tapGain = gain * 2.0 / static_cast<double>(fftSize);
    const long halfSpan = (length - 1) / 2;
    for (long i = -halfSpan; i <= halfSpan; ++i)
        f.spectrum[static_cast<std::size_t>(i + halfSpan)] =
            lowpassTap(i, length, beta, i0Beta, ff, f.cutoff, tapGain);

    realFFT(f.fftSize, 1, f.spectrum.data(), tables);
    pairSpectrum(f.fftSize, f.spectrum.data(), f.pairedSpectrum);
    return f;
}

#if defined(__x86_64__)
// Four complex products per vector: (sr br - si bi, sr bi + si br), each product rounded
// on its own as in the scalar loop. Returns the first pair left to do.
__attribute__((target("avx2"))) static int
applySpectrumAvx2(float* __restrict block, const float* __restrict spectrum, int half) {
    int k = 1;
    for (; k + 4 <= half; k += 4) {
        const __m256 b = _mm256_loadu_ps(block + 2 * k);
        const __m256 s = _mm256_loadu_ps(spectrum + 2 * k);
        const __m256 sre = _mm256_moveldup_ps(s);
        const __m256 sim = _mm256_movehdup_ps(s);
        const __m256 swapped = _mm256_permute_ps(b, 0xB1);
        _mm256_storeu_ps(block + 2 * k,
                         _mm256_addsub_ps(_mm256_mul_ps(sre, b), _mm256_mul_ps(sim, swapped)));
    }
    return k;
}

// Four complex products of block and spectrum pairs, as in applySpectrumAvx2.
__attribute__((target("avx2"))) static inline __m256 productAvx2(const float* b, const float* s) {
    const __m256 vb = _mm256_loadu_ps(b);
    const __m256 vs = _mm256_loadu_ps(s);
    return _mm256_addsub_ps(_mm256_mul_ps(_mm256_moveldup_ps(vs), vb),
                            _mm256_mul_ps(_mm256_movehdup_ps(vs), _mm256_permute_ps(vb, 0xB1)));
}

// The folded product for k = 1 .. four pairs at a time: the products at k and at the
// mirrored h - k (h = fftSize / 2), then (re + re', im - im'). Returns the first k left.
__attribute__((target("avx2"))) static int applySpectrumFoldedAvx2(const float* __restrict block,
                                                                   const float* __restrict spectrum,
                                                                   int h, float* __restrict out) {
    const int q = h / 2;
    const __m256 negate = _mm256_set1_ps(-0.0f);
    int k = 1;
    for (; k + 4 <= q; k += 4) {
        const __m256 direct = productAvx2(block + 2 * k, spectrum + 2 * k);
        __m256 mirror = productAvx2(block + 2 * (h - k - 3), spectrum + 2 * (h - k - 3));
        // Pairs h-k-3 .. h-k reversed into the order of k .. k+3.
        mirror = _mm256_permute_ps(_mm256_permute2f128_ps(mirror, mirror, 1), 0x4E);
        _mm256_storeu_ps(out + 2 * k, _mm256_addsub_ps(direct, _mm256_xor_ps(mirror, negate)));
    }
    return k;
}

static bool spectrumAvx2() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}
#endif

void applySpectrum(float* __restrict block, const float* __restrict spectrum, int fftSize) {
    block[0] *= spectrum[0];
    block[1] *= spectrum[1];
    const int half = fftSize / 2;
    int first = 1;
#if defined(__x86_64__)
    if (spectrumAvx2()) first = applySpectrumAvx2(block, spectrum, half);
#endif
    for (int k = first; k < half; ++k) {
        const float br = block[2 * k], bi = block[2 * k + 1];
        const float sr = spectrum[2 * k], si = spectrum[2 * k + 1];
        block[2 * k] = sr * br - si * bi;
        block[2 * k + 1] = si * br + sr * bi;
    }
}

void applySpectrumFolded(const float* __restrict block, const float* __restrict spectrum,
                         int fftSize, float* __restrict folded) {
    const int h = fftSize / 2;
    const int q = fftSize / 4;
    auto productRe = [&](int k) {
        return spectrum[2 * k] * block[2 * k] - spectrum[2 * k + 1] * block[2 * k + 1];
    };
    auto productIm = [&](int k) {
        return spectrum[2 * k + 1] * block[2 * k] + spectrum[2 * k] * block[2 * k + 1];
    };
    folded[0] = block[0] * spectrum[0] + block[1] * spectrum[1];
    folded[1] = 2.0f * productRe(q);
    int first = 1;
#if defined(__x86_64__)
    if (spectrumAvx2()) first = applySpectrumFoldedAvx2(block, spectrum, h, folded);
#endif
    for (int k = first; k < q; ++k) {
        folded[2 * k] = productRe(k) + productRe(h - k);
        folded[2 * k + 1] = productIm(k) - productIm(h - k);
    }
}

} // namespace velcora
