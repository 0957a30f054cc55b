#pragma once
// The program's icon, built into the program from the PNG sizes of desktop/icons, so the window
// shows it without an installed icon theme or an SVG image plugin.
// Thread rule: GUI thread only.

#include <QIcon>

namespace orvella {

// Every size of the icon; the desktop picks the one that fits.
QIcon ApplicationIcon();

} // namespace orvella
