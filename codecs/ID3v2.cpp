#include "codecs/ID3v2.h"

#include "codecs/readonlyfile.h"

#include <cstring>

namespace orvella {

void TID3v2::ResetData() {
    FExists = false;
    FVersionID = 0;
    FSize = 0;
}

bool TID3v2::ReadFromFile(const std::string& fileName) {
    ResetData();
    TReadOnlyFile file(fileName);
    if (!file.IsOpen()) return false;
    uint8_t header[10];
    if (file.ReadAt(0, header, sizeof header) != int64_t(sizeof header)) return false;
    int64_t fileSize = file.Size();
    if (fileSize < 0) return false;
    if (std::memcmp(header, "ID3", 3) != 0) return true;

    FExists = true;
    FVersionID = header[3];
    // The four size bytes are taken whole (their top bits are not masked off), as the tag
    // writers this has to agree with do.
    int64_t size = int64_t(header[6]) * 0x200000 + int64_t(header[7]) * 0x4000 +
                   int64_t(header[8]) * 0x80 + int64_t(header[9]) + 10;
    if (header[5] & 0x10) size += 10; // footer present
    FSize = size > fileSize ? 0 : int32_t(size);
    return true;
}

} // namespace orvella
