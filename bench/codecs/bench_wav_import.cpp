// Importing a 1 GiB 16-bit WAV file against copying it with cp (best of three each), both from a
// warm page cache, in one run. Prints both times and their ratio (budget: 1.5). The files live in
// $TMPDIR (or /tmp) and are deleted afterwards.

#include "codecs/wav_decoder.h"
#include "engine/errors.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint64_t DataBytes = uint64_t(1) << 30;

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = uint8_t(v >> (8 * i));
}

// A stereo 44.1 kHz 16-bit file of DataBytes of varied values.
bool MakeSource(const std::string& path) {
    std::vector<uint8_t> header = {'R', 'I', 'F',  'F',  0,   0,   0,   0, 'W', 'A', 'V',
                                   'E', 'f', 'm',  't',  ' ', 16,  0,   0, 0,   1,   0,
                                   2,   0,   0x44, 0xAC, 0,   0,   0,   0, 0,   0,   4,
                                   0,   16,  0,    'd',  'a', 't', 'a', 0, 0,   0,   0};
    Put32(header, 4, uint32_t(DataBytes + 36));
    Put32(header, 28, 44100 * 4);
    Put32(header, 40, uint32_t(DataBytes));
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(header.data(), 1, header.size(), f) == header.size();
    std::vector<int16_t> block(1 << 20);
    uint32_t x = 12345;
    for (uint64_t done = 0; ok && done < DataBytes; done += block.size() * 2) {
        for (int16_t& v : block)
            v = int16_t((x = x * 1664525u + 1013904223u) >> 16);
        ok = std::fwrite(block.data(), 2, block.size(), f) == block.size();
    }
    return std::fclose(f) == 0 && ok;
}

void ReadThrough(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return;
    std::vector<char> buf(1 << 20);
    while (::read(fd, buf.data(), buf.size()) > 0) {
    }
    ::close(fd);
}

double Seconds(const std::chrono::steady_clock::time_point& start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main() {
    const char* dir = std::getenv("TMPDIR");
    const std::string base =
        std::string(dir && *dir ? dir : "/tmp") + "/orvella-bench-wav-" + std::to_string(getpid());
    const std::string source = base + ".wav", copy = base + ".copy.wav", work = base + ".tmp";
    if (!MakeSource(source)) {
        std::fprintf(stderr, "cannot write %s\n", source.c_str());
        return 1;
    }
    // Warm page cache, and no write-back of earlier files during either measurement.
    ::sync();
    ReadThrough(source);

    // Best of three of each, interleaved: the first copy after making the source can meet the
    // kernel still settling its pages and take many times as long as the next ones.
    int status = 0;
    double cpTime = 1e300, importTime = 1e300;
    for (int run = 0; run < 3 && status == 0; ++run) {
        auto start = std::chrono::steady_clock::now();
        if (std::system(("cp '" + source + "' '" + copy + "'").c_str()) != 0) status = 1;
        cpTime = std::min(cpTime, Seconds(start));
        std::remove(copy.c_str());
        ::sync();
        ReadThrough(source);

        std::atomic<int> progress{0};
        start = std::chrono::steady_clock::now();
        try {
            orvella::DecodeWAVFile(source, work, progress);
        } catch (const orvella::Exception& e) {
            std::fprintf(stderr, "import failed: %s\n", e.what());
            status = 1;
        }
        importTime = std::min(importTime, Seconds(start));
        std::remove(work.c_str());
        ::sync();
        ReadThrough(source);
    }
    std::remove(work.c_str());
    std::remove(source.c_str());

    std::printf("best of 3\ncp:     %.3f s\nimport: %.3f s\nratio:  %.2f (budget 1.5)\n", cpTime,
                importTime, importTime / cpTime);
    return status;
}
