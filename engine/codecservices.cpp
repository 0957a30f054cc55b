#include "engine/codecservices.h"

#include <cmath>
#include <vector>

namespace orvella {

int TEncodedWriter::WriteFloats(const float* values, uint32_t count) {
    std::vector<int16_t> shorts(count);
    for (uint32_t k = 0; k < count; ++k) {
        const float v = values[k] * 32768.0f;
        shorts[k] = v >= 32767.0f    ? int16_t(32767)
                    : v <= -32768.0f ? int16_t(-32768)
                    : v == v         ? int16_t(std::lrint(v))
                                     : int16_t(0);
    }
    return Write(shorts.data(), count * 2);
}

} // namespace orvella
