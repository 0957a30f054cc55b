#include "view/pixelcanvas.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace orvella::view {

TPixelCanvas::TPixelCanvas(uint32_t* bits, int strideWords, int width, int height, double ratio)
    : Bits(bits)
    , Stride(strideWords)
    , Width(width)
    , Height(height)
    , K(ratio > 0 ? ratio : 1.0) {}

int TPixelCanvas::Dev(int logical) const {
    return K == 1.0 ? logical : int(std::lround(logical * K));
}

void TPixelCanvas::DeviceFill(int x1, int y1, int x2, int y2, uint32_t pixel) {
    x1 = std::max(x1, 0), y1 = std::max(y1, 0);
    x2 = std::min(x2, Width), y2 = std::min(y2, Height);
    if (x1 >= x2) return;
    for (int y = y1; y < y2; ++y)
        std::fill(Bits + size_t(y) * Stride + x1, Bits + size_t(y) * Stride + x2, pixel);
}

void TPixelCanvas::FillRect(int x1, int y1, int x2, int y2, uint32_t pixel) {
    DeviceFill(Dev(x1), Dev(y1), Dev(x2), Dev(y2), pixel);
}

void TPixelCanvas::InvertRect(int x1, int y1, int x2, int y2) {
    x1 = std::max(Dev(x1), 0), y1 = std::max(Dev(y1), 0);
    x2 = std::min(Dev(x2), Width), y2 = std::min(Dev(y2), Height);
    for (int y = y1; y < y2; ++y) {
        uint32_t* row = Bits + size_t(y) * Stride;
        for (int x = x1; x < x2; ++x)
            row[x] ^= 0x00FFFFFFu;
    }
}

void TPixelCanvas::HLine(int x1, int x2, int y, uint32_t pixel) {
    if (x2 < x1) std::swap(x1, x2), ++x1, ++x2; // leftwards: the start is drawn, the end not
    DeviceFill(Dev(x1), Dev(y), Dev(x2), Dev(y + 1), pixel);
}

void TPixelCanvas::VLine(int x, int y1, int y2, uint32_t pixel) {
    if (y2 < y1) std::swap(y1, y2), ++y1, ++y2;
    DeviceFill(Dev(x), Dev(y1), Dev(x + 1), Dev(y2), pixel);
}

void TPixelCanvas::DottedVLine(int x, int y1, int y2, uint32_t pixel) {
    for (int y = y1; y < y2; y += 2)
        DeviceFill(Dev(x), Dev(y), Dev(x + 1), Dev(y + 1), pixel);
}

void TPixelCanvas::Line(int x0, int y0, int x1, int y1, uint32_t pixel) {
    if (K == 1.0) return DeviceLine(x0, y0, x1, y1, pixel);
    // Each point of the logical line covers its logical pixel's device square.
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    while (x0 != x1 || y0 != y1) {
        FillRect(x0, y0, x0 + 1, y0 + 1, pixel);
        const int e2 = 2 * err;
        if (e2 >= dy) err += dy, x0 += sx;
        if (e2 <= dx) err += dx, y0 += sy;
    }
}

void TPixelCanvas::DeviceLine(int x0, int y0, int x1, int y1, uint32_t pixel) {
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    while (x0 != x1 || y0 != y1) {
        Put(x0, y0, pixel);
        const int e2 = 2 * err;
        if (e2 >= dy) err += dy, x0 += sx;
        if (e2 <= dx) err += dx, y0 += sy;
    }
}

void TPixelCanvas::DeviceVLine(int x, int y1, int y2, uint32_t pixel) {
    if (unsigned(x) >= unsigned(Width)) return;
    if (y2 < y1) std::swap(y1, y2), ++y1, ++y2;
    y1 = std::max(y1, 0), y2 = std::min(y2, Height);
    for (int y = y1; y < y2; ++y)
        Bits[size_t(y) * Stride + x] = pixel;
}

} // namespace orvella::view
