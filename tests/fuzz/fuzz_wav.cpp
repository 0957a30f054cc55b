// libFuzzer target for the RIFF reader and the WAV import, with the compressed-WAV decoder layer
// over FFmpeg. An input that starts with "RIFF" is a whole file. Any other input describes a
// compressed WAV: its first bytes choose the format tag (among tags FFmpeg decodes), the channels,
// the rate, the block size, the bits and the codec's extra bytes, and the rest is the data chunk;
// so every such run reaches the decoder layer instead of failing on the RIFF structure.
// The source and the work file are memory-backed descriptors (memfd) opened by their /proc path:
// the import runs unchanged, and no run touches a disk. Failures must arrive as
// orvella::Exception, never as a crash, a leak or a hang.
// A run ends once its work file would pass WorkFileLimit, as an import ends at 4 GiB: a few
// kilobytes of a low-rate codec decode to megabytes. Decoding on through more of the same stream
// seldom reaches new code, while a handful of such inputs would set the pace of the whole run.

#include "codecs/wav_decoder.h"
#include "engine/errors.h"
#include "engine/posixfile.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cstdint>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint64_t WorkFileLimit = 16u << 10;

// A memory-backed file that lives as long as the process, and the path that opens it.
struct TMemoryFile {
    explicit TMemoryFile(const char* name)
        : File(::memfd_create(name, MFD_CLOEXEC))
        , Path("/proc/self/fd/" + std::to_string(File.Get())) {}
    orvella::TFileDescriptor File;
    std::string Path;
};

// Compressed tags that FFmpeg's RIFF table maps to a decoder.
constexpr uint16_t CompressedTags[] = {
    0x0002, // MS ADPCM
    0x0006, // A-law
    0x0007, // mu-law
    0x0011, // IMA ADPCM
    0x0022, // TrueSpeech
    0x0031, // GSM 6.10
    0x0040, // G.721
    0x0050, // MPEG
    0x0055, // MPEG layer 3
    0x0061, // DK4 ADPCM
    0x0062, // DK3 ADPCM
    0x0064, // G.726
    0x0069, // Voxware
    0x0160, // WMA 1
    0x0161, // WMA 2
    0x2000, // AC-3
};

void PutU16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

void PutU32(std::vector<uint8_t>& b, uint32_t v) {
    PutU16(b, uint16_t(v));
    PutU16(b, uint16_t(v >> 16));
}

// tag index, channels, rate (2 bytes, in units of 8 Hz), block align (2), bits, cbSize, extra
// bytes, data. Short inputs leave the missing fields 0.
std::vector<uint8_t> CompressedWave(const uint8_t* data, size_t size) {
    uint8_t head[8] = {};
    const size_t used = size < sizeof head ? size : sizeof head;
    std::memcpy(head, data, used);
    data += used;
    size -= used;
    const uint16_t tag = CompressedTags[head[0] % std::size(CompressedTags)];
    const uint16_t channels = head[1];
    const uint32_t rate = uint32_t(head[2] | head[3] << 8) * 8;
    const uint16_t blockAlign = uint16_t(head[4] | head[5] << 8);
    const uint16_t bits = head[6];
    const uint16_t extra = uint16_t(head[7] < size ? head[7] : size);

    std::vector<uint8_t> b;
    b.reserve(64 + size);
    b.insert(b.end(), {'R', 'I', 'F', 'F'});
    PutU32(b, uint32_t(4 + 8 + 18 + extra + (extra & 1) + 8 + (size - extra)));
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    PutU32(b, 18u + extra);
    PutU16(b, tag);
    PutU16(b, channels);
    PutU32(b, rate);
    PutU32(b, rate * blockAlign);
    PutU16(b, blockAlign);
    PutU16(b, bits);
    PutU16(b, extra);
    b.insert(b.end(), data, data + extra);
    if (extra & 1) b.push_back(0);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    PutU32(b, uint32_t(size - extra));
    b.insert(b.end(), data + extra, data + size);
    return b;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TMemoryFile source("orvella-fuzz-source");
    static TMemoryFile work("orvella-fuzz-work");
    static const bool quiet = (av_log_set_level(AV_LOG_QUIET), true);
    (void)quiet;
    if (!source.File.IsOpen() || !work.File.IsOpen()) return 0;

    std::vector<uint8_t> built;
    if (size < 4 || std::memcmp(data, "RIFF", 4) != 0) {
        built = CompressedWave(data, size);
        data = built.data();
        size = built.size();
    }
    if (::ftruncate(source.File.Get(), 0) != 0 ||
        !orvella::WriteFully(source.File.Get(), data, size, 0))
        return 0;
    orvella::TProgress progress;
    orvella::TWavImportOptions options;
    options.WorkFileLimit = WorkFileLimit;
    try {
        orvella::DecodeWAVFile(source.Path, work.Path, progress, options);
    } catch (const orvella::Exception&) {
        // the expected outcome for most inputs
    }
    // The next run's writer truncates it anyway; free the pages now.
    (void)::ftruncate(work.File.Get(), 0);
    return 0;
}
