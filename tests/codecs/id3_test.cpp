// The tag readers: sizes of ID3v2 tags at the start, ID3v1 and Lyrics3 v2 at the end.

#include "codecs/ID3v1.h"
#include "codecs/ID3v2.h"
#include "mp3testutil.h"

#include <gtest/gtest.h>

namespace orvella {
namespace {

using test::TempDir;
using testing::WriteBytes;

std::vector<uint8_t> Bytes(const std::string& s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

std::vector<uint8_t> ID3v2Header(uint8_t flags, const uint8_t size[4]) {
    return {'I', 'D', '3', 4, 0, flags, size[0], size[1], size[2], size[3]};
}

TEST(ID3v2, TagSizes) {
    struct Case {
        const char* Name;
        uint8_t Flags;
        uint8_t Size[4];
        size_t FileSize;
        bool Exists;
        int32_t Expected;
    };
    const Case cases[] = {
        {"coded 4096", 0, {0, 0, 0x20, 0}, 6000, true, 4106},
        {"footer flag adds 10", 0x10, {0, 0, 0x20, 0}, 6000, true, 4116},
        {"all four bytes count", 0, {0, 1, 1, 1}, 20000, true, 0x4000 + 0x80 + 1 + 10},
        {"top bits not masked", 0, {0, 0, 0x81, 0}, 20000, true, 0x81 * 0x80 + 10},
        {"file shorter than the tag", 0, {0, 0, 0x20, 0}, 4105, true, 0},
        {"tag exactly as long as the file", 0, {0, 0, 0x20, 0}, 4106, true, 4106},
    };
    TempDir dir;
    for (const Case& c : cases) {
        std::vector<uint8_t> file = ID3v2Header(c.Flags, c.Size);
        file.resize(c.FileSize);
        WriteBytes(dir.File("t.mp3"), file);
        TID3v2 tag;
        ASSERT_TRUE(tag.ReadFromFile(dir.File("t.mp3"))) << c.Name;
        EXPECT_EQ(tag.Exists(), c.Exists) << c.Name;
        EXPECT_EQ(tag.VersionID(), 4) << c.Name;
        EXPECT_EQ(tag.Size(), c.Expected) << c.Name;
    }
}

TEST(ID3v2, NoTagShortFileAndMissingFile) {
    TempDir dir;
    TID3v2 tag;
    WriteBytes(dir.File("plain.mp3"), std::vector<uint8_t>(100, 0xFF));
    EXPECT_TRUE(tag.ReadFromFile(dir.File("plain.mp3")));
    EXPECT_FALSE(tag.Exists());
    EXPECT_EQ(tag.Size(), 0);

    WriteBytes(dir.File("short.mp3"), Bytes("ID3\x04"));
    EXPECT_FALSE(tag.ReadFromFile(dir.File("short.mp3")));
    EXPECT_EQ(tag.Size(), 0);
    EXPECT_FALSE(tag.ReadFromFile(dir.File("missing.mp3")));
}

// audio bytes, then an optional Lyrics3 block (begin marker, body, footer), then an optional
// ID3v1 tag.
std::vector<uint8_t> EndTags(size_t audio, bool id3v1, int lyricsSize, bool lyricsBegin,
                             const char* sizeDigits = nullptr) {
    std::vector<uint8_t> file(audio, 0x11);
    if (lyricsSize > 0) {
        std::vector<uint8_t> block(size_t(lyricsSize), 'x');
        if (lyricsBegin) std::memcpy(block.data(), "LYRICSBEGIN", 11);
        file.insert(file.end(), block.begin(), block.end());
        char footer[16];
        std::snprintf(footer, sizeof footer, "%06d", lyricsSize);
        std::string f = sizeDigits ? sizeDigits : footer;
        f += "LYRICS200";
        file.insert(file.end(), f.begin(), f.end());
    }
    if (id3v1) {
        std::vector<uint8_t> tag(128, 0);
        std::memcpy(tag.data(), "TAG", 3);
        file.insert(file.end(), tag.begin(), tag.end());
    }
    return file;
}

TEST(ID3v1, EndTagSizes) {
    struct Case {
        const char* Name;
        std::vector<uint8_t> File;
        bool Exists;
        int32_t Lyrics;
        int32_t TagSize;
    };
    const Case cases[] = {
        {"no tags", EndTags(500, false, 0, false), false, 0, 0},
        {"ID3v1 only", EndTags(500, true, 0, false), true, 0, 128},
        {"Lyrics3 of 1000 before ID3v1", EndTags(500, true, 1000, true), true, 1000, 1143},
        {"Lyrics3 without ID3v1", EndTags(500, false, 1000, true), false, 1000, 1015},
        {"LYRICS200 but no LYRICSBEGIN", EndTags(500, true, 1000, false), true, 0, 128},
        {"size that is not a number", EndTags(500, true, 1000, true, "00a000"), true, 0, 128},
        {"size reaching before the file", EndTags(0, true, 20, true, "999999"), true, 0, 128},
        {"file shorter than a tag", std::vector<uint8_t>(50, 'T'), false, 0, 0},
    };
    TempDir dir;
    for (const Case& c : cases) {
        WriteBytes(dir.File("t.mp3"), c.File);
        TID3v1 tag;
        ASSERT_TRUE(tag.ReadFromFile(dir.File("t.mp3"))) << c.Name;
        EXPECT_EQ(tag.Exists(), c.Exists) << c.Name;
        EXPECT_EQ(tag.LyricsSize(), c.Lyrics) << c.Name;
        EXPECT_EQ(tag.TagSize(), c.TagSize) << c.Name;
    }
    TID3v1 tag;
    EXPECT_FALSE(tag.ReadFromFile(dir.File("missing.mp3")));
}

TEST(ID3v1, FixtureWithLyrics) {
    TID3v1 tag;
    ASSERT_TRUE(tag.ReadFromFile(test::FixturePath("mp3/id3v1_lyrics.mp3")));
    EXPECT_TRUE(tag.Exists());
    // LYRICSBEGIN (11) + IND field (10) + LYR field (19)
    EXPECT_EQ(tag.LyricsSize(), 40);
    EXPECT_EQ(tag.TagSize(), 128 + 40 + 15);
}

} // namespace
} // namespace orvella
