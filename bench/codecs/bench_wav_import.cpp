// Opening a 1 GiB 16-bit stereo WAV file as a user waits for it, against copying it with cp:
// whole processes, `orvella-batch FILE --info` against `cp FILE COPY`, one warm-up each, then
// five runs of each interleaved, medians, page cache warm. Prints both medians, their ratio
// (goal: 1.3) and the load average, and where the time goes: the import with its peak index
// (in this process) and deleting the work file. The files live in $TMPDIR (or /tmp) and are
// deleted afterwards.

#include "codecs/wav_decoder.h"
#include "engine/errors.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
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

// Runs command through the shell after writing back earlier files; its time, or -1 on failure.
double TimeCommand(const std::string& command) {
    ::sync();
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) return -1;
    return Seconds(start);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::string LoadAverage() {
    std::string text;
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
        char line[128] = {};
        if (std::fgets(line, sizeof line, f)) text = line;
        std::fclose(f);
    }
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
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

    const std::string open = "'" ORVELLA_BATCH_PATH "' '" + source + "' --info > /dev/null";
    const std::string cp = "cp '" + source + "' '" + copy + "'";
    int status = 0;
    std::vector<double> cpTimes, openTimes;
    for (int run = 0; run <= 5 && status == 0; ++run) {
        const double c = TimeCommand(cp);
        std::remove(copy.c_str());
        const double o = TimeCommand(open);
        if (c < 0 || o < 0) status = 1;
        if (run > 0) { // run 0 warms up
            cpTimes.push_back(c);
            openTimes.push_back(o);
        }
    }
    const std::string load = LoadAverage();

    // Where the time goes: the import as the load body runs it, and deleting its work file.
    std::vector<double> importTimes, deleteTimes;
    for (int run = 0; run < 3 && status == 0; ++run) {
        ::sync();
        orvella::TProgress progress;
        std::unique_ptr<orvella::TPeakBuilder> peaks;
        orvella::TWavImportOptions options;
        options.Peaks = &peaks;
        auto start = std::chrono::steady_clock::now();
        try {
            orvella::DecodeWAVFile(source, work, progress, options);
        } catch (const orvella::Exception& e) {
            std::fprintf(stderr, "import failed: %s\n", e.what());
            status = 1;
        }
        importTimes.push_back(Seconds(start));
        start = std::chrono::steady_clock::now();
        std::remove(work.c_str());
        deleteTimes.push_back(Seconds(start));
    }
    std::remove(work.c_str());
    std::remove(source.c_str());

    if (status != 0) return status;
    const double cpTime = Median(cpTimes), openTime = Median(openTimes);
    std::printf("medians of 5, interleaved, after a warm-up (load average %s)\n", load.c_str());
    std::printf("cp:                 %.3f s\norvella-batch --info: %.3f s\nratio:              "
                "%.2f (goal 1.3)\n",
                cpTime, openTime, openTime / cpTime);
    std::printf("in process, medians of 3: import with peak index %.3f s, deleting the work file "
                "%.3f s\n",
                Median(importTimes), Median(deleteTimes));
    return status;
}
