#include "engine/sampleformat.h"

namespace orvella {

std::string PrecisionText(TFilePrecision precision) {
    switch (precision) {
    case TFilePrecision::Pcm16: return "16-bit";
    case TFilePrecision::Pcm24: return "24-bit";
    case TFilePrecision::Pcm32: return "32-bit";
    case TFilePrecision::Float32: return "32-bit float";
    case TFilePrecision::Float64: return "64-bit float";
    }
    return "16-bit";
}

bool PrecisionFromText(const std::string& text, TFilePrecision& precision) {
    for (TFilePrecision p : {TFilePrecision::Pcm16, TFilePrecision::Pcm24, TFilePrecision::Pcm32,
                             TFilePrecision::Float32, TFilePrecision::Float64}) {
        if (PrecisionText(p) == text) {
            precision = p;
            return true;
        }
    }
    return false;
}

} // namespace orvella
