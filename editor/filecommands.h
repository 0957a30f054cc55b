#pragma once
// The file commands' texts and the rules that turn the name chosen in the save dialog into the
// path saved to. The commands themselves (Open, New, Close, Save, Save As, Save Selected As) are
// TMainWindow's, in filecommands.cpp.
// Thread rule: pure functions, any thread.

#include "engine/sampleformat.h"

#include <QString>

#include <optional>

namespace orvella {

// The filters in the "Name|patterns" form the window's file seam takes.
inline constexpr char OpenFilter[] =
    "Supported Formats|*.wav;*.mp3;*.wma|Mpeg Layer 3|*.mp3|WAV Files|*.wav|WMA Files|*.wma";
// WAV at the document's precision, MP3, then WAV at each precision offered.
inline constexpr char SaveFilter[] =
    "WAV|*.wav|MP3|*.mp3|WAV 16-bit|*.wav|WAV 24-bit|*.wav|WAV 32-bit float|*.wav";
// The precision a Save filter's index writes WAV files at: none for the document's own.
std::optional<TFilePrecision> SavePrecisionOf(int filterIndex);

// The default extension of a save filter entry: ".mp3" for the second, ".wav" otherwise.
QString DefaultSaveExtension(int filterIndex);
// Save As: the name as typed when it ends in exactly ".mp3" or ".wav" (case counts), otherwise
// the name followed by the chosen entry's default extension.
QString SaveAsTarget(const QString& chosen, int filterIndex);
// Save Selected As: the name with its extension, if any, replaced by the chosen entry's default
// extension.
QString SaveSelectedTarget(const QString& chosen, int filterIndex);

} // namespace orvella
