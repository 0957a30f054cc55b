#pragma once
// The format tag a TWaveFormat really describes: for the extensible tag (0xFFFE), the tag its
// sub-format GUID carries ({tag-0000-0010-8000-00AA00389B71}); otherwise the tag itself.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvella {

struct TFormatTag {
    uint16_t Tag;       // the effective tag; 0xFFFE when an extensible record is unusable
    size_t ExtraOffset; // where the codec's own extra bytes start in the record
};

// format: a TWaveFormat followed by its cbSize extra bytes.
TFormatTag EffectiveFormatTag(const std::vector<uint8_t>& format);

} // namespace orvella
