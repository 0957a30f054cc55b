#pragma once
// RIFF WAVE files as streams of sample blocks, and the PCM reader over them.
//
// TWaveStream: a WAVE file in read mode (header parsed, positioned at the data) or write mode
// (header laid out, samples appended). TFileWaveStream opens one by file name and owns the file.
// TPCMWaveReader delivers the data of a stream as PCM, converting compressed and float sources.
// Every failure raises Exception with one of the numbered "Error NN: ..." texts.
// Thread rule: each object is used by one thread at a time.

#include "codecs/riff.h"
#include "codecs/wavpayload/payloaddecoder.h"
#include "engine/waveformat.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvella {

class TWaveStream {
public:
    virtual ~TWaveStream();
    TWaveStream(const TWaveStream&) = delete;
    TWaveStream& operator=(const TWaveStream&) = delete;

    // Reads count bytes from the current position; the bytes read, 0 at the end of the file.
    virtual int64_t Read(void* buffer, int64_t count);
    // origin 0: DataOffset + blocks * nBlockAlign; 1: from the current position; 2: from the end
    // of the file. Returns the new position in blocks counted from DataOffset.
    virtual int64_t Seek(int64_t blocks, int origin);
    // Appends blocks * nBlockAlign bytes (write mode); returns the whole blocks written.
    virtual int64_t Write(const void* buffer, int64_t blocks);

    // Read mode: the file's format with its cbSize extra bytes; write mode: the 18 bytes given.
    const TWaveFormat& Format() const;
    const std::vector<uint8_t>& FormatBytes() const { return FormatRecord; }
    // File offset of the first data byte.
    int64_t DataOffset() const { return DataStart; }
    // Data bytes to read: clipped to the file, a whole number of blocks.
    int64_t DataSize() const { return DataLength; }
    int64_t FileSize() const { return FileLength; }

protected:
    explicit TWaveStream(TRiffFile& file)
        : File(file) {}
    // Read mode: parses the header of the file opened in File.
    void ReadHeader();
    // Write mode: lays out RIFF WAVE, fmt (with format's cbSize extra bytes) and an empty data.
    void CreateHeader(const TWaveFormat& format);
    // Completes the sizes of the chunks created in write mode; false on an I/O failure.
    bool Finish();

    TRiffFile& File;
    std::vector<uint8_t> FormatRecord;
    int64_t DataStart = 0;
    int64_t DataLength = 0;
    int64_t FileLength = 0;
    TChunkInfo SubChunk;
    TChunkInfo FormChunk;
    bool WriteMode = false;
};

class TFileWaveStream : public TWaveStream {
public:
    // format nullptr: opens fileName for reading. Otherwise creates fileName for writing in that
    // format (a TWaveFormat followed by its cbSize extra bytes).
    TFileWaveStream(const std::string& fileName, const TWaveFormat* format);
    ~TFileWaveStream() override;

private:
    std::unique_ptr<TRiffFile> Owned;
    TFileWaveStream(std::unique_ptr<TRiffFile> file, const std::string& fileName,
                    const TWaveFormat* format);
};

class TPCMWaveReader {
public:
    // PCM bytes delivered by one Read for PCM sources of blocks up to this size, and for every
    // compressed source.
    static constexpr int32_t ChunkSize = 8192;

    explicit TPCMWaveReader(TWaveStream& stream);
    ~TPCMWaveReader();
    TPCMWaveReader(const TPCMWaveReader&) = delete;
    TPCMWaveReader& operator=(const TPCMWaveReader&) = delete;

    // count in: a value below 1 returns 0 at once. count out: the source bytes consumed by this
    // call. Returns the PCM bytes placed in buffer; 0 when the data has ended.
    int32_t Read(void* buffer, int32_t& count);

    // The format Read delivers: integer PCM (8, 16, 24 or 32 bits as the file holds them, or
    // 16 bits for float and compressed sources).
    const TWaveFormat& PCMFormat() const { return Pcm; }
    // Source data bytes (the stream's DataSize).
    int64_t DataSize() const { return DataLength; }
    // The most one Read delivers (Read's buffer must hold it): ChunkSize, or more only for PCM
    // blocks or float frames wider than ChunkSize; never more than 131072.
    int32_t ReadLimit() const { return Limit; }
    bool IsCompressed() const { return Kind == TKind::Compressed; }
    // Integer PCM delivered as the file holds it (no conversion in Read).
    bool IsIntegerPCM() const { return Kind == TKind::Integer; }
    // Source data bytes consumed so far.
    int64_t Position() const { return Consumed; }

private:
    enum class TKind { Integer, Float, Compressed };
    int32_t ReadInteger(void* buffer, int32_t& count);
    int32_t ReadFloat(void* buffer, int32_t& count);
    int32_t ReadCompressed(void* buffer, int32_t& count);

    TWaveStream& Stream;
    TKind Kind = TKind::Integer;
    TWaveFormat Source{};
    TWaveFormat Pcm{};
    int64_t DataLength = 0;
    int64_t Consumed = 0;
    int32_t Limit = ChunkSize;
    std::vector<uint8_t> SourceBuffer; // float and compressed sources
    std::unique_ptr<TPayloadDecoder> Decoder;
    std::vector<uint8_t> Pending; // decoded PCM not yet delivered
    size_t PendingStart = 0;
    bool Drained = false;
};

} // namespace orvella
