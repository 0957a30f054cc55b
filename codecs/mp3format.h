#pragma once
// The MP3 settings: the bitrate lists offered for a sample rate, and the encoder record filled
// from the settings dialog's choices and the document's format. The dialog itself lives with the
// editor; it only calls FillEncoderConfig.
// Thread rule: pure functions, any thread.

#include "codecs/mp3encoder.h"
#include "engine/codecservices.h"

#include <cstdint>
#include <vector>

namespace orvella {

// The dialog's choices, as positions in its lists.
struct TMP3Settings {
    enum TMode { CBR = 0, VBR = 1, ABR = 2 };
    int Mode = CBR;
    int Bitrate = 0;    // position in the "Bitrate:" list
    int MaxBitrate = 0; // position in the "Maximum Bitrate:" list
    int Quality = 0;    // "Quality:" slider, 0 (left) ... 8 (right)
    int AvgBitrate = 0; // position in the "Targeted Bitrate:" list
    bool CRC = false;   // "Checksum"
};

// The bitrates (kbit/s) the lists offer at sampleRate, first entry first; empty for a rate
// outside the table (the lists then keep what they held).
std::vector<int> BitrateChoices(uint32_t sampleRate);
// The kbit/s for a list position: 128 at a rate outside the table; a position past the end of
// the row gives its last entry.
uint32_t BitrateAt(uint32_t sampleRate, int position);

TEncoderRecord MakeEncoderConfig(const TMP3Settings& settings, uint32_t sampleRate,
                                 uint16_t channels);
// The document's record from the dialog's choices and the document's rate and channels.
TEncoderConfig FillEncoderConfig(const TMP3Settings& settings, uint32_t sampleRate,
                                 uint16_t channels);
// The record as the encoder reads it.
TEncoderRecord ToEncoderRecord(const TEncoderConfig& config);

} // namespace orvella
