#pragma once
// The wave clipboard block: a 44-byte work-file header, then the values, frame-interleaved
// little-endian, 16-bit signed or 32-bit float as the header says. A block read from the clipboard is untrusted: its sizes are checked
// against the bytes actually present and nothing past its data is ever read.

#include "engine/samplereducer.h"
#include "engine/samplestore.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvella {

extern const char* const InvalidClipText;

// A block holding the header of a document with dataBytes of values (RIFF size and data size set
// from dataBytes, the format from header) and dataBytes zero bytes after it.
// Throws std::bad_alloc when the memory cannot be had.
std::vector<uint8_t> MakeClipBlock(const TWaveHeader& header, uint32_t dataBytes);

// A checked clip inside a block that outlives it.
struct TClipView {
    const uint8_t* Data = nullptr; // the clip's values (unaligned)
    uint16_t Channels = 0;         // the clip's own channel count
    uint32_t Frames = 0;           // data size div (Channels * value size)
    uint32_t SampleRate = 0;       // the header's rate, as it stands
    TSampleFormat Format = TSampleFormat::Int16;
};

// Checks block for a paste into a document of docChannels. Fails with InvalidClipText when the
// block is shorter than the header, its data size exceeds the bytes after the header, its channel
// count is 0, or its channel count differs from docChannels other than mono against stereo. A
// header of 32-bit IEEE float makes a float clip; any other, a 16-bit one.
TClipView ParseClip(const uint8_t* block, size_t size, uint16_t docChannels);

// The failure of a paste whose clip has another rate than the document: the values would play at
// the wrong speed, so the paste is refused.
std::string ClipRateMismatchText(uint32_t clipRate, uint32_t docRate);

// The clip as docChannels values per frame (clip.Frames * docChannels values in all): writes its
// values firstValue .. firstValue + count - 1 into out. Mono to stereo copies each value to both
// channels; stereo to mono takes the mean of the two (16-bit: rounded to nearest with ties to
// even). The values must lie inside the clip. 16-bit values become float exactly (v / 32768); a
// float clip becomes 16-bit through reducer.
void ConvertClipValues(const TClipView& clip, uint16_t docChannels, uint64_t firstValue,
                       uint32_t count, int16_t* out, TSampleReducer& reducer);
void ConvertClipValues(const TClipView& clip, uint16_t docChannels, uint64_t firstValue,
                       uint32_t count, float* out, TSampleReducer& reducer);

} // namespace orvella
