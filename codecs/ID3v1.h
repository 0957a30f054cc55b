#pragma once
// TID3v1 finds the tags at the end of an MPEG audio file: the 128-byte ID3v1 tag and a Lyrics3
// version 2 block before it, so that the frame count can leave them out. Tag texts are not read.
// Thread rule: one reader belongs to one caller at a time.

#include <cstdint>
#include <string>

namespace orvella {

class TID3v1 {
public:
    TID3v1() { ResetData(); }
    void ResetData();
    // False when the file cannot be opened or a read fails with an error.
    bool ReadFromFile(const std::string& fileName);

    bool Exists() const { return FExists; }
    // Size of the Lyrics3 block as coded in its footer; 0 without one.
    int32_t LyricsSize() const { return FLyricsSize; }
    // Bytes at the end of the file that are tags: 128 for ID3v1 plus the Lyrics3 block with its
    // 15-byte footer.
    int32_t TagSize() const;

private:
    bool FExists;
    int32_t FLyricsSize;
};

} // namespace orvella
