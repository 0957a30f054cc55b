#pragma once
// The waveform view's drawing arithmetic, in plain C++ so tests need no display: the column <->
// frame mapping, lane geometry, the vertical scale, the selection band and the two time rulers.
// Pixels are logical pixels of the control; frames are unsigned 32-bit positions in the document.
// Every rounding is to the nearest integer with ties to even.

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace orvella::view {

constexpr int RulerHeight = 20;
constexpr int ScaleWidth = 30;
constexpr int MaxLanes = 6;

// Nearest integer, ties to even (the rounding of every view computation).
inline int64_t RoundEven(double v) {
    return static_cast<int64_t>(std::nearbyint(v));
}

// Frames per pixel column of a wave area of (width - ScaleWidth) columns.
inline double SamplesPerPixelOf(uint32_t viewSpan, int width) {
    return double(viewSpan) / double(width - ScaleWidth);
}

// The frame that column x stands for.
inline uint32_t ColumnFrame(int x, double samplesPerPixel, uint32_t viewStart) {
    return uint32_t(RoundEven(x * samplesPerPixel) + viewStart);
}

// Milliseconds <-> frames at sampleRate (both rounded; 0 at rate 0).
uint32_t SamplesToMs(uint32_t frames, uint32_t sampleRate);
uint32_t MsToSamples(uint32_t ms, uint32_t sampleRate);

// Lanes: n channels share the height below the ruler equally.
struct TLaneGeometry {
    double Scale = 1;  // sample units per pixel
    int FullScale = 0; // pixels from a lane's centre to its full-scale lines
    std::array<int, MaxLanes> Centre{};
    std::array<int, MaxLanes> Separator{}; // y of the line below lane i (i < n - 1)
    int Lanes = 0;
};
TLaneGeometry LaneGeometryOf(int height, int lanes);

// Pixels above the lane's centre at which value v is drawn.
inline int ValueOffset(int v, double scale) {
    return int(RoundEven(v / scale));
}

// The columns [X1, X2) of the wave area that a selection inverts; empty when it does not touch
// the view.
struct TBand {
    int X1 = 0, X2 = 0;
    bool Empty() const { return X2 <= X1; }
};
TBand SelectionBand(uint32_t selStart, uint32_t selStop, uint32_t viewStart, uint32_t viewEnd,
                    int waveWidth);

// The cursor's column, or -1 when it is not strictly inside the view.
int CursorColumn(uint32_t cursorPos, uint32_t viewStart, uint32_t viewEnd, int waveWidth);
// The play cursor's column (64-bit product); -1 for an empty view.
int PlayCursorColumn(uint32_t cursorPos, uint32_t viewStart, uint32_t viewSpan, int waveWidth);

// One labelled tick of a time ruler with its nine minor ticks.
struct TRulerLabel {
    int X = 0;
    std::array<int, 9> Minor{};
    std::string Text;
};
// The millisecond ruler over frames [viewStart, viewEnd) at sampleRate on waveWidth columns.
std::vector<TRulerLabel> MsRuler(uint32_t viewStart, uint32_t viewEnd, uint32_t sampleRate,
                                 int waveWidth);
// The frame-number ruler.
std::vector<TRulerLabel> FrameRuler(uint32_t viewStart, uint32_t viewEnd, int waveWidth);
// "m:ss.hh" of a time in milliseconds (minutes without leading zeros).
std::string RulerTimeText(int64_t ms);

} // namespace orvella::view
