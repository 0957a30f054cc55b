#pragma once
// TRiffFile: buffered file access with RIFF chunk navigation (enter, leave, create, search by id).
//
// Chunk rules: an 8-byte header (four-character id, little-endian u32 body size), the body, and
// one pad byte after a body of odd size. RIFF and LIST chunks carry a four-character form type as
// the first 4 bytes of their body.
//
// Reading: every chunk header is read from the file, never assumed; a search walks the chunks of
// a parent and fails when the next header would not fit inside the parent or the file. A chunk's
// declared size is reported as it stands (callers clip it against FileSize()).
// Writing: CreateChunk writes a header with the size given; Ascend writes the pad byte and, when
// the body ended up with another length, corrects the size in the header.
// Thread rule: one thread at a time.

#include "engine/posixfile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace orvella {

// The kernel's copy between two files, with copy_file_range's arguments and results.
using TKernelCopy = ssize_t (*)(int fdIn, off_t* offIn, int fdOut, off_t* offOut, size_t count,
                                unsigned flags);
// copy_file_range itself.
ssize_t KernelCopyFileRange(int fdIn, off_t* offIn, int fdOut, off_t* offOut, size_t count,
                            unsigned flags);

constexpr uint32_t MakeFourCC(char a, char b, char c, char d) {
    return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 |
           uint32_t(uint8_t(d)) << 24;
}
constexpr uint32_t FOURCC_RIFF = MakeFourCC('R', 'I', 'F', 'F');
// RIFF's 64-bit form: its sizes read 0xFFFFFFFF where 32 bits do not hold them (a ds64 chunk has
// the real ones); the data then runs to the end of the file.
constexpr uint32_t FOURCC_RF64 = MakeFourCC('R', 'F', '6', '4');
constexpr uint32_t FOURCC_LIST = MakeFourCC('L', 'I', 'S', 'T');
constexpr uint32_t FOURCC_WAVE = MakeFourCC('W', 'A', 'V', 'E');
constexpr uint32_t FOURCC_FMT = MakeFourCC('f', 'm', 't', ' ');
constexpr uint32_t FOURCC_DATA = MakeFourCC('d', 'a', 't', 'a');
constexpr uint32_t FOURCC_FACT = MakeFourCC('f', 'a', 'c', 't');

// One chunk being read or written.
struct TChunkInfo {
    uint32_t Id = 0;
    uint32_t Size = 0;       // body size as declared in the header
    uint32_t FormType = 0;   // RIFF and LIST only
    uint64_t DataOffset = 0; // file offset of the body (for RIFF/LIST: of the form type)
    bool Created = false;    // written by CreateChunk: Ascend fixes its size
};

class TRiffFile {
public:
    enum class TMode { Read, Create };
    enum class TOrigin { Begin, Current, End };

    TRiffFile() = default;
    ~TRiffFile() = default; // closes without flushing pending writes (Close completes a file)
    TRiffFile(const TRiffFile&) = delete;
    TRiffFile& operator=(const TRiffFile&) = delete;

    // Read: an existing file, read only. Create: a new or truncated file, read-write.
    bool Open(const std::string& fileName, TMode mode);
    // Flushes and closes; false when a pending write or the close fails.
    bool Close();
    bool IsOpen() const { return Handle.IsOpen(); }

    // Bytes read (0 at the end of the file), or -1 on an I/O error.
    int64_t Read(void* buffer, uint64_t count);
    // Bytes written, or -1 on an I/O error.
    int64_t Write(const void* buffer, uint64_t count);
    // The new offset, or -1 when it would be negative or the seek fails.
    int64_t Seek(int64_t offset, TOrigin origin);
    int64_t Tell() const { return Position; }
    // The length of the file (including writes still in the buffer).
    int64_t FileSize();
    bool Flush();
    // Appends count bytes of the file sourceFd, from sourceOffset, at the current position by the
    // kernel's copy (file systems that share extents share them instead of copying). Returns the
    // bytes copied; fewer than count when the source ended or when the kernel cannot copy between
    // these two files (the caller moves the rest itself); -1 on an I/O error, with errno set.
    int64_t CopyFrom(int sourceFd, int64_t sourceOffset, uint64_t count,
                     TKernelCopy copy = KernelCopyFileRange);
    // Cuts the file at the current position; false on an I/O error.
    bool Truncate();

    // Enters the chunk whose header starts at the current position.
    bool Descend(TChunkInfo& chunk);
    // From the current position, searches the chunks of parent for one with id (and, for
    // RIFF/LIST, form type formType when non-zero) and enters it. parent nullptr: the whole file.
    bool FindChunk(TChunkInfo& chunk, uint32_t id, const TChunkInfo* parent, uint32_t formType = 0);
    // Leaves chunk: positions after its body and pad byte; completes a created chunk.
    bool Ascend(TChunkInfo& chunk);
    // Writes a chunk header at the current position (with form type for RIFF and LIST).
    bool CreateChunk(TChunkInfo& chunk, uint32_t id, uint32_t size, uint32_t formType = 0);

private:
    bool FlushWrites();
    // The offset where the children of parent end, clipped to the file.
    uint64_t ParentEnd(const TChunkInfo* parent);

    TFileDescriptor Handle;
    bool Writable = false;
    int64_t Position = 0; // logical position
    // Read buffer: bytes [ReadStart, ReadStart + ReadLength) of the file, in ReadCapacity bytes
    // allocated on a refill and never zero-filled: only what a read brought in is looked at.
    std::unique_ptr<uint8_t[]> ReadBuf;
    size_t ReadCapacity = 0;
    size_t ReadLength = 0;
    int64_t ReadStart = 0;
    // Write buffer: pending bytes for offset WriteStart; it grows as bytes come.
    std::vector<uint8_t> WriteBuf;
    int64_t WriteStart = 0;
    int64_t KnownSize = 0; // file length on disk as last learned
};

} // namespace orvella
