// libFuzzer target for the RIFF reader and the WAV import: every input is written to a file and
// imported into a work file; failures must arrive as orvella::Exception, never as a crash, a
// leak or a hang.

#include "codecs/wav_decoder.h"
#include "engine/errors.h"

extern "C" {
#include <libavutil/log.h>
}

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string TempPath(const char* suffix) {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/orvella-fuzz-wav-" +
           std::to_string(getpid()) + suffix;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string source = TempPath(".wav");
    static const std::string work = TempPath(".tmp");
    static const bool quiet = (av_log_set_level(AV_LOG_QUIET), true);
    (void)quiet;
    if (FILE* f = std::fopen(source.c_str(), "wb")) {
        if (size > 0) std::fwrite(data, 1, size, f);
        std::fclose(f);
    } else {
        return 0;
    }
    std::atomic<int> progress{0};
    try {
        orvella::DecodeWAVFile(source, work, progress);
    } catch (const orvella::Exception&) {
        // the expected outcome for most inputs
    }
    std::remove(source.c_str());
    std::remove(work.c_str());
    return 0;
}
