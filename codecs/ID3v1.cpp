#include "codecs/ID3v1.h"

#include "codecs/readonlyfile.h"

#include <cstring>

namespace orvella {

namespace {

// The six-digit size of a Lyrics3 v2 footer; 0 when it is not a decimal number.
int32_t LyricsNumber(const char* digits) {
    int32_t n = 0;
    for (int i = 0; i < 6; ++i) {
        if (digits[i] < '0' || digits[i] > '9') return 0;
        n = n * 10 + (digits[i] - '0');
    }
    return n;
}

} // namespace

void TID3v1::ResetData() {
    FExists = false;
    FLyricsSize = 0;
}

int32_t TID3v1::TagSize() const {
    return (FExists ? 128 : 0) + (FLyricsSize > 0 ? FLyricsSize + 15 : 0);
}

bool TID3v1::ReadFromFile(const std::string& fileName) {
    ResetData();
    TReadOnlyFile file(fileName);
    if (!file.IsOpen()) return false;
    int64_t length = file.Size();
    if (length < 0) return false;

    // A file too short to hold a tag simply has none.
    if (length >= 128) {
        char tag[3];
        if (file.ReadAt(length - 128, tag, sizeof tag) != int64_t(sizeof tag)) return false;
        FExists = std::memcmp(tag, "TAG", 3) == 0;
    }

    int64_t back = FExists ? 143 : 15;
    if (length < back) return true;
    char footer[15];
    if (file.ReadAt(length - back, footer, sizeof footer) != int64_t(sizeof footer)) return false;
    if (std::memcmp(footer + 6, "LYRICS200", 9) != 0) return true;
    int32_t n = LyricsNumber(footer);
    if (n <= 0 || length < int64_t(n) + back) return true;

    char begin[11];
    if (file.ReadAt(length - n - back, begin, sizeof begin) != int64_t(sizeof begin)) return false;
    if (std::memcmp(begin, "LYRICSBEGIN", 11) == 0) FLyricsSize = n;
    return true;
}

} // namespace orvella
