#pragma once
// The MP3 settings of orvella-batch (--mp3), as the settings dialog would have chosen them.
//   cbr:KBPS | vbr:Q | abr:KBPS[,max:KBPS] [,crc]
// Q is the VBR quality 0 (best) to 8 (smallest); KBPS must be offered at the document's rate.

#include <cstdint>
#include <string>

namespace orvella {
class TDocument;
}

namespace orvella::batch {

struct TMp3Choice {
    enum TMode { CBR = 0, VBR = 1, ABR = 2 } Mode = CBR;
    int Kbps = 128;  // CBR bitrate, ABR target
    int MaxKbps = 0; // 0: the first (largest) entry of the table
    int Quality = 4; // VBR
    bool Crc = false;
};

// Throws TUsageError on bad syntax.
TMp3Choice ParseMp3Choice(const std::string& text);

// Throws TUsageError when a bitrate of the choice is not offered at sampleRate.
void CheckMp3Choice(const TMp3Choice& choice, uint32_t sampleRate);

// Fills doc.EncoderConfig as the settings dialog would for this choice; true (never cancels).
// VBR and ABR take the smallest offered bitrate as their minimum.
bool FillEncoderConfig(const TMp3Choice& choice, TDocument& doc);

} // namespace orvella::batch
