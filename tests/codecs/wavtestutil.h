#pragma once
// Helpers for the WAV codec tests: temporary folders, files as bytes, RIFF files built from
// bytes, and work files read back as 16-bit values.

#include "codecs/wavpayload/pcmconvert.h"
#include "support/fixtures.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace orvella::test {

using Bytes = std::vector<uint8_t>;

inline Bytes ReadBytes(const std::string& path) {
    Bytes out;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        uint8_t buf[65536];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            out.insert(out.end(), buf, buf + n);
        std::fclose(f);
    }
    return out;
}

inline void WriteBytes(const std::string& path, const Bytes& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    if (!bytes.empty()) {
        ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    }
    std::fclose(f);
}

// A fresh folder per test, removed afterwards.
class TempDirTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return Temp.File(name); }
    TempDir Temp;
};

inline void PutU16(Bytes& b, uint16_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
inline void PutU32(Bytes& b, uint32_t v) {
    PutU16(b, uint16_t(v));
    PutU16(b, uint16_t(v >> 16));
}
inline uint32_t GetU32(const Bytes& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}
inline uint16_t GetU16(const Bytes& b, size_t at) {
    return uint16_t(b[at] | b[at + 1] << 8);
}

// One chunk: id, size field (declared; defaults to the body length), body, pad byte when odd.
inline Bytes Chunk(const char* id, const Bytes& body, int64_t declared = -1) {
    Bytes b(id, id + 4);
    PutU32(b, declared < 0 ? uint32_t(body.size()) : uint32_t(declared));
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() & 1) b.push_back(0);
    return b;
}

// A fmt body: the 16 basic bytes, then (when extra is given) cbSize and the extra bytes.
inline Bytes FmtBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits,
                     uint16_t blockAlign, const Bytes* extra = nullptr) {
    Bytes b;
    PutU16(b, tag);
    PutU16(b, channels);
    PutU32(b, rate);
    PutU32(b, rate * blockAlign);
    PutU16(b, blockAlign);
    PutU16(b, bits);
    if (extra) {
        PutU16(b, uint16_t(extra->size()));
        b.insert(b.end(), extra->begin(), extra->end());
    }
    return b;
}

// "RIFF" size "WAVE" and the chunks; riffSize < 0: the true size.
inline Bytes RiffWave(const std::vector<Bytes>& chunks, int64_t riffSize = -1) {
    Bytes body{'W', 'A', 'V', 'E'};
    for (const Bytes& c : chunks)
        body.insert(body.end(), c.begin(), c.end());
    Bytes b{'R', 'I', 'F', 'F'};
    PutU32(b, riffSize < 0 ? uint32_t(body.size()) : uint32_t(riffSize));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

inline Bytes Values16(const std::vector<int16_t>& v) {
    Bytes b;
    for (int16_t x : v)
        PutU16(b, uint16_t(x));
    return b;
}

// A work file: checks the canonical 44-byte header and returns its values.
struct WorkFile {
    uint16_t Channels = 0;
    uint32_t Rate = 0;
    // The values on the 16-bit scale: a float work file's rounded to nearest (ties to even) and
    // limited, as a 16-bit reader takes them.
    std::vector<int16_t> Values;
    // A float work file's own values.
    bool Float = false;
    std::vector<float> Floats;
};

inline WorkFile ReadWorkFile(const std::string& path) {
    WorkFile w;
    const Bytes b = ReadBytes(path);
    EXPECT_GE(b.size(), 44u);
    if (b.size() < 44) return w;
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
    EXPECT_EQ(GetU32(b, 4), b.size() - 8);
    EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(GetU32(b, 16), 16u);
    w.Float = GetU16(b, 20) == 3;
    EXPECT_EQ(GetU16(b, 20), w.Float ? 3 : 1);
    const uint32_t size = w.Float ? 4 : 2;
    w.Channels = GetU16(b, 22);
    w.Rate = GetU32(b, 24);
    EXPECT_EQ(GetU32(b, 28), w.Rate * w.Channels * size);
    EXPECT_EQ(GetU16(b, 32), w.Channels * size);
    EXPECT_EQ(GetU16(b, 34), size * 8);
    EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data");
    EXPECT_EQ(GetU32(b, 40), b.size() - 44);
    for (size_t i = 44; i + size - 1 < b.size(); i += size) {
        if (!w.Float) {
            w.Values.push_back(int16_t(GetU16(b, i)));
            continue;
        }
        float f;
        std::memcpy(&f, &b[i], 4);
        w.Floats.push_back(f);
        w.Values.push_back(FloatTo16(f));
    }
    return w;
}

} // namespace orvella::test
