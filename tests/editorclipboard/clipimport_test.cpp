// What other programs put on the clipboard as WAV bytes or as a file name becomes a clip of our
// layout: our own layout as it is, every other layout read as the WAV import reads the same bytes
// from a file, malformed bytes refused with the clipboard's message, no temporary file left.

#include "editor/clipimport.h"

#include "cliptestsupport.h"
#include "codecs/codectable.h"
#include "codecs/wav_decoder.h"
#include "engine/errors.h"
#include "engine/samplestore.h"
#include "engine/waveclip.h"
#include "support/fixtures.h"
#include "support/recordingdialogs.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include <cstring>
#include <string>
#include <vector>

using namespace orvella;
using namespace orvella::test;

namespace {

void Put16(Bytes& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

void Put32(Bytes& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

void PutChunk(Bytes& b, const char* id, const Bytes& body) {
    b.insert(b.end(), id, id + 4);
    Put32(b, uint32_t(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() % 2) b.push_back(0);
}

// A WAV file of another program: a fmt chunk of tag and bits (extensible: tag 0xFFFE with tag as
// its sub-format), the chunks "before" ahead of the data, then the data.
struct TWavSpec {
    uint16_t Tag = 1;
    uint16_t Channels = 1;
    uint32_t Rate = 8000;
    uint16_t Bits = 16;
    bool Extensible = false;
    std::vector<std::pair<const char*, Bytes>> Before;
    Bytes Data;
};

Bytes MakeWav(const TWavSpec& s) {
    Bytes fmt;
    const uint16_t align = uint16_t(s.Channels * (s.Bits / 8));
    Put16(fmt, s.Extensible ? 0xFFFE : s.Tag);
    Put16(fmt, s.Channels);
    Put32(fmt, s.Rate);
    Put32(fmt, s.Rate * align);
    Put16(fmt, align);
    Put16(fmt, s.Bits);
    if (s.Extensible) {
        Put16(fmt, 22);
        Put16(fmt, s.Bits);
        Put32(fmt, s.Channels == 1 ? 4 : 3);
        Put16(fmt, s.Tag);
        for (uint8_t g : {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71})
            fmt.push_back(g);
    } else if (s.Tag != 1) {
        Put16(fmt, 0);
    }
    Bytes body = {'W', 'A', 'V', 'E'};
    PutChunk(body, "fmt ", fmt);
    for (const auto& [id, chunk] : s.Before)
        PutChunk(body, id, chunk);
    PutChunk(body, "data", s.Data);
    Bytes file;
    PutChunk(file, "RIFF", body);
    return file;
}

Bytes Le16(std::initializer_list<int16_t> values) {
    Bytes b;
    for (int16_t v : values)
        Put16(b, uint16_t(v));
    return b;
}

Bytes Float32(std::initializer_list<float> values) {
    Bytes b;
    for (float v : values) {
        uint32_t u;
        std::memcpy(&u, &v, 4);
        Put32(b, u);
    }
    return b;
}

struct TClip {
    uint16_t Channels;
    uint32_t Rate;
    // A float clip's values on the 16-bit scale, rounded to nearest and limited.
    std::vector<int16_t> Values;
    bool Float = false;
};

TClip Parse(const Bytes& block) {
    EXPECT_TRUE(IsWorkClip(block.data(), block.size()));
    TWaveHeader h;
    std::memcpy(&h, block.data(), 44);
    if (SampleFormatOf(h) == TSampleFormat::Int16) {
        std::vector<int16_t> values(h.DataSize / 2);
        std::memcpy(values.data(), block.data() + 44, values.size() * 2);
        return {h.Channels, h.SamplesPerSec, values};
    }
    std::vector<float> floats(h.DataSize / 4);
    std::memcpy(floats.data(), block.data() + 44, floats.size() * 4);
    std::vector<int16_t> values;
    for (float f : floats)
        values.push_back(int16_t(std::clamp<double>(std::nearbyint(f * 32768.0), -32768, 32767)));
    return {h.Channels, h.SamplesPerSec, values, true};
}

class ClipImportTest : public ::testing::Test {
protected:
    // The clip of bytes; checks that no temporary file stays behind.
    Bytes Clip(const Bytes& bytes) {
        Bytes clip = ClipFromWaveBytes(bytes.data(), bytes.size(), Temp.Path());
        EXPECT_TRUE(Temp.Files().empty());
        return clip;
    }
    // The message ClipFromWaveBytes fails with ("" when it does not fail).
    std::string Failure(const Bytes& bytes) {
        std::string message;
        try {
            ClipFromWaveBytes(bytes.data(), bytes.size(), Temp.Path());
        } catch (const Exception& e) {
            message = e.Message();
        }
        EXPECT_TRUE(Temp.Files().empty());
        return message;
    }
    // The work file the WAV import makes of the same bytes as a file.
    Bytes Imported(const Bytes& bytes) {
        TempDir own;
        WriteBytes(own.File("in.wav"), bytes);
        TProgress progress;
        DecodeWAVFile(own.File("in.wav"), own.File("work.tmp"), progress);
        return ReadBytes(own.File("work.tmp"));
    }

    TempDir Temp;
};

TEST_F(ClipImportTest, OurLayoutIsTakenAsItIs) {
    const Bytes clip = WorkClip(2, 22050, {1, -1, 32767, -32768});
    EXPECT_EQ(Clip(clip), clip);
    // Bytes after the data (a trailing chunk) are dropped; a wrong RIFF size does not matter.
    Bytes trailing = clip;
    PutChunk(trailing, "LIST", Bytes(9, 'x'));
    trailing[4] = 0xFF;
    Bytes expected = clip;
    expected[4] = 0xFF;
    EXPECT_EQ(Clip(trailing), expected);
    // Empty data is a clip too.
    const Bytes empty = WorkClip(1, 8000, {});
    EXPECT_EQ(Clip(empty), empty);
}

// Sources of more than 16 bits become float clips, the rest 16-bit ones.
TEST_F(ClipImportTest, OtherLayoutsKeepTheirPrecision) {
    const struct {
        const char* Name;
        TWavSpec Spec;
        TClip Expected;
    } cases[] = {
        {"list and fact chunks before the data",
         {1,
          2,
          44100,
          16,
          false,
          {{"LIST", Bytes(7, 'i')}, {"fact", Le16({2, 0})}},
          Le16({100, -100, 32767, -32768})},
         {2, 44100, {100, -100, 32767, -32768}}},
        {"8-bit unsigned",
         {1, 1, 8000, 8, false, {}, {0x80, 0xFF, 0x00, 0x81}},
         {1, 8000, {0, 32512, -32768, 256}}},
        {"24-bit",
         {1, 1, 8000, 24, false, {}, {0x56, 0x34, 0x12, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F}},
         {1, 8000, {0x1234, -32768, 32767}, true}},
        {"32-bit",
         {1, 1, 8000, 32, false, {}, {0, 0, 1, 0, 0xFF, 0xFF, 0xFF, 0x7F}},
         {1, 8000, {1, 32767}, true}},
        {"float",
         {3, 1, 16000, 32, false, {{"fact", Le16({3, 0})}}, Float32({0.5f, -1.f, 0.f})},
         {1, 16000, {16384, -32768, 0}, true}},
        {"extensible 16-bit", {1, 2, 8000, 16, true, {}, Le16({5, -5})}, {2, 8000, {5, -5}}},
        {"extensible float", {3, 1, 8000, 32, true, {}, Float32({-0.5f})}, {1, 8000, {-16384}, true}},
        // The import reads a whole number of frames of what is there.
        {"data cut short", {1, 2, 8000, 16, false, {}, Le16({1, 2, 3})}, {2, 8000, {1, 2}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Bytes bytes = MakeWav(c.Spec);
        if (std::string(c.Name) == "data cut short") bytes.resize(bytes.size() - 2);
        const Bytes clip = Clip(bytes);
        const TClip got = Parse(clip);
        EXPECT_EQ(got.Channels, c.Expected.Channels);
        EXPECT_EQ(got.Rate, c.Expected.Rate);
        EXPECT_EQ(got.Values, c.Expected.Values);
        EXPECT_EQ(got.Float, c.Expected.Float);
        EXPECT_EQ(clip, Imported(bytes));
    }
}

TEST_F(ClipImportTest, EveryFixtureTheImportReadsGivesTheImportsResult) {
    for (const char* name :
         {"pcm16-8000-2.wav", "pcm8-8000-2.wav", "pcm24-8000-2.wav", "pcm32-8000-2.wav",
          "float32-8000-2.wav", "float64-8000-2.wav", "alaw-8000-2.wav", "mulaw-8000-2.wav",
          "ima-adpcm-8000-2.wav", "ms-adpcm-8000-2.wav", "gsm-8000-1.wav", "mp3-16000-1.wav"}) {
        SCOPED_TRACE(name);
        const Bytes bytes = ReadBytes(FixturePath(std::string("wav/") + name));
        ASSERT_FALSE(bytes.empty());
        EXPECT_EQ(Clip(bytes), Imported(bytes));
    }
}

TEST_F(ClipImportTest, MalformedBytesGiveTheClipboardMessage) {
    Bytes noFmt = {'R', 'I', 'F', 'F', 12, 0, 0, 0, 'W', 'A', 'V', 'E'};
    PutChunk(noFmt, "data", Le16({1, 2}));
    Bytes hugeFmt = MakeWav({1, 1, 8000, 16, false, {}, Le16({1})});
    hugeFmt[16] = hugeFmt[17] = hugeFmt[18] = 0xFF;
    Bytes noChannels = MakeWav({1, 1, 8000, 16, false, {}, Le16({1})});
    noChannels[22] = 0;
    Bytes cutInFmt = MakeWav({1, 1, 8000, 16, false, {}, Le16({1})});
    cutInFmt.resize(30);
    Bytes unknownTag = MakeWav({0x7777, 1, 8000, 16, false, {}, Le16({1, 2})});
    const std::vector<std::pair<const char*, Bytes>> cases = {
        {"nothing", {}},
        {"text", Bytes{'h', 'e', 'l', 'l', 'o'}},
        {"no fmt chunk", noFmt},
        {"fmt larger than the file", hugeFmt},
        {"no channels", noChannels},
        {"cut inside fmt", cutInFmt},
        {"unknown format tag", unknownTag},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Failure(bytes), InvalidClipText);
    }
}

TEST_F(ClipImportTest, HugeSizesAreClippedToTheBytesPresent) {
    // Our layout claiming 4 GiB of data, and a RIFF of another layout claiming as much: both are
    // read as far as their bytes go, never beyond.
    Bytes ours = WorkClip(1, 8000, {7, 8});
    for (int i = 40; i < 44; ++i)
        ours[i] = 0xFF;
    EXPECT_EQ(Parse(Clip(ours)).Values, (std::vector<int16_t>{7, 8}));
    Bytes list = MakeWav({1, 1, 8000, 16, false, {{"LIST", Bytes(4, 'i')}}, Le16({7, 8})});
    for (size_t i : {size_t(4), list.size() - 8})
        for (size_t k = 0; k < 4; ++k)
            list[i + k] = 0xFF;
    EXPECT_EQ(Parse(Clip(list)).Values, (std::vector<int16_t>{7, 8}));
}

TEST_F(ClipImportTest, NamedFilesAreDecodedByTheirExtension) {
    RecordingDialogs dialogs;
    const std::vector<TDecoderRow> decoders = DefaultCodecServices(dialogs).Decoders;
    const auto clipOf = [&](const std::string& path) {
        Bytes clip = ClipFromSoundFile(path, decoders, Temp.Path());
        EXPECT_TRUE(Temp.Files().empty());
        return clip;
    };

    const std::string wav = FixturePath("wav/float32-8000-2.wav");
    EXPECT_EQ(clipOf(wav), Imported(ReadBytes(wav)));

    const TClip mp3 = Parse(clipOf(FixturePath("mp3/mono.mp3")));
    const Bytes raw = ReadBytes(FixturePath("mp3/mono.raw"));
    EXPECT_EQ(mp3.Channels, 1);
    // Exactly the decoder's values.
    ASSERT_EQ(mp3.Values.size() * 2, raw.size());
    EXPECT_EQ(std::memcmp(mp3.Values.data(), raw.data(), raw.size()), 0);

    const auto failure = [&](const std::string& path) {
        std::string message;
        try {
            ClipFromSoundFile(path, decoders, Temp.Path());
        } catch (const Exception& e) {
            message = e.Message();
        }
        EXPECT_TRUE(Temp.Files().empty());
        return message;
    };
    EXPECT_EQ(failure(FixturePath("wav/README.md")), InvalidClipText);
    // A file that is gone or not sound says what the import says of it.
    const std::string missing = failure(Temp.File("gone.wav"));
    EXPECT_FALSE(missing.empty());
    EXPECT_NE(missing, InvalidClipText);
    TempDir sources;
    WriteBytes(sources.File("text.wav"), Bytes{'n', 'o', 'p', 'e'});
    EXPECT_FALSE(failure(sources.File("text.wav")).empty());
}

} // namespace
