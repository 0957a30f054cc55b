#include "engine/timeformat.h"

#include <cstdio>

namespace orvella {

std::string FormatTime(uint64_t milliseconds) {
    char text[40];
    std::snprintf(
        text, sizeof text, "%02llu:%02llu.%03llu", (unsigned long long)(milliseconds / 60000),
        (unsigned long long)(milliseconds / 1000 % 60), (unsigned long long)(milliseconds % 1000));
    return text;
}

} // namespace orvella
