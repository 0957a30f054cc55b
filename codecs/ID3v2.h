#pragma once
// TID3v2 finds the size of an ID3v2 tag at the start of an MPEG audio file, so that the frame
// search can begin after it. The tag's frames (texts) are not read: nothing uses them.
// Thread rule: one reader belongs to one caller at a time.

#include <cstdint>
#include <string>

namespace orvella {

class TID3v2 {
public:
    TID3v2() { ResetData(); }
    void ResetData();
    // False when the file cannot be opened or holds fewer than 10 bytes.
    bool ReadFromFile(const std::string& fileName);

    bool Exists() const { return FExists; }
    uint8_t VersionID() const { return FVersionID; }
    // Whole tag in bytes (header, body, footer); 0 without a tag or when the file is shorter.
    int32_t Size() const { return FSize; }

private:
    bool FExists;
    uint8_t FVersionID;
    int32_t FSize;
};

} // namespace orvella
