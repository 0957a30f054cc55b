#pragma once
// TPcmConversion: the conversion stream the WAV writer converts through. Offered conversions:
// integer PCM of 8, 16, 24 or 32 bits to 16-bit integer PCM at the same rate and channel count
// (16 to 16 passes the bytes unchanged). Only whole source frames are converted.
// Thread rule: one stream belongs to one writer.

#include "engine/waveformat.h"

#include <cstdint>
#include <memory>

namespace orvella {

class TPcmConversion {
public:
    // nullptr when the conversion is not offered, also when a rate, channel count or sample
    // size is 0.
    static std::unique_ptr<TPcmConversion> Open(const TWaveFormat& source,
                                                const TWaveFormat& target);

    // The most output that sourceBytes of input can produce.
    uint64_t DestinationSize(uint64_t sourceBytes) const;
    // Converts the whole frames among sourceLength bytes, as many as fit into destLength.
    void Convert(const uint8_t* source, uint32_t sourceLength, uint8_t* dest, uint32_t destLength,
                 uint32_t& sourceUsed, uint32_t& destUsed) const;
    // True when output bytes equal input bytes (the caller may skip Convert).
    bool IsIdentity() const { return SourceBits == 16; }

private:
    TPcmConversion(uint16_t channels, uint16_t sourceBits)
        : Channels(channels)
        , SourceBits(sourceBits) {}
    uint16_t Channels;
    uint16_t SourceBits;
};

// The size of the format description of a target tag (16 for PCM); 0 when the tag is not
// offered as a target.
uint32_t AcmFormatSize(uint16_t formatTag);

} // namespace orvella
