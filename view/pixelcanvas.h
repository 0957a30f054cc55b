#pragma once
// Drawing on a 32-bit picture (0xAARRGGBB words, the layout of QImage::Format_RGB32) with the
// pixel rules of the view: a rectangle (x1, y1)-(x2, y2) covers columns x1..x2-1 and rows
// y1..y2-1, and a line from a to b does not colour its end point b. Coordinates are logical
// pixels; on a picture made at a device pixel ratio above 1 each logical pixel covers several
// device pixels, so lines stay sharp instead of being scaled up afterwards. Plain C++ so the
// drawing can be tested and timed without a display. Everything is clipped to the picture.

#include <cstddef>
#include <cstdint>

namespace orvella::view {

// A colour given with red in the low byte, green in the middle and blue in the high byte, as
// the picture stores it.
constexpr uint32_t PixelOf(uint32_t rgbLowRed) {
    return 0xFF000000u | ((rgbLowRed & 0xFFu) << 16) | (rgbLowRed & 0xFF00u) |
           ((rgbLowRed >> 16) & 0xFFu);
}

class TPixelCanvas {
public:
    // bits: the first row; stride in words; width and height in device pixels; ratio: device
    // pixels per logical pixel.
    TPixelCanvas(uint32_t* bits, int strideWords, int width, int height, double ratio = 1.0);

    void FillRect(int x1, int y1, int x2, int y2, uint32_t pixel);
    void InvertRect(int x1, int y1, int x2, int y2);
    // Row y from x1 to x2 (x2 excluded), and column x from y1 to y2 (y2 excluded).
    void HLine(int x1, int x2, int y, uint32_t pixel);
    void VLine(int x, int y1, int y2, uint32_t pixel);
    // A dotted column: pixels on and off in turn, starting on at y1.
    void DottedVLine(int x, int y1, int y2, uint32_t pixel);
    // A line of any slope without its end point.
    void Line(int x0, int y0, int x1, int y1, uint32_t pixel);

    // The same in device pixels, for the waveform, which is drawn at device resolution.
    void DeviceLine(int x0, int y0, int x1, int y1, uint32_t pixel);
    void DeviceVLine(int x, int y1, int y2, uint32_t pixel);

    int DeviceWidth() const { return Width; }
    int DeviceHeight() const { return Height; }
    double Ratio() const { return K; }
    // Logical -> device coordinate (the device pixel where a logical pixel starts).
    int Dev(int logical) const;

private:
    void Put(int x, int y, uint32_t pixel) {
        if (unsigned(x) < unsigned(Width) && unsigned(y) < unsigned(Height))
            Bits[size_t(y) * Stride + x] = pixel;
    }
    void DeviceFill(int x1, int y1, int x2, int y2, uint32_t pixel);

    uint32_t* Bits;
    int Stride, Width, Height;
    double K;
};

} // namespace orvella::view
