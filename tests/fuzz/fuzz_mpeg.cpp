// Fuzzes the MPEG frame search and the tag readers with whole files: each input is written to a
// temporary file, read with TMpegAudioInfo (which runs both tag readers), and removed.

#include "codecs/mpegaudioinfo.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string pattern = [] {
        const char* dir = std::getenv("TMPDIR");
        return std::string(dir && *dir ? dir : "/tmp") + "/orvella-fuzz-mpeg-XXXXXX";
    }();
    std::string path = pattern;
    int fd = ::mkstemp(path.data());
    if (fd < 0) return 0;
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) break;
        done += size_t(n);
    }
    ::close(fd);

    orvella::TMpegAudioInfo mpeg;
    if (mpeg.ReadFromFile(path)) {
        // Touch every result the import takes.
        volatile int64_t sink = mpeg.FileLength() + mpeg.SampleRate() + mpeg.Frames() +
                                mpeg.AudioDataOffset() + int64_t(mpeg.ChannelMode().size());
        (void)sink;
    }
    ::unlink(path.c_str());
    return 0;
}
