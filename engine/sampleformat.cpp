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

} // namespace orvella
