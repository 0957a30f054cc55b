#pragma once
// The two formats a document's samples are kept in, and the precision of the file they came from.
//
// Int16 documents hold 16-bit signed values, as their 16-bit and narrower sources gave them.
// Float32 documents hold single-precision values with full scale at ±1.0; values beyond it are
// kept (only the sound output and the narrower file formats limit them).

#include <cmath>
#include <cstdint>
#include <string>

namespace orvella {

enum class TSampleFormat : uint8_t { Int16, Float32 };

constexpr int SampleBytes(TSampleFormat format) {
    return format == TSampleFormat::Float32 ? 4 : 2;
}

// How the samples of a saved WAV file are written: the source's precision by default.
enum class TFilePrecision : uint8_t { Pcm16, Pcm24, Pcm32, Float32, Float64 };

// The document format a source of this precision gets: more than 16 bits make a float document.
constexpr TSampleFormat DocumentFormatFor(TFilePrecision precision) {
    return precision == TFilePrecision::Pcm16 ? TSampleFormat::Int16 : TSampleFormat::Float32;
}

// A float value as a 16-bit one, the way a sound device or a 16-bit reader takes it: scaled by
// 32768, rounded to nearest (ties to even), limited to full scale; NaN gives 0.
inline int16_t FloatToShort(float value) {
    const float v = value * 32768.0f;
    if (v >= 32767.0f) return 32767;
    if (v <= -32768.0f) return -32768;
    return v == v ? int16_t(std::lrint(v)) : int16_t(0);
}

// "16-bit", "24-bit", "32-bit", "32-bit float", "64-bit float".
std::string PrecisionText(TFilePrecision precision);
// The precision a PrecisionText names; false for any other text.
bool PrecisionFromText(const std::string& text, TFilePrecision& precision);

} // namespace orvella
