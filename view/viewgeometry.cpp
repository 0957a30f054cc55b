#include "view/viewgeometry.h"

#include <algorithm>
#include <cstdio>

namespace orvella::view {

uint32_t SamplesToMs(uint32_t frames, uint32_t sampleRate) {
    if (sampleRate == 0) return 0;
    return uint32_t(RoundEven(double(frames) / double(sampleRate) * 1000.0));
}

uint32_t MsToSamples(uint32_t ms, uint32_t sampleRate) {
    return uint32_t(RoundEven(double(ms) / 1000.0 * double(sampleRate)));
}

TLaneGeometry LaneGeometryOf(int height, int lanes) {
    TLaneGeometry g;
    g.Lanes = std::clamp(lanes, 1, MaxLanes);
    const int n = g.Lanes;
    g.Scale = 32768.0 / height * 3 * n;
    g.FullScale = int(RoundEven(32768.0 / g.Scale));
    const double half = double(height - RulerHeight) / (2.0 * n);
    for (int i = 0; i < n; ++i) {
        g.Centre[i] = int(RoundEven(half * (2 * i + 1))) + RulerHeight;
        g.Separator[i] = int(RoundEven(half * (2 * i + 2))) + RulerHeight;
    }
    return g;
}

TBand SelectionBand(uint32_t selStart, uint32_t selStop, uint32_t viewStart, uint32_t viewEnd,
                    int waveWidth) {
    const uint32_t span = viewEnd - viewStart;
    if (span == 0 || viewEnd < viewStart) return {};
    const bool touches = (viewStart <= selStart && selStart <= viewEnd) ||
                         (viewStart <= selStop && selStop <= viewEnd) ||
                         (selStart < viewStart && selStop > viewEnd);
    if (!touches) return {};
    const double p = double(waveWidth) / double(span);
    TBand band;
    band.X1 = selStart < viewStart ? 0 : int(RoundEven(double(selStart - viewStart) * p));
    band.X2 = selStop > viewEnd ? waveWidth : int(RoundEven(double(selStop - viewStart) * p));
    return band;
}

int CursorColumn(uint32_t cursorPos, uint32_t viewStart, uint32_t viewEnd, int waveWidth) {
    if (!(viewStart < cursorPos && cursorPos < viewEnd)) return -1;
    return int(RoundEven(double(cursorPos - viewStart) *
                         (double(waveWidth) / double(viewEnd - viewStart))));
}

int PlayCursorColumn(uint32_t cursorPos, uint32_t viewStart, uint32_t viewSpan, int waveWidth) {
    if (viewSpan == 0) return -1;
    const int64_t product = (int64_t(cursorPos) - int64_t(viewStart)) * int64_t(waveWidth);
    return int(RoundEven(double(product) / double(viewSpan)));
}

std::string RulerTimeText(int64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld.%02lld", static_cast<long long>(ms / 60000),
                  static_cast<long long>((ms % 60000) / 1000),
                  static_cast<long long>((ms % 1000) / 10));
    return text;
}

namespace {

// The labels x, x + tick, ... while left of the scale strip (the first always), or count of them
// when count >= 0. A tick of 0 pixels would never leave the area: the loop stops after one label.
template <class TextOf>
std::vector<TRulerLabel> LayOut(int x, int64_t tick, int waveWidth, int64_t count, TextOf textOf) {
    std::vector<TRulerLabel> labels;
    const double d = double(tick) / 10.0;
    for (int64_t i = 0;; ++i) {
        if (count >= 0 ? i > count : (i > 0 && x >= waveWidth)) break;
        TRulerLabel label;
        label.X = x;
        for (int k = 1; k <= 9; ++k)
            label.Minor[k - 1] = int(RoundEven(k * d + x));
        label.Text = textOf(i);
        labels.push_back(std::move(label));
        if (tick <= 0 && count < 0) break;
        x += int(tick);
    }
    return labels;
}

} // namespace

std::vector<TRulerLabel> MsRuler(uint32_t viewStart, uint32_t viewEnd, uint32_t sampleRate,
                                 int waveWidth) {
    if (sampleRate == 0 || waveWidth <= 0) return {};
    const double t0 = double(viewStart) / sampleRate * 1000.0;
    const double t1 = double(viewEnd) / sampleRate * 1000.0;
    const double span = t1 - t0;
    const int64_t f = std::max<int64_t>(int64_t(span / 6), 10);
    const int64_t base = f > 300000 ? 300 : f > 60000 ? 60 : 5;
    int64_t m = 1;
    while (f / (base * m) > 0)
        m *= 10;
    if (m >= 10) m /= 10;
    int64_t step = f - f % (base * m);
    if (step == 0) step = f;
    double q = span / waveWidth;
    if (q == 0) q = 1e-10;
    const int64_t tick = int64_t(double(step) / q);
    int64_t t = int64_t(t0 / double(step)) * step;
    int64_t x = int64_t((double(t) - t0) / q);
    if (x > 0) {
        x -= tick;
        t -= step;
    }
    return LayOut(int(x), tick, waveWidth, -1,
                  [&](int64_t i) { return RulerTimeText(t + i * step); });
}

std::vector<TRulerLabel> FrameRuler(uint32_t viewStart, uint32_t viewEnd, int waveWidth) {
    if (waveWidth <= 0 || viewEnd < viewStart) return {};
    const uint32_t span = viewEnd - viewStart;
    const int64_t f = int64_t(span / 5.0);
    const int64_t base = span > 10000 ? 5000 : 500;
    int64_t step = (f / base) * base;
    if (step == 0) step = f;
    if (step == 0) step = 1;
    int64_t count = int64_t(double(span) / double(step));
    double q = double(span) / waveWidth;
    if (q == 0) q = 1.0;
    const int64_t tick = int64_t(double(step) / q);
    int64_t t = int64_t(double(viewStart) / double(step)) * step;
    int64_t x = int64_t((double(t) - double(viewStart)) / q);
    if (x > 0) {
        x -= tick;
        t -= step;
        ++count;
    }
    return LayOut(int(x), tick, waveWidth, count,
                  [&](int64_t i) { return std::to_string(t + i * step); });
}

} // namespace orvella::view
