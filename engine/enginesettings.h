#pragma once
// What the host tells the engine: the folder for work files. The free-space test of every write
// store is made on the volume of this folder.

#include <string>

namespace orvella {

struct TEngineSettings {
    std::string TempFolder = DefaultTempFolder();

    // $TMPDIR when set and not empty, otherwise /tmp.
    static std::string DefaultTempFolder();
};

} // namespace orvella
