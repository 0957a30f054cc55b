#pragma once
// What the host tells the engine: the folder for work files and the dither rule. The free-space test of every write
// store is made on the volume of this folder.

#include <string>

namespace orvella {

struct TEngineSettings {
    std::string TempFolder = DefaultTempFolder();
    // Whether reducing float values to a narrower precision (saving, pasting) adds TPDF dither.
    bool Dither = true;

    // $TMPDIR when set and not empty, otherwise /tmp.
    static std::string DefaultTempFolder();
};

} // namespace orvella
