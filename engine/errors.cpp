#include "engine/errors.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace orvella {

std::string SystemErrorText(int errorCode) {
    if (errorCode == 0) return "A call to an OS function failed";
    char text[512];
    std::snprintf(text, sizeof text, "System Error.  Code: %d.\r\n%s", errorCode,
                  std::strerror(errorCode));
    return text;
}

void RaiseLastOSError() {
    throw Exception(SystemErrorText(errno));
}

} // namespace orvella
