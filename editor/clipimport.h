#pragma once
// Sound that other programs put on the desktop clipboard, turned into a clip block of the
// document's layout (a 44-byte work-file header, then 16-bit values).
//
// Another program's WAV bytes are untrusted and often not our layout (other chunks, extensible or
// float formats, 8/24/32-bit values). A block exactly in our layout is taken as it is; any other
// is read the way the WAV import reads a file: the bytes go to a temporary file, the import
// decodes it into a temporary work file, and that work file becomes the clip. A file named on the
// clipboard (a file manager's copy) is decoded by the document's decoders, chosen by extension.
// Both temporary files live in the engine's temporary folder and are removed before returning.
//
// The clip keeps the source's rate and channel count; the paste itself refuses another rate and
// converts mono and stereo.
// Thread rule: plain functions, callable from any thread (the paste calls them on its worker).

#include "engine/codecservices.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvella {

// True when data is exactly a clip block of our layout: "RIFF" .. "WAVE", a 16-byte "fmt " chunk
// of 16-bit PCM with 1 or 2 channels and a block align of 2 bytes per channel, then "data" at
// offset 36 whose size fits in the bytes present.
bool IsWorkClip(const uint8_t* data, size_t size);

// The clip of a WAV file's bytes. Our layout is copied (without bytes after its data); any other
// layout is imported. Fails with InvalidClipText when the import refuses the bytes, with the
// system's text when the temporary files cannot be written, and with "Could not allocate memory
// for clipboard." when the clip does not fit in memory.
std::vector<uint8_t> ClipFromWaveBytes(const uint8_t* data, size_t size,
                                       const std::string& tempFolder);

// The clip of a sound file, decoded by the row of decoders whose extension it has. Fails with
// InvalidClipText when no row fits, with the row's failure message when its decoder returns
// false, and with the decoder's own message when it raises one.
std::vector<uint8_t> ClipFromSoundFile(const std::string& path,
                                       const std::vector<TDecoderRow>& decoders,
                                       const std::string& tempFolder);

} // namespace orvella
