#include "engine/enginesettings.h"

#include <cstdlib>

namespace orvella {

std::string TEngineSettings::DefaultTempFolder() {
    const char* dir = std::getenv("TMPDIR");
    if (dir && *dir) return dir;
    return "/tmp";
}

} // namespace orvella
