#pragma once
// Work files and the sample store.
//
// A work file is a RIFF WAVE file with the canonical 44-byte header and frame-interleaved
// little-endian values in the document's sample format: 16-bit signed PCM (format tag 1) or
// 32-bit IEEE float (tag 3). A value index k names the value at byte 44 + k * (its size). The
// store takes its format from the header: a read store from the file's, a write store from the
// one written into it.
//
// TSampleStore gives random access to the values of one work file through one memory-mapped window
// of at most MaxWindowSize bytes that starts at a multiple of the page size and moves on a miss.
// Thread rule: every method may be called from any thread. The methods that use the window (and
// CopyFrom and the visitors) serialise on the store's own lock, so a reader on one thread never
// sees the window moved under it by another; ReadBlock and WriteBlock need no lock and may run
// on several threads at once.

#include "engine/posixfile.h"
#include "engine/sampleformat.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace orvella {

#pragma pack(push, 1)
struct TWaveHeader {
    char ChunkId[4];         // "RIFF"
    uint32_t RiffSize;       // data bytes + 36, or SizeToEndOfFile
    char FormType[4];        // "WAVE"
    char FormatChunkId[4];   // "fmt "
    uint32_t FormatSize;     // 16
    uint16_t FormatTag;      // 1 = PCM
    uint16_t Channels;       // 1 or 2
    uint32_t SamplesPerSec;  // Hz
    uint32_t AvgBytesPerSec; // rate * BlockAlign
    uint16_t BlockAlign;     // channels * value size
    uint16_t BitsPerSample;  // 16 or 32
    char DataChunkId[4];     // "data"
    uint32_t DataSize;       // data bytes, or SizeToEndOfFile
};
#pragma pack(pop)
static_assert(sizeof(TWaveHeader) == 44, "the work file header is 44 bytes");

// The header of a work file holding dataBytes of values in format.
TWaveHeader MakeWorkHeader(uint16_t channels, uint32_t sampleRate, uint64_t dataBytes,
                           TSampleFormat format = TSampleFormat::Int16);
// Sets the header's sizes for dataBytes. Past what 32 bits hold, both sizes read 0xFFFFFFFF: the
// data then runs to the end of the file, whose size the store knows.
void SetWorkDataBytes(TWaveHeader& header, uint64_t dataBytes);
constexpr uint32_t SizeToEndOfFile = 0xFFFFFFFF;
// The format of the values under header: Float32 for 32-bit IEEE float, else Int16.
TSampleFormat SampleFormatOf(const TWaveHeader& header);

// Creates a new empty file "~<hex>.tmp" exclusively in folder and returns its path.
std::string NewWorkFileName(const std::string& folder);

// Bytes available to this process on the volume that holds path.
uint64_t FreeSpaceOf(const std::string& path);

class TSampleStore {
public:
    static constexpr uint32_t MaxWindowSize = 33554432; // 32 MiB
    // Values per span of VisitRead and VisitFill: a buffer that stays in the cache.
    static constexpr int64_t ChunkValues = 1 << 17;

    // createNew false: a read store on an existing file (created empty when missing).
    // createNew true: a write store of exactly size bytes (header included), zero-filled and with
    // its disk space reserved; fails with the free-space text when the volume of tempFolder has
    // less than size bytes available.
    TSampleStore(const std::string& fileName, uint64_t size, bool createNew,
                 const std::string& tempFolder);
    ~TSampleStore();
    TSampleStore(const TSampleStore&) = delete;
    TSampleStore& operator=(const TSampleStore&) = delete;

    void ReadHeader(TWaveHeader& header);
    // Also makes the header's format the store's.
    void WriteHeader(const TWaveHeader& header);

    // Single values of a 16-bit store.
    int16_t GetValue(int64_t index);
    // Stores the low 16 bits of value.
    void SetValue(int64_t index, int32_t value);

    // Values First .. Last inclusive; nothing when Last < First. T is the store's value type
    // (int16_t or float); another raises.
    template <class T> void ReadBlock(T* buffer, int64_t first, int64_t last);
    template <class T> void WriteBlock(const T* buffer, int64_t first, int64_t last);
    // Appends count values of the store's type T after its last one (write stores): the file
    // grows, its header's sizes follow, and a full disk fails before anything is written.
    template <class T> void Append(const T* values, int64_t count);
    // Values First .. Last in the other type too: as 16-bit (float values rounded to nearest and
    // limited to full scale, as a sound device or a 16-bit reader takes them) or as float (16-bit
    // values exactly, v / 32768).
    void ReadShorts(int16_t* buffer, int64_t first, int64_t last);
    void ReadFloats(float* buffer, int64_t first, int64_t last);
    // For i in 0 .. count-1: this[destIndex + i] := source[sourceIndex + i]; nothing when count <=
    // 0. Both stores have the same format.
    void CopyFrom(TSampleStore& source, int64_t sourceIndex, int64_t destIndex, int64_t count);

    // Visits the values first .. first+count-1 a chunk of at most ChunkValues at a time, in
    // increasing order: f(const T* values, uint32_t n, int64_t indexOfValues0). The values
    // are read from the file into a buffer (the kernel's copy out of the page cache is several
    // times faster than touching mapped pages one by one); the window stays where it is. The
    // store is locked while f runs; f must not call back into this store.
    template <class T = int16_t, class F> void VisitRead(int64_t first, int64_t count, F&& f);
    // Fills the values first .. first+count-1 a chunk at a time, in increasing order:
    // f(T* values, uint32_t n, int64_t indexOfValues0) must set all n values, which are
    // then written to the file (write stores only). Locked as VisitRead.
    template <class T = int16_t, class F> void VisitFill(int64_t first, int64_t count, F&& f);

    // Writes dirty pages and the file to disk (for files that must survive a crash).
    void Flush();
    // Unmaps the window, so that its pages stop counting towards the resident set; the next call
    // that needs a window maps one again. For a store its owner has let go of while readers may
    // still hold it.
    void ReleaseWindow();

    uint64_t FileSize() const { return Size; }
    int64_t ValueCount() const { return Size < 44 ? 0 : int64_t((Size - 44) / ValueBytes); }
    TSampleFormat Format() const { return SampleFormat; }
    uint64_t WindowStart() const { return Start; }
    uint64_t WindowEnd() const { return End; }
    uint32_t Granularity() const { return Gran; }
    bool IsWriteStore() const { return Writable; }
    const std::string& FileName() const { return Name; }

private:
    // Maps the window that holds byte offset a (and the next byte), remapping on a miss.
    // Returns the address of byte a; the caller holds Lock.
    uint8_t* Reach(uint64_t a);
    void MapWindow(uint64_t start);
    void Unmap();
    void CheckRange(int64_t first, int64_t count) const;
    void CheckWritable() const;
    void AppendValues(const void* values, int64_t count);
    // Raises unless values of valueSize bytes are this store's.
    void CheckValueSize(size_t valueSize) const;
    uint64_t OffsetOf(int64_t index) const { return 44 + uint64_t(ValueBytes) * uint64_t(index); }
    // Moves count values between buffer and the file at value index first, by system calls; the
    // caller holds Lock.
    void ReadValues(void* buffer, int64_t first, int64_t count);
    void WriteValues(const void* buffer, int64_t first, int64_t count);
    // Both stores locked by the caller.
    bool CopyByKernel(TSampleStore& source, int64_t sourceIndex, int64_t destIndex, int64_t count);

    std::string Name;
    TFileDescriptor File;
    bool Writable = false;
    TSampleFormat SampleFormat = TSampleFormat::Int16;
    uint32_t ValueBytes = 2;
    uint32_t Gran = 4096;
    // Byte offsets in the file: 64-bit, so that the store itself sets no 4 GiB ceiling.
    uint64_t Size = 0;
    uint64_t Start = 0;
    uint64_t End = 0;
    uint8_t* WindowBase = nullptr;
    std::mutex Lock;
};

// The visitors lock the store for one chunk at a time, so another thread's read waits
// at most for one span's work, never for a whole visit.
template <class T> void TSampleStore::ReadBlock(T* buffer, int64_t first, int64_t last) {
    if (last < first) return;
    CheckValueSize(sizeof(T));
    CheckRange(first, last - first + 1);
    ReadValues(buffer, first, last - first + 1);
}

template <class T> void TSampleStore::WriteBlock(const T* buffer, int64_t first, int64_t last) {
    CheckWritable();
    if (last < first) return;
    CheckValueSize(sizeof(T));
    CheckRange(first, last - first + 1);
    WriteValues(buffer, first, last - first + 1);
}

template <class T> void TSampleStore::Append(const T* values, int64_t count) {
    CheckWritable();
    CheckValueSize(sizeof(T));
    if (count > 0) AppendValues(values, count);
}

template <class T, class F> void TSampleStore::VisitRead(int64_t first, int64_t count, F&& f) {
    if (count <= 0) return;
    CheckValueSize(sizeof(T));
    CheckRange(first, count);
    std::vector<T> buffer(size_t(count < ChunkValues ? count : ChunkValues));
    for (int64_t i = first, stop = first + count; i < stop;) {
        const int64_t n = stop - i < ChunkValues ? stop - i : ChunkValues;
        std::lock_guard<std::mutex> guard(Lock);
        ReadValues(buffer.data(), i, n);
        f(static_cast<const T*>(buffer.data()), uint32_t(n), i);
        i += n;
    }
}

template <class T, class F> void TSampleStore::VisitFill(int64_t first, int64_t count, F&& f) {
    if (count <= 0) return;
    CheckWritable();
    CheckValueSize(sizeof(T));
    CheckRange(first, count);
    std::vector<T> buffer(size_t(count < ChunkValues ? count : ChunkValues));
    for (int64_t i = first, stop = first + count; i < stop;) {
        const int64_t n = stop - i < ChunkValues ? stop - i : ChunkValues;
        std::lock_guard<std::mutex> guard(Lock);
        f(buffer.data(), uint32_t(n), i);
        WriteValues(buffer.data(), i, n);
        i += n;
    }
}

// Sequential writer of a work file whose length is known only at the end.
// Thread rule: one thread at a time.
class TWorkFileWriter {
public:
    // Creates or truncates the file and positions after the 44 header bytes.
    TWorkFileWriter(const std::string& fileName, int channels, int sampleRate,
                    TSampleFormat format = TSampleFormat::Int16);
    // Closes the file if Close was not called (errors are then lost: call Close).
    ~TWorkFileWriter();
    TWorkFileWriter(const TWorkFileWriter&) = delete;
    TWorkFileWriter& operator=(const TWorkFileWriter&) = delete;

    // Appends count bytes; returns count.
    uint32_t Write(const void* buffer, uint32_t count);
    // Writes the header from Total, the channel count and the rate, and closes the file.
    void Close();

    uint64_t Total() const { return Written; }

private:
    void FlushBuffer();

    TFileDescriptor File;
    int ChannelCount;
    int Rate;
    TSampleFormat Format;
    uint64_t Written = 0;
    std::string Pending;
};

} // namespace orvella
