// TRiffFile: chunk rules when writing (pad byte, size correction) and when reading (search
// within a parent, sizes checked against the file).

#include "codecs/riff.h"
#include "wavtestutil.h"

namespace orvella::test {
namespace {

class Riff : public TempDirTest {};

TEST_F(Riff, CreatedChunksGetPadBytesAndTheirTrueSizes) {
    TRiffFile f;
    ASSERT_TRUE(f.Open(Path("t.riff"), TRiffFile::TMode::Create));
    TChunkInfo form, odd, even;
    ASSERT_TRUE(f.CreateChunk(form, FOURCC_RIFF, 0, FOURCC_WAVE));
    ASSERT_TRUE(f.CreateChunk(odd, MakeFourCC('o', 'd', 'd', ' '), 0));
    ASSERT_EQ(f.Write("abc", 3), 3);
    ASSERT_TRUE(f.Ascend(odd));
    ASSERT_TRUE(f.CreateChunk(even, MakeFourCC('e', 'v', 'e', 'n'), 2)); // size right already
    ASSERT_EQ(f.Write("xy", 2), 2);
    ASSERT_TRUE(f.Ascend(even));
    ASSERT_TRUE(f.Ascend(form));
    ASSERT_TRUE(f.Close());
    const Bytes expected = RiffWave({Chunk("odd ", {'a', 'b', 'c'}), Chunk("even", {'x', 'y'})});
    EXPECT_EQ(ReadBytes(Path("t.riff")), expected);
    EXPECT_EQ(expected.size(), 12u + 8 + 4 + 8 + 2); // 3-byte body + pad byte
}

// Creating replaces what the file held, whether it was empty (a work file just named) or not.
TEST_F(Riff, CreateEmptiesAnExistingFile) {
    for (size_t before : {0, 5000}) {
        WriteBytes(Path("t.riff"), Bytes(before, 0xEE));
        TRiffFile f;
        ASSERT_TRUE(f.Open(Path("t.riff"), TRiffFile::TMode::Create));
        EXPECT_EQ(f.FileSize(), 0);
        ASSERT_EQ(f.Write("abc", 3), 3);
        ASSERT_TRUE(f.Close());
        EXPECT_EQ(ReadBytes(Path("t.riff")), (Bytes{'a', 'b', 'c'})) << before;
    }
}

TEST_F(Riff, SearchSkipsOtherChunksAndStopsAtTheParentsEnd) {
    Bytes file = RiffWave({Chunk("aaaa", {1, 2, 3}), Chunk("bbbb", {4, 5})}, 4 + 12 + 10);
    const Bytes outside = Chunk("cccc", {6});
    file.insert(file.end(), outside.begin(), outside.end()); // after the form's declared end
    WriteBytes(Path("t.riff"), file);
    TRiffFile f;
    ASSERT_TRUE(f.Open(Path("t.riff"), TRiffFile::TMode::Read));
    TChunkInfo form, c;
    ASSERT_TRUE(f.Descend(form));
    EXPECT_EQ(form.FormType, FOURCC_WAVE);
    EXPECT_FALSE(f.FindChunk(c, MakeFourCC('c', 'c', 'c', 'c'), &form));
    ASSERT_EQ(f.Seek(12, TRiffFile::TOrigin::Begin), 12);
    ASSERT_TRUE(f.FindChunk(c, MakeFourCC('b', 'b', 'b', 'b'), &form)); // over the pad byte
    EXPECT_EQ(c.DataOffset, 12u + 12 + 8);
    EXPECT_EQ(c.Size, 2u);
    uint8_t body[2];
    EXPECT_EQ(f.Read(body, 2), 2);
    EXPECT_EQ(body[1], 5);
    // Without a parent the search runs to the end of the file.
    ASSERT_EQ(f.Seek(12, TRiffFile::TOrigin::Begin), 12);
    EXPECT_TRUE(f.FindChunk(c, MakeFourCC('c', 'c', 'c', 'c'), nullptr));
}

TEST_F(Riff, HugeAndCutChunksEndTheSearch) {
    struct Case {
        const char* Name;
        Bytes File;
    } cases[] = {
        {"size 0xFFFFFFFF skips past the file",
         RiffWave({Chunk("aaaa", {}, 0xFFFFFFFF), Chunk("want", {})})},
        {"half a header",
         [] {
             Bytes b = RiffWave({Chunk("aaaa", {1, 2})}, 1 << 20); // size clipped to the file
             b.insert(b.end(), {'w', 'a', 'n', 't', 0});
             return b;
         }()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteBytes(Path("t.riff"), c.File);
        TRiffFile f;
        ASSERT_TRUE(f.Open(Path("t.riff"), TRiffFile::TMode::Read));
        TChunkInfo form, found;
        ASSERT_TRUE(f.Descend(form));
        EXPECT_FALSE(f.FindChunk(found, MakeFourCC('w', 'a', 'n', 't'), &form));
    }
}

TEST_F(Riff, ReadsAcrossTheBufferMatchWhatTheFileHolds) {
    Bytes content(700000);
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = uint8_t(i * 7 + i / 251);
    WriteBytes(Path("t.bin"), content);
    TRiffFile f;
    ASSERT_TRUE(f.Open(Path("t.bin"), TRiffFile::TMode::Read));
    EXPECT_EQ(f.FileSize(), int64_t(content.size()));
    Bytes read;
    for (size_t n : {1, 8191, 300000, 5, 262144, 200000}) {
        Bytes piece(n);
        const int64_t got = f.Read(piece.data(), n);
        ASSERT_GE(got, 0);
        read.insert(read.end(), piece.begin(), piece.begin() + got);
    }
    EXPECT_EQ(read, content);
    uint8_t more;
    EXPECT_EQ(f.Read(&more, 1), 0);
    EXPECT_EQ(f.Seek(-1, TRiffFile::TOrigin::Begin), -1);
}

} // namespace
} // namespace orvella::test
