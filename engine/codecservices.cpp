#include "engine/codecservices.h"

#include <vector>

namespace orvella {

int TEncodedWriter::WriteFloats(const float* values, uint32_t count) {
    std::vector<int16_t> shorts(count);
    for (uint32_t k = 0; k < count; ++k) shorts[k] = FloatToShort(values[k]);
    return Write(shorts.data(), count * 2);
}

} // namespace orvella
