#include "codecs/riff.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvella {

namespace {

// Large enough that sequential reads and writes cost few system calls; transfers at least this
// long bypass the buffer.
constexpr size_t BufferCapacity = 256 * 1024;

uint32_t GetU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void PutU32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

bool HasFormType(uint32_t id) {
    return id == FOURCC_RIFF || id == FOURCC_RF64 || id == FOURCC_LIST;
}

} // namespace

ssize_t KernelCopyFileRange(int fdIn, off_t* offIn, int fdOut, off_t* offOut, size_t count,
                            unsigned flags) {
    return ::copy_file_range(fdIn, offIn, fdOut, offOut, count, flags);
}

bool TRiffFile::Open(const std::string& fileName, TMode mode) {
    if (Handle.IsOpen()) return false;
    Writable = mode == TMode::Create;
    Handle = Writable ? TFileDescriptor::OpenEmpty(fileName, O_RDWR, 0644)
                      : TFileDescriptor::Open(fileName, O_RDONLY);
    if (!Handle.IsOpen()) return false;
    Position = 0;
    ReadLength = 0;
    ReadStart = 0;
    WriteBuf.clear();
    WriteStart = 0;
    struct stat st {};
    KnownSize = ::fstat(Handle.Get(), &st) == 0 ? int64_t(st.st_size) : 0;
    return true;
}

bool TRiffFile::Close() {
    if (!Handle.IsOpen()) return true;
    bool ok = FlushWrites();
    if (!Handle.Close()) ok = false;
    return ok;
}

bool TRiffFile::FlushWrites() {
    if (WriteBuf.empty()) return true;
    const bool ok = WriteFully(Handle.Get(), WriteBuf.data(), WriteBuf.size(), WriteStart);
    if (ok) KnownSize = std::max<int64_t>(KnownSize, WriteStart + int64_t(WriteBuf.size()));
    WriteBuf.clear();
    return ok;
}

bool TRiffFile::Flush() {
    return Handle.IsOpen() && FlushWrites();
}

int64_t TRiffFile::FileSize() {
    if (!Handle.IsOpen()) return -1;
    struct stat st {};
    if (::fstat(Handle.Get(), &st) == 0)
        KnownSize = std::max<int64_t>(KnownSize, int64_t(st.st_size));
    return std::max<int64_t>(KnownSize, WriteStart + int64_t(WriteBuf.size()));
}

int64_t TRiffFile::Read(void* buffer, uint64_t count) {
    if (!Handle.IsOpen()) return -1;
    if (!FlushWrites()) return -1;
    uint8_t* out = static_cast<uint8_t*>(buffer);
    uint64_t done = 0;
    while (done < count) {
        const int64_t bufEnd = ReadStart + int64_t(ReadLength);
        if (Position >= ReadStart && Position < bufEnd) {
            const uint64_t n = std::min<uint64_t>(count - done, uint64_t(bufEnd - Position));
            std::memcpy(out + done, ReadBuf.get() + (Position - ReadStart), n);
            done += n;
            Position += int64_t(n);
            continue;
        }
        if (count - done >= BufferCapacity) {
            const int64_t n = ReadFully(Handle.Get(), out + done, size_t(count - done), Position);
            if (n < 0) return -1;
            done += uint64_t(n);
            Position += n;
            break;
        }
        if (ReadCapacity < BufferCapacity) {
            // No larger than what the file still holds: a short file costs a short buffer.
            const int64_t left = FileSize() - Position;
            const size_t wanted = size_t(std::clamp<int64_t>(left, 4096, BufferCapacity));
            if (wanted > ReadCapacity) {
                ReadBuf = std::make_unique_for_overwrite<uint8_t[]>(wanted);
                ReadCapacity = wanted;
            }
        }
        ReadLength = 0;
        const int64_t n = ReadFully(Handle.Get(), ReadBuf.get(), ReadCapacity, Position);
        if (n < 0) return -1;
        ReadLength = size_t(n);
        ReadStart = Position;
        if (n == 0) break;
    }
    return int64_t(done);
}

int64_t TRiffFile::Write(const void* buffer, uint64_t count) {
    if (!Handle.IsOpen() || !Writable) return -1;
    ReadLength = 0;
    if (!WriteBuf.empty() && Position != WriteStart + int64_t(WriteBuf.size())) {
        if (!FlushWrites()) return -1;
    }
    const uint8_t* in = static_cast<const uint8_t*>(buffer);
    if (count >= BufferCapacity) {
        if (!FlushWrites()) return -1;
        if (!WriteFully(Handle.Get(), in, size_t(count), Position)) return -1;
        Position += int64_t(count);
        KnownSize = std::max(KnownSize, Position);
        return int64_t(count);
    }
    if (WriteBuf.empty()) WriteStart = Position;
    WriteBuf.insert(WriteBuf.end(), in, in + count);
    Position += int64_t(count);
    if (WriteBuf.size() >= BufferCapacity && !FlushWrites()) return -1;
    return int64_t(count);
}

int64_t TRiffFile::CopyFrom(int sourceFd, int64_t sourceOffset, uint64_t count, TKernelCopy copy) {
    if (!Handle.IsOpen() || !Writable) return -1;
    if (!FlushWrites()) return -1;
    ReadLength = 0;
    off_t from = off_t(sourceOffset);
    off_t to = off_t(Position);
    uint64_t done = 0;
    while (done < count) {
        const ssize_t n = copy(sourceFd, &from, Handle.Get(), &to, size_t(count - done), 0);
        if (n > 0) {
            done += uint64_t(n);
            continue;
        }
        if (n == 0) break; // the source ended
        if (errno == EINTR) continue;
        // Not between these files (another file system, or one that cannot copy by itself).
        if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) break;
        return -1;
    }
    Position += int64_t(done);
    KnownSize = std::max(KnownSize, Position);
    return int64_t(done);
}

bool TRiffFile::Truncate() {
    if (!Handle.IsOpen() || !Writable || !FlushWrites()) return false;
    if (::ftruncate(Handle.Get(), off_t(Position)) != 0) return false;
    KnownSize = Position;
    return true;
}

int64_t TRiffFile::Seek(int64_t offset, TOrigin origin) {
    if (!Handle.IsOpen()) return -1;
    int64_t base = 0;
    if (origin == TOrigin::Current) base = Position;
    if (origin == TOrigin::End) base = FileSize();
    if ((offset < 0 && base < -offset) || (offset > 0 && base > INT64_MAX - offset)) return -1;
    Position = base + offset;
    return Position;
}

bool TRiffFile::Descend(TChunkInfo& chunk) {
    uint8_t header[8];
    const int64_t start = Position;
    if (Read(header, 8) != 8) {
        Position = start;
        return false;
    }
    TChunkInfo found;
    found.Id = GetU32(header);
    found.Size = GetU32(header + 4);
    found.DataOffset = uint64_t(start) + 8;
    if (HasFormType(found.Id)) {
        uint8_t form[4];
        if (Read(form, 4) != 4) {
            Position = start;
            return false;
        }
        found.FormType = GetU32(form);
    }
    chunk = found;
    return true;
}

uint64_t TRiffFile::ParentEnd(const TChunkInfo* parent) {
    const uint64_t fileEnd = uint64_t(std::max<int64_t>(FileSize(), 0));
    if (!parent) return fileEnd;
    // A size of 0 or 0xFFFFFFFF is what streaming writers leave when the length was not known.
    if (parent->Size == 0 || parent->Size == 0xFFFFFFFFu) return fileEnd;
    return std::min(parent->DataOffset + parent->Size, fileEnd);
}

bool TRiffFile::FindChunk(TChunkInfo& chunk, uint32_t id, const TChunkInfo* parent,
                          uint32_t formType) {
    const uint64_t end = ParentEnd(parent);
    while (true) {
        const uint64_t start = uint64_t(Position);
        if (start + 8 > end) return false;
        TChunkInfo next;
        if (!Descend(next)) return false;
        if (next.Id == id && (formType == 0 || next.FormType == formType)) {
            chunk = next;
            return true;
        }
        // Skip the body and its pad byte; 64-bit sums cannot overflow here.
        const uint64_t after = next.DataOffset + next.Size + (next.Size & 1u);
        if (after > uint64_t(INT64_MAX)) return false;
        Position = int64_t(after);
    }
}

bool TRiffFile::Ascend(TChunkInfo& chunk) {
    if (!Handle.IsOpen()) return false;
    if (!chunk.Created) {
        const uint64_t after = chunk.DataOffset + chunk.Size + (chunk.Size & 1u);
        Position = int64_t(after);
        return true;
    }
    if (uint64_t(Position) < chunk.DataOffset) return false;
    const uint64_t size = uint64_t(Position) - chunk.DataOffset;
    if (size > 0xFFFFFFFFu) return false;
    if (size & 1u) {
        const uint8_t pad = 0;
        if (Write(&pad, 1) != 1) return false;
    }
    const int64_t after = Position;
    if (uint32_t(size) != chunk.Size) {
        uint8_t field[4];
        PutU32(field, uint32_t(size));
        Position = int64_t(chunk.DataOffset) - 4;
        if (Write(field, 4) != 4) return false;
        chunk.Size = uint32_t(size);
    }
    Position = after;
    return true;
}

bool TRiffFile::CreateChunk(TChunkInfo& chunk, uint32_t id, uint32_t size, uint32_t formType) {
    if (!Handle.IsOpen() || !Writable) return false;
    uint8_t header[12];
    PutU32(header, id);
    PutU32(header + 4, size);
    PutU32(header + 8, formType);
    const uint64_t length = HasFormType(id) ? 12 : 8;
    TChunkInfo made;
    made.Id = id;
    made.Size = size;
    made.FormType = HasFormType(id) ? formType : 0;
    made.DataOffset = uint64_t(Position) + 8;
    made.Created = true;
    if (Write(header, length) != int64_t(length)) return false;
    chunk = made;
    return true;
}

} // namespace orvella
