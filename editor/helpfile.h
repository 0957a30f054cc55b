#pragma once
// The program's manual: an HTML file beside the program, opened with the desktop's handler.
// Thread rule: main thread only.

#include <QString>

namespace orvella {

class TWindowDialogs;

inline constexpr char HelpFileName[] = "orvella.html";

// The manual's path: HelpFileName in the program's folder.
QString HelpFilePath();
// Opens file, at topic (an anchor) when one is given; returns the error text, empty on success:
// "Unable to open help file " + the path when the file is missing or nothing opened it.
QString ShowHelp(TWindowDialogs& dialogs, const QString& file, const QString& topic = {});

} // namespace orvella
