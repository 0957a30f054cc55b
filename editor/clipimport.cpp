#include "editor/clipimport.h"

#include "codecs/wav_decoder.h"
#include "codecs/wavwriter.h"
#include "engine/errors.h"
#include "engine/pathnames.h"
#include "engine/posixfile.h"
#include "engine/samplestore.h"
#include "engine/waveclip.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace orvella {

namespace {

const char* const NoClipMemoryText = "Could not allocate memory for clipboard.";

uint16_t ReadLE16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}

uint32_t ReadLE32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// A temporary file in the engine's folder, removed with the object.
class TTempFile {
public:
    explicit TTempFile(const std::string& folder)
        : Path(NewWorkFileName(folder)) {}
    ~TTempFile() { ::unlink(Path.c_str()); }
    TTempFile(const TTempFile&) = delete;
    TTempFile& operator=(const TTempFile&) = delete;

    const std::string Path;
};

void WriteWholeFile(const std::string& path, const uint8_t* data, size_t size) {
    TFileDescriptor file = TFileDescriptor::Open(path, O_WRONLY | O_TRUNC);
    if (!file.IsOpen() || !WriteFully(file.Get(), data, size) || !file.Close())
        RaiseFileError(errno);
}

// The clip a decoder left in workFile: always our layout, checked all the same.
std::vector<uint8_t> ReadWorkFileClip(const std::string& workFile) {
    TFileDescriptor file = TFileDescriptor::Open(workFile, O_RDONLY);
    struct stat info {};
    if (!file.IsOpen() || ::fstat(file.Get(), &info) != 0) RaiseFileError(errno);
    std::vector<uint8_t> block;
    try {
        block.resize(size_t(info.st_size));
    } catch (const std::bad_alloc&) {
        throw Exception(NoClipMemoryText);
    }
    const int64_t got = ReadFully(file.Get(), block.data(), block.size());
    if (got < 0) RaiseFileError(errno);
    block.resize(size_t(got));
    if (!IsWorkClip(block.data(), block.size())) throw Exception(InvalidClipText);
    return block;
}

} // namespace

bool IsWorkClip(const uint8_t* data, size_t size) {
    if (!data || size < sizeof(TWaveHeader)) return false;
    const uint16_t channels = ReadLE16(data + 22);
    const uint16_t tag = ReadLE16(data + 20);
    // 16-bit PCM or 32-bit float, the two formats of a document's values.
    const uint16_t bits = tag == WAVE_FORMAT_PCM ? 16 : tag == WAVE_FORMAT_IEEE_FLOAT ? 32 : 0;
    return bits != 0 && std::memcmp(data, "RIFF", 4) == 0 &&
           std::memcmp(data + 8, "WAVEfmt ", 8) == 0 && ReadLE32(data + 16) == 16 &&
           (channels == 1 || channels == 2) && ReadLE16(data + 32) == channels * bits / 8 &&
           ReadLE16(data + 34) == bits && std::memcmp(data + 36, "data", 4) == 0 &&
           ReadLE32(data + 40) <= size - sizeof(TWaveHeader);
}

std::vector<uint8_t> ClipFromWaveBytes(const uint8_t* data, size_t size,
                                       const std::string& tempFolder) {
    if (IsWorkClip(data, size)) {
        try {
            return std::vector<uint8_t>(data, data + sizeof(TWaveHeader) + ReadLE32(data + 40));
        } catch (const std::bad_alloc&) {
            throw Exception(NoClipMemoryText);
        }
    }
    const TTempFile source(tempFolder);
    WriteWholeFile(source.Path, data, size);
    const TTempFile work(tempFolder);
    TProgress progress;
    try {
        DecodeWAVFile(source.Path, work.Path, progress);
    } catch (const Exception& e) {
        // A full volume or a sound too long for a work file is said as it is; every other failure
        // is the data's, and the reader's numbered texts speak of files.
        if (e.Message() == NotEnoughSpaceText || e.Message() == WorkFileTooLargeText) throw;
        throw Exception(InvalidClipText);
    }
    return ReadWorkFileClip(work.Path);
}

std::vector<uint8_t> ClipFromSoundFile(const std::string& path,
                                       const std::vector<TDecoderRow>& decoders,
                                       const std::string& tempFolder) {
    const std::string extension = LowerExtension(path);
    for (const TDecoderRow& row : decoders) {
        if (row.Extension != extension) continue;
        const TTempFile work(tempFolder);
        TProgress progress;
        if (!row.Decode(path, work.Path, progress)) throw Exception(row.FailureMessage);
        return ReadWorkFileClip(work.Path);
    }
    throw Exception(InvalidClipText);
}

} // namespace orvella
