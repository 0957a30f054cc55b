#include "engine/samplestore.h"

#include "engine/errors.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <random>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace orvella {

namespace {

[[noreturn]] void RaiseError(int code) {
    throw Exception(SystemErrorText(code));
}

} // namespace

void SetWorkDataBytes(TWaveHeader& header, uint64_t dataBytes) {
    const bool fits = dataBytes + 36 < SizeToEndOfFile;
    header.RiffSize = fits ? uint32_t(dataBytes + 36) : SizeToEndOfFile;
    header.DataSize = fits ? uint32_t(dataBytes) : SizeToEndOfFile;
}

TWaveHeader MakeWorkHeader(uint16_t channels, uint32_t sampleRate, uint64_t dataBytes,
                           TSampleFormat format) {
    const uint16_t valueBytes = uint16_t(SampleBytes(format));
    TWaveHeader h{};
    std::memcpy(h.ChunkId, "RIFF", 4);
    std::memcpy(h.FormType, "WAVE", 4);
    std::memcpy(h.FormatChunkId, "fmt ", 4);
    h.FormatSize = 16;
    h.FormatTag = format == TSampleFormat::Float32 ? 3 : 1;
    h.Channels = channels;
    h.SamplesPerSec = sampleRate;
    h.AvgBytesPerSec = sampleRate * channels * valueBytes;
    h.BlockAlign = uint16_t(channels * valueBytes);
    h.BitsPerSample = uint16_t(valueBytes * 8);
    std::memcpy(h.DataChunkId, "data", 4);
    SetWorkDataBytes(h, dataBytes);
    return h;
}

TSampleFormat SampleFormatOf(const TWaveHeader& header) {
    return header.FormatTag == 3 && header.BitsPerSample == 32 ? TSampleFormat::Float32
                                                               : TSampleFormat::Int16;
}

std::string NewWorkFileName(const std::string& folder) {
    static std::mutex counterLock;
    static std::mt19937 generator{std::random_device{}()};
    std::string base = folder.empty() ? std::string(".") : folder;
    if (base.back() != '/') base += '/';
    for (int attempt = 0; attempt < 1000; ++attempt) {
        uint32_t number;
        {
            std::lock_guard<std::mutex> guard(counterLock);
            number = generator();
        }
        char name[32];
        std::snprintf(name, sizeof name, "~%X.tmp", number);
        std::string path = base + name;
        if (TFileDescriptor::Open(path, O_CREAT | O_EXCL | O_RDWR, 0600).IsOpen()) return path;
        if (errno != EEXIST) RaiseLastOSError();
    }
    RaiseError(EEXIST);
}

uint64_t FreeSpaceOf(const std::string& path) {
    struct statvfs info {};
    if (::statvfs(path.c_str(), &info) != 0) RaiseLastOSError();
    return uint64_t(info.f_bavail) * uint64_t(info.f_frsize);
}

TSampleStore::TSampleStore(const std::string& fileName, uint64_t size, bool createNew,
                           const std::string& tempFolder)
    : Name(fileName)
    , Writable(createNew) {
    const long page = ::sysconf(_SC_PAGESIZE);
    Gran = page > 0 ? uint32_t(page) : 4096;
    if (createNew) {
        if (FreeSpaceOf(tempFolder.empty() ? std::string("/tmp") : tempFolder) < size)
            throw Exception(NotEnoughSpaceText);
        File = TFileDescriptor::OpenEmpty(fileName, O_RDWR, 0600);
        if (!File.IsOpen()) RaiseLastOSError();
        // Reserve the blocks now: a full disk must fail here, not as SIGBUS on a mapped write.
        int code = ::ftruncate(File.Get(), off_t(size)) == 0 ? 0 : errno;
        if (code == 0 && size > 0) {
            code = ::posix_fallocate(File.Get(), 0, off_t(size));
            if (code == EOPNOTSUPP || code == EINVAL) code = 0; // the volume cannot reserve
        }
        if (code != 0) {
            File.Reset();
            ::unlink(fileName.c_str());
            RaiseFileError(code);
        }
        Size = size;
    } else {
        File = TFileDescriptor::Open(fileName, O_RDONLY | O_CREAT, 0600);
        if (!File.IsOpen()) RaiseLastOSError();
        struct stat info {};
        if (::fstat(File.Get(), &info) != 0) RaiseLastOSError();
        Size = uint64_t(info.st_size);
        ::posix_fadvise(File.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    MapWindow(0); // on failure File closes the descriptor
    if (!createNew && Size >= sizeof(TWaveHeader)) {
        TWaveHeader header;
        std::memcpy(&header, WindowBase, sizeof header);
        SampleFormat = SampleFormatOf(header);
        ValueBytes = uint32_t(SampleBytes(SampleFormat));
    }
}

TSampleStore::~TSampleStore() {
    Unmap();
}

void TSampleStore::Unmap() {
    if (WindowBase) ::munmap(WindowBase, size_t(End - Start + 1));
    WindowBase = nullptr;
}

void TSampleStore::ReleaseWindow() {
    std::lock_guard<std::mutex> guard(Lock);
    Unmap();
}

void TSampleStore::MapWindow(uint64_t start) {
    Unmap();
    const uint64_t length = std::min<uint64_t>(Size - start, MaxWindowSize);
    if (length == 0) RaiseError(EINVAL); // an empty file has no window to map
    const int protection = Writable ? PROT_READ | PROT_WRITE : PROT_READ;
    // Read windows are populated at once (one fault per window, not per page); a write store's
    // pages are faulted in as written: most of its writing goes through system calls.
    const int flags = Writable ? MAP_SHARED : MAP_SHARED | MAP_POPULATE;
    void* base = ::mmap(nullptr, length, protection, flags, File.Get(), off_t(start));
    if (base == MAP_FAILED) RaiseLastOSError();
    ::madvise(base, length, MADV_SEQUENTIAL);
    WindowBase = static_cast<uint8_t*>(base);
    Start = start;
    End = start + length - 1;
}

uint8_t* TSampleStore::Reach(uint64_t a) {
    if (a + 1 >= Size) RaiseError(EINVAL); // a value lies wholly inside the file
    if (!WindowBase || a < Start || a + 1 > End) MapWindow(a - a % Gran);
    return WindowBase + (a - Start);
}

void TSampleStore::CheckRange(int64_t first, int64_t count) const {
    if (first < 0 || count < 0 || uint64_t(first) + uint64_t(count) > uint64_t(ValueCount()))
        RaiseError(EINVAL);
}

void TSampleStore::CheckWritable() const {
    if (!Writable) RaiseError(EBADF);
}

void TSampleStore::ReadHeader(TWaveHeader& header) {
    std::lock_guard<std::mutex> guard(Lock);
    if (Size < sizeof(TWaveHeader)) RaiseError(EINVAL);
    if (!WindowBase || Start != 0) MapWindow(0);
    std::memcpy(&header, WindowBase, sizeof header);
}

void TSampleStore::WriteHeader(const TWaveHeader& header) {
    std::lock_guard<std::mutex> guard(Lock);
    if (!Writable || Size < sizeof(TWaveHeader)) RaiseError(EBADF);
    if (!WindowBase || Start != 0) MapWindow(0);
    std::memcpy(WindowBase, &header, sizeof header);
    SampleFormat = SampleFormatOf(header);
    ValueBytes = uint32_t(SampleBytes(SampleFormat));
}

void TSampleStore::AppendValues(const void* values, int64_t count) {
    std::lock_guard<std::mutex> guard(Lock);
    if (Size < sizeof(TWaveHeader)) RaiseError(EBADF); // no header to keep up to date
    const uint64_t bytes = uint64_t(count) * ValueBytes;
    const int reserved = ::posix_fallocate(File.Get(), off_t(Size), off_t(bytes));
    if (reserved != 0 && reserved != EOPNOTSUPP && reserved != EINVAL) RaiseFileError(reserved);
    if (!WriteFully(File.Get(), values, size_t(bytes), int64_t(Size))) RaiseFileError(errno);
    Size += bytes;
    TWaveHeader header;
    if (ReadFully(File.Get(), &header, sizeof header, 0) != int64_t(sizeof header))
        RaiseError(EIO);
    SetWorkDataBytes(header, Size - sizeof header);
    if (!WriteFully(File.Get(), &header, sizeof header, 0)) RaiseFileError(errno);
}

void TSampleStore::CheckValueSize(size_t valueSize) const {
    if (valueSize != ValueBytes) RaiseError(EINVAL);
}

int16_t TSampleStore::GetValue(int64_t index) {
    CheckValueSize(2);
    CheckRange(index, 1);
    std::lock_guard<std::mutex> guard(Lock);
    int16_t v;
    std::memcpy(&v, Reach(OffsetOf(index)), 2);
    return v;
}

void TSampleStore::SetValue(int64_t index, int32_t value) {
    CheckValueSize(2);
    CheckRange(index, 1);
    std::lock_guard<std::mutex> guard(Lock);
    if (!Writable) RaiseError(EBADF);
    const int16_t v = int16_t(uint16_t(uint32_t(value) & 0xFFFF));
    std::memcpy(Reach(OffsetOf(index)), &v, 2);
}

void TSampleStore::ReadValues(void* buffer, int64_t first, int64_t count) {
    const size_t bytes = size_t(count) * ValueBytes;
    const int64_t n = ReadFully(File.Get(), buffer, bytes, int64_t(OffsetOf(first)));
    if (n < 0) RaiseLastOSError();
    if (size_t(n) != bytes) RaiseError(EIO); // the file was cut short behind the store's back
}

void TSampleStore::WriteValues(const void* buffer, int64_t first, int64_t count) {
    if (!Writable) RaiseError(EBADF);
    if (!WriteFully(File.Get(), buffer, size_t(count) * ValueBytes, int64_t(OffsetOf(first))))
        RaiseFileError(errno);
}

void TSampleStore::ReadShorts(int16_t* buffer, int64_t first, int64_t last) {
    if (SampleFormat == TSampleFormat::Int16) return ReadBlock(buffer, first, last);
    if (last < first) return;
    CheckRange(first, last - first + 1);
    std::vector<float> values(size_t(std::min<int64_t>(last - first + 1, ChunkValues)));
    for (int64_t i = first; i <= last; i += int64_t(values.size())) {
        const int64_t n = std::min<int64_t>(last - i + 1, int64_t(values.size()));
        ReadValues(values.data(), i, n);
        for (int64_t k = 0; k < n; ++k) buffer[i - first + k] = FloatToShort(values[size_t(k)]);
    }
}

void TSampleStore::ReadFloats(float* buffer, int64_t first, int64_t last) {
    if (SampleFormat == TSampleFormat::Float32) return ReadBlock(buffer, first, last);
    if (last < first) return;
    CheckRange(first, last - first + 1);
    std::vector<int16_t> values(size_t(std::min<int64_t>(last - first + 1, ChunkValues)));
    for (int64_t i = first; i <= last; i += int64_t(values.size())) {
        const int64_t n = std::min<int64_t>(last - i + 1, int64_t(values.size()));
        ReadValues(values.data(), i, n);
        for (int64_t k = 0; k < n; ++k) buffer[i - first + k] = float(values[size_t(k)]) / 32768.0f;
    }
}

void TSampleStore::CopyFrom(TSampleStore& source, int64_t sourceIndex, int64_t destIndex,
                            int64_t count) {
    if (count <= 0) return;
    if (!Writable) RaiseError(EBADF);
    CheckValueSize(source.ValueBytes);
    if (&source == this) {
        // Within one store: go through a bounded buffer in the direction that never overwrites
        // values still to be read.
        CheckRange(sourceIndex, count);
        CheckRange(destIndex, count);
        const int64_t step = std::min<int64_t>(count, 1 << 20);
        std::vector<uint8_t> buffer(size_t(step) * ValueBytes);
        if (destIndex <= sourceIndex) {
            for (int64_t done = 0; done < count; done += step) {
                const int64_t n = std::min(step, count - done);
                ReadValues(buffer.data(), sourceIndex + done, n);
                WriteValues(buffer.data(), destIndex + done, n);
            }
        } else {
            for (int64_t left = count; left > 0;) {
                const int64_t n = std::min(step, left);
                left -= n;
                ReadValues(buffer.data(), sourceIndex + left, n);
                WriteValues(buffer.data(), destIndex + left, n);
            }
        }
        return;
    }
    {
        std::scoped_lock guard(Lock, source.Lock);
        source.CheckRange(sourceIndex, count);
        CheckRange(destIndex, count);
    }
    // A window's worth at a time, so that other readers of either store wait no longer than that.
    bool kernelCopies = true;
    std::vector<uint8_t> buffer;
    for (int64_t done = 0; done < count;) {
        const int64_t n = std::min<int64_t>(count - done, MaxWindowSize / ValueBytes);
        std::scoped_lock guard(Lock, source.Lock);
        if (kernelCopies)
            kernelCopies = CopyByKernel(source, sourceIndex + done, destIndex + done, n);
        if (!kernelCopies) {
            buffer.resize(size_t(std::min<int64_t>(n, ChunkValues)) * ValueBytes);
            for (int64_t k = 0; k < n; k += ChunkValues) {
                const int64_t m = std::min<int64_t>(n - k, ChunkValues);
                source.ReadValues(buffer.data(), sourceIndex + done + k, m);
                WriteValues(buffer.data(), destIndex + done + k, m);
            }
        }
        done += n;
    }
}

// The kernel copies between the two files' caches itself, as cp does. False, with nothing
// copied, when it cannot copy between these two files.
bool TSampleStore::CopyByKernel(TSampleStore& source, int64_t sourceIndex, int64_t destIndex,
                                int64_t count) {
    loff_t from = loff_t(source.OffsetOf(sourceIndex));
    loff_t to = loff_t(OffsetOf(destIndex));
    const loff_t end = from + loff_t(count) * ValueBytes;
    while (from < end) {
        const ssize_t n =
            ::copy_file_range(source.File.Get(), &from, File.Get(), &to, size_t(end - from), 0);
        if (n > 0) continue;
        if (n == 0) RaiseError(EIO); // the source was cut short behind the store's back
        if (errno == EINTR) continue;
        const bool unsupported =
            errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP;
        if (!unsupported) RaiseFileError(errno);
        if (from != loff_t(source.OffsetOf(sourceIndex))) RaiseFileError(errno); // not midway
        return false;
    }
    return true;
}

void TSampleStore::Flush() {
    std::lock_guard<std::mutex> guard(Lock);
    if (WindowBase && Writable && ::msync(WindowBase, size_t(End - Start + 1), MS_SYNC) != 0)
        RaiseFileError(errno);
    if (Writable && ::fsync(File.Get()) != 0) RaiseFileError(errno);
}

// --- TWorkFileWriter ---

namespace {
constexpr size_t TempBufferSize = 1 << 20;
}

TWorkFileWriter::TWorkFileWriter(const std::string& fileName, int channels, int sampleRate,
                                 TSampleFormat format)
    : ChannelCount(channels)
    , Rate(sampleRate)
    , Format(format) {
    File = TFileDescriptor::OpenEmpty(fileName, O_WRONLY, 0600);
    if (!File.IsOpen()) RaiseLastOSError();
    if (::lseek(File.Get(), 44, SEEK_SET) != 44) RaiseLastOSError();
    Pending.reserve(TempBufferSize);
}

TWorkFileWriter::~TWorkFileWriter() {
    if (File.IsOpen()) {
        try {
            Close();
        } catch (...) {
            // The caller who wanted to know called Close.
        }
    }
}

uint32_t TWorkFileWriter::Write(const void* buffer, uint32_t count) {
    Pending.append(static_cast<const char*>(buffer), count);
    Written += count;
    if (Pending.size() >= TempBufferSize) FlushBuffer();
    return count;
}

void TWorkFileWriter::FlushBuffer() {
    if (!WriteFully(File.Get(), Pending.data(), Pending.size())) RaiseFileError(errno);
    Pending.clear();
}

void TWorkFileWriter::Close() {
    if (!File.IsOpen()) return;
    try {
        FlushBuffer();
        const TWaveHeader header = MakeWorkHeader(uint16_t(ChannelCount), uint32_t(Rate), Written, Format);
        if (!WriteFully(File.Get(), &header, sizeof header, 0)) RaiseFileError(errno);
    } catch (...) {
        File.Reset();
        throw;
    }
    if (!File.Close()) RaiseFileError(errno);
}

} // namespace orvella
