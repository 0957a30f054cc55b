// The real transform of length n runs as a complex transform of n/2 points on the
// pairs (x[2j], x[2j+1]) followed (forward) or preceded (inverse) by the split step
// that separates the spectra of the even and odd samples.
//
// The complex transform is a Stockham autosort FFT in split format (real and imaginary
// parts in separate arrays): radix-4 stages, plus one radix-2 stage at the end when the
// length is not a power of four. Each stage streams contiguously through both arrays,
// so its butterflies compile to vector code, and no bit-reversal pass is needed.
#include "velcora/realfft.h"

#include <cmath>

namespace velcora {

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;

// One radix-4 stage: y[q + s(4p + k)] = w^(pk) * sum_j x[q + s(p + jm)] * e^(sigma 2 pi i jk/4),
// with w = e^(sigma 2 pi i / span), m = span / 4, s = stride. Forward means sigma = +1.
template <bool Forward>
void radix4Stage(const float* __restrict xr, const float* __restrict xi, float* __restrict yr,
                 float* __restrict yi, int span, int stride, const float* __restrict tw) {
    const int m = span / 4;
    const float* w1r = tw;
    const float* w1i = tw + m;
    const float* w2r = tw + 2 * m;
    const float* w2i = tw + 3 * m;
    const float* w3r = tw + 4 * m;
    const float* w3i = tw + 5 * m;

    auto butterfly = [](float ar, float ai, float br, float bi, float cr, float ci, float dr,
                        float di, float& o0r, float& o0i, float& o1r, float& o1i, float& o2r,
                        float& o2i, float& o3r, float& o3i) {
        const float apcR = ar + cr, apcI = ai + ci;
        const float amcR = ar - cr, amcI = ai - ci;
        const float bpdR = br + dr, bpdI = bi + di;
        const float bmdR = br - dr, bmdI = bi - di;
        o0r = apcR + bpdR;
        o0i = apcI + bpdI;
        o2r = apcR - bpdR;
        o2i = apcI - bpdI;
        if (Forward) { // (a - c) + i (b - d) and (a - c) - i (b - d)
            o1r = amcR - bmdI;
            o1i = amcI + bmdR;
            o3r = amcR + bmdI;
            o3i = amcI - bmdR;
        } else {
            o1r = amcR + bmdI;
            o1i = amcI - bmdR;
            o3r = amcR - bmdI;
            o3i = amcI + bmdR;
        }
    };

    if (stride == 1) {
        for (int p = 0; p < m; ++p) {
            float o0r, o0i, o1r, o1i, o2r, o2i, o3r, o3i;
            butterfly(xr[p], xi[p], xr[p + m], xi[p + m], xr[p + 2 * m], xi[p + 2 * m],
                      xr[p + 3 * m], xi[p + 3 * m], o0r, o0i, o1r, o1i, o2r, o2i, o3r, o3i);
            yr[4 * p] = o0r;
            yi[4 * p] = o0i;
            yr[4 * p + 1] = o1r * w1r[p] - o1i * w1i[p];
            yi[4 * p + 1] = o1r * w1i[p] + o1i * w1r[p];
            yr[4 * p + 2] = o2r * w2r[p] - o2i * w2i[p];
            yi[4 * p + 2] = o2r * w2i[p] + o2i * w2r[p];
            yr[4 * p + 3] = o3r * w3r[p] - o3i * w3i[p];
            yi[4 * p + 3] = o3r * w3i[p] + o3i * w3r[p];
        }
        return;
    }

    const int s = stride;
    for (int p = 0; p < m; ++p) {
        const float c1r = w1r[p], c1i = w1i[p];
        const float c2r = w2r[p], c2i = w2i[p];
        const float c3r = w3r[p], c3i = w3i[p];
        const float* ar = xr + s * p;
        const float* ai = xi + s * p;
        const float* br = ar + s * m;
        const float* bi = ai + s * m;
        const float* cr = br + s * m;
        const float* ci = bi + s * m;
        const float* dr = cr + s * m;
        const float* di = ci + s * m;
        float* y0r = yr + s * 4 * p;
        float* y0i = yi + s * 4 * p;
        float* y1r = y0r + s;
        float* y1i = y0i + s;
        float* y2r = y1r + s;
        float* y2i = y1i + s;
        float* y3r = y2r + s;
        float* y3i = y2i + s;
        for (int q = 0; q < s; ++q) {
            float o0r, o0i, o1r, o1i, o2r, o2i, o3r, o3i;
            butterfly(ar[q], ai[q], br[q], bi[q], cr[q], ci[q], dr[q], di[q], o0r, o0i, o1r,
                      o1i, o2r, o2i, o3r, o3i);
            y0r[q] = o0r;
            y0i[q] = o0i;
            y1r[q] = o1r * c1r - o1i * c1i;
            y1i[q] = o1r * c1i + o1i * c1r;
            y2r[q] = o2r * c2r - o2i * c2i;
            y2i[q] = o2r * c2i + o2i * c2r;
            y3r[q] = o3r * c3r - o3i * c3i;
            y3i[q] = o3r * c3i + o3i * c3r;
        }
    }
}

// The closing radix-2 stage of span 2: its twiddles are all 1.
void radix2Stage(const float* __restrict xr, const float* __restrict xi, float* __restrict yr,
                 float* __restrict yi, int stride) {
    for (int q = 0; q < stride; ++q) {
        const float ar = xr[q], ai = xi[q], br = xr[q + stride], bi = xi[q + stride];
        yr[q] = ar + br;
        yi[q] = ai + bi;
        yr[q + stride] = ar - br;
        yi[q + stride] = ai - bi;
    }
}

} // namespace

void FftTables::build(int n) {
    n_ = n;
    half_ = n / 2;
    stageCount_ = 0;

    int twiddleTotal = 0;
    for (int span = half_, stride = 1; span >= 2;) {
        Stage& st = stages_[stageCount_++];
        st.radix = span >= 4 ? 4 : 2;
        st.span = span;
        st.stride = stride;
        st.twiddleAt = twiddleTotal;
        if (st.radix == 4)
            twiddleTotal += 6 * (span / 4);
        span /= st.radix;
        stride *= st.radix;
    }

    fwdTwiddles_.reset(static_cast<std::size_t>(twiddleTotal) + 1);
    invTwiddles_.reset(static_cast<std::size_t>(twiddleTotal) + 1);
    for (int i = 0; i < stageCount_; ++i) {
        const Stage& st = stages_[i];
        if (st.radix != 4)
            continue;
        const int m = st.span / 4;
        float* f = fwdTwiddles_.data() + st.twiddleAt;
        float* v = invTwiddles_.data() + st.twiddleAt;
        for (int k = 1; k <= 3; ++k) {
            for (int p = 0; p < m; ++p) {
                const double angle = kTwoPi * static_cast<double>(p) * k / st.span;
                const float c = static_cast<float>(std::cos(angle));
                const float s = static_cast<float>(std::sin(angle));
                f[(2 * k - 2) * m + p] = c;
                f[(2 * k - 1) * m + p] = s;
                v[(2 * k - 2) * m + p] = c;
                v[(2 * k - 1) * m + p] = -s;
            }
        }
    }

    const int quarter = n / 4;
    splitCos_.reset(static_cast<std::size_t>(quarter) + 1);
    splitSin_.reset(static_cast<std::size_t>(quarter) + 1);
    for (int k = 0; k <= quarter; ++k) {
        const double angle = kTwoPi * k / n;
        splitCos_[k] = static_cast<float>(std::cos(angle));
        splitSin_[k] = static_cast<float>(std::sin(angle));
    }
    if (quarter > 0) {
        splitCos_[quarter] = 0.0f; // exact, so the middle bin of the split step keeps its value
        splitSin_[quarter] = 1.0f;
    }

    bufA_.reset(static_cast<std::size_t>(2 * half_));
    bufB_.reset(static_cast<std::size_t>(2 * half_));
}

// Transforms the split-format content of bufA_; the result ends in bufA_ again.
void FftTables::complexTransform(bool forward) {
    float* src = bufA_.data();
    float* dst = bufB_.data();
    const int h = half_;
    for (int i = 0; i < stageCount_; ++i) {
        const Stage& st = stages_[i];
        if (st.radix == 4) {
            if (forward)
                radix4Stage<true>(src, src + h, dst, dst + h, st.span, st.stride,
                                  fwdTwiddles_.data() + st.twiddleAt);
            else
                radix4Stage<false>(src, src + h, dst, dst + h, st.span, st.stride,
                                   invTwiddles_.data() + st.twiddleAt);
        } else {
            radix2Stage(src, src + h, dst, dst + h, st.stride);
        }
        float* t = src;
        src = dst;
        dst = t;
    }
    if (src != bufA_.data()) {
        float* a = bufA_.data();
        for (int i = 0; i < 2 * h; ++i)
            a[i] = src[i];
    }
}

void realFFT(int n, int direction, float* data, FftTables& tables) {
    if (tables.length() != n)
        tables.build(n);
    const int h = n / 2;
    float* __restrict zr = tables.bufA_.data();
    float* __restrict zi = zr + h;
    const float* __restrict wr = tables.splitCos_.data();
    const float* __restrict ws = tables.splitSin_.data();

    if (direction > 0) {
        for (int j = 0; j < h; ++j) {
            zr[j] = data[2 * j];
            zi[j] = data[2 * j + 1];
        }
        tables.complexTransform(true);
        data[0] = zr[0] + zi[0];
        data[1] = zr[0] - zi[0];
        // X[k] = E[k] + W^k O[k], X[h-k] = conj(E[k] - W^k O[k]), W = e^(2 pi i / n).
        for (int k = 1; k <= h / 2; ++k) {
            const float ar = zr[k], ai = zi[k], br = zr[h - k], bi = zi[h - k];
            const float er = 0.5f * (ar + br), ei = 0.5f * (ai - bi);
            const float orr = 0.5f * (ai + bi), oi = 0.5f * (br - ar);
            const float tr = wr[k] * orr - ws[k] * oi;
            const float ti = wr[k] * oi + ws[k] * orr;
            data[2 * k] = er + tr;
            data[2 * k + 1] = ei + ti;
            data[2 * (h - k)] = er - tr;
            data[2 * (h - k) + 1] = ti - ei;
        }
        return;
    }

    zr[0] = 0.5f * (data[0] + data[1]);
    zi[0] = 0.5f * (data[0] - data[1]);
    // E[k] = (X[k] + conj X[h-k]) / 2, O[k] = (X[k] - conj X[h-k]) conj(W^k) / 2,
    // Z[k] = E[k] + i O[k], Z[h-k] = conj E[k] + i conj O[k].
    for (int k = 1; k <= h / 2; ++k) {
        const float xr = data[2 * k], xi = data[2 * k + 1];
        const float yr = data[2 * (h - k)], yi = data[2 * (h - k) + 1];
        const float er = 0.5f * (xr + yr), ei = 0.5f * (xi - yi);
        const float dr = xr - yr, di = xi + yi;
        const float orr = 0.5f * (dr * wr[k] + di * ws[k]);
        const float oi = 0.5f * (di * wr[k] - dr * ws[k]);
        zr[k] = er - oi;
        zi[k] = ei + orr;
        zr[h - k] = er + oi;
        zi[h - k] = orr - ei;
    }
    tables.complexTransform(false);
    for (int j = 0; j < h; ++j) {
        data[2 * j] = zr[j];
        data[2 * j + 1] = zi[j];
    }
}

} // namespace velcora
