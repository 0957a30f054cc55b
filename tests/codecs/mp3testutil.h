#pragma once
// Helpers shared by the MP3 and WMA tests: whole-file reads and writes, and a reader for the work
// files the imports write.

#include "support/fixtures.h"
#include "support/tempdir.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace orvella::testing {

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline std::vector<int16_t> ToValues(const std::vector<uint8_t>& bytes) {
    std::vector<int16_t> values(bytes.size() / 2);
    std::memcpy(values.data(), bytes.data(), values.size() * 2);
    return values;
}

// The format and the samples of a RIFF WAVE file.
struct TWorkFile {
    bool Valid = false;
    uint16_t Tag = 0, Channels = 0, Bits = 0;
    uint32_t Rate = 0;
    std::vector<int16_t> Values;
};

inline TWorkFile ReadWorkFile(const std::string& path) {
    TWorkFile result;
    std::vector<uint8_t> b = ReadBytes(path);
    auto u32 = [&b](size_t at) {
        return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
               uint32_t(b[at + 3]) << 24;
    };
    auto u16 = [&b](size_t at) { return uint16_t(b[at] | b[at + 1] << 8); };
    if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 ||
        std::memcmp(b.data() + 8, "WAVE", 4) != 0)
        return result;
    bool haveFormat = false;
    for (size_t at = 12; at + 8 <= b.size();) {
        const uint32_t size = u32(at + 4);
        const size_t body = at + 8;
        if (std::memcmp(b.data() + at, "fmt ", 4) == 0 && size >= 16 && body + 16 <= b.size()) {
            result.Tag = u16(body);
            result.Channels = u16(body + 2);
            result.Rate = u32(body + 4);
            result.Bits = u16(body + 14);
            haveFormat = true;
        } else if (std::memcmp(b.data() + at, "data", 4) == 0 && body + size <= b.size()) {
            result.Values.resize(size / 2);
            std::memcpy(result.Values.data(), b.data() + body, result.Values.size() * 2);
            result.Valid = haveFormat;
            return result;
        }
        at = body + size + (size & 1);
    }
    return result;
}

// The work file's samples with the WAV writer's one trailing frame of silence removed: the writer
// adds it when the input filled its 100 ms buffers exactly.
inline std::vector<int16_t> WithoutWriterFiller(const TWorkFile& work, size_t referenceValues) {
    std::vector<int16_t> values = work.Values;
    const size_t bufferFrames = (size_t(work.Rate) * 100 + 500) / 1000;
    const size_t channels = work.Channels ? work.Channels : 1;
    if (bufferFrames && values.size() == referenceValues + channels &&
        (referenceValues / channels) % bufferFrames == 0) {
        bool silent = true;
        for (size_t i = referenceValues; i < values.size(); ++i)
            silent = silent && values[i] == 0;
        if (silent) values.resize(referenceValues);
    }
    return values;
}

} // namespace orvella::testing
