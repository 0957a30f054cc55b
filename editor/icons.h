#pragma once
// The toolbar's icons: the desktop theme's icon where the theme has one of that name, otherwise
// our own, drawn by the program at 16, 24 and 32 pixels so no button is ever empty.
// Thread rule: main thread only (makes pixmaps).

#include <QIcon>

namespace orvella {

enum class TGlyph {
    Open,
    Save,
    Cut,
    Copy,
    Paste,
    Delete,
    Undo,
    Redo,
    ZoomIn,
    ZoomOut,
    ZoomFull,
    Play,
    Pause,
    Stop,
    FadeIn,
    FadeOut,
    Silence,
    Normalize,
    Reverse,
    Invert,
    AmplifyUp,
    AmplifyDown,
    Help
};

// The theme's icon named themeName, or our drawing of glyph.
QIcon ToolIcon(const char* themeName, TGlyph glyph);
// Our drawing of glyph alone.
QIcon OwnIcon(TGlyph glyph);

} // namespace orvella
