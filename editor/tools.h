#pragma once
// The Tools menu: companion programs a user may have installed beside the editor, one row each.
// A row's program is found in the folder stored as "path" in its own settings group (under the
// editor's per-user settings), else on PATH; when neither has it the user is told so and the
// project's page opens.
// Thread rule: main thread only.

#include <QString>

#include <array>

class QWidget;

namespace orvella {

class TWindowDialogs;

struct TCompanion {
    const char* Caption; // the menu entry, with its accelerator mark
    const char* Group;   // settings group holding "path", the program's folder
    const char* Program; // the program's file name
    const char* Page;    // opened when the program is not found
};

inline constexpr std::array<TCompanion, 5> Companions = {{
    {"Sound &Recorder", "Tools/Recorder", "gnome-sound-recorder", "https://www.orvella.invalid/"},
    {"&Mixer", "Tools/Mixer", "pavucontrol", "https://www.orvella.invalid/"},
    {"&CD Ripper", "Tools/Ripper", "asunder", "https://www.orvella.invalid/"},
    {"Audio C&onverter", "Tools/Converter", "soundconverter", "https://www.orvella.invalid/"},
    {"&Tag Editor", "Tools/TagEditor", "easytag", "https://www.orvella.invalid/"},
}};

inline constexpr char ComponentNotFound[] =
    "Component not found\r\nPlease download and install it from our site.";

// The program to start for companion: its stored folder + its file name when that is an
// executable file, else the program found on PATH; empty when neither.
QString FindCompanion(const TCompanion& companion);
// Starts the companion without arguments. Not found, or not started: asks nothing, shows
// ComponentNotFound (over parent) and opens the companion's page. True when it started.
bool RunCompanion(const TCompanion& companion, TWindowDialogs& dialogs, QWidget* parent);

} // namespace orvella
