#include "codecs/wavwriter.h"

#include "codecs/riff.h"
#include "codecs/wavpayload/pcmconversion.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace orvella {

namespace {

[[noreturn]] void Fail(const char* message) {
    throw EMakerError(message, -1);
}

// Largest target descriptor: a TWaveFormat and 513 format-specific bytes.
constexpr size_t MaxTargetSize = sizeof(TWaveFormat) + 513;
// A 100 ms source buffer larger than this is refused as out of memory: no real format needs
// it, and a damaged header must not make the writer allocate gigabytes.
constexpr uint64_t MaxSourceBuffer = 64u << 20;
// What the buffers first take: they grow to their full sizes only while that much is gathered,
// so a short sound does not pay for 100 ms of a wide format.
constexpr uint32_t FirstBufferSize = 64u << 10;

// Makes buffer hold at least need bytes (at most limit), keeping its first kept bytes.
void Reserve(std::unique_ptr<uint8_t[]>& buffer, uint32_t& capacity, uint32_t need, uint32_t limit,
             uint32_t kept, const char* outOfMemory) {
    if (need <= capacity) return;
    const uint32_t size =
        std::min(limit, std::max({need, FirstBufferSize,
                                  uint32_t(std::min<uint64_t>(uint64_t(capacity) * 2, limit))}));
    try {
        auto grown = std::make_unique_for_overwrite<uint8_t[]>(size);
        if (kept > 0) std::memcpy(grown.get(), buffer.get(), kept);
        buffer = std::move(grown);
    } catch (const std::bad_alloc&) {
        Fail(outOfMemory);
    }
    capacity = size;
}

} // namespace

struct TWavWriter::Impl {
    bool Opened = false;
    uint32_t Written = 0; // bytes written during the current Write call
    TWaveFormat Source{};
    std::vector<uint8_t> Target; // TWaveFormat + cbSize bytes, at least 18 bytes
    std::unique_ptr<TPcmConversion> Stream;
    std::unique_ptr<TRiffFile> File;
    // The buffers' full sizes: 100 ms of source, and what converting that much gives.
    uint32_t SourceBufferSize = 0;
    uint32_t DestBufferSize = 0;
    // Allocated as far as used so far (see Reserve). Never cleared: only bytes written into
    // them are read back.
    std::unique_ptr<uint8_t[]> SourceBuffer;
    std::unique_ptr<uint8_t[]> DestBuffer;
    uint32_t SourceCapacity = 0, DestCapacity = 0;
    uint32_t Buffered = 0;
    uint32_t Frames = 0; // source frames converted so far: the fact value
    uint64_t DataBytes = 0;
    uint64_t SizeLimit = MaxWorkFileSize;
    TChunkInfo Form, Fact, Data;

    const TWaveFormat& TargetFormat() const {
        return *reinterpret_cast<const TWaveFormat*>(Target.data());
    }
    void Release();
    void CreateHeader(const std::string& fileName);
    void Convert(bool final);
    void WriteData(const uint8_t* bytes, uint32_t count);
};

void TWavWriter::Impl::Release() {
    Stream.reset();
    File.reset();
    SourceBuffer.reset();
    DestBuffer.reset();
    SourceCapacity = DestCapacity = 0;
}

TWavWriter::TWavWriter(const TWaveFormat& sourceFormat, const std::vector<uint8_t>& targetFormat)
    : P(std::make_unique<Impl>()) {
    P->Target.assign(targetFormat.begin(),
                     targetFormat.begin() + std::min(targetFormat.size(), MaxTargetSize));
    if (P->Target.size() < sizeof(TWaveFormat)) P->Target.resize(sizeof(TWaveFormat), 0);
    SetSourceFormat(sourceFormat.nSamplesPerSec, sourceFormat.nChannels,
                    sourceFormat.wBitsPerSample);
}

TWavWriter::TWavWriter(const TWaveFormat& sourceFormat, const TWaveFormat& targetFormat)
    : TWavWriter(sourceFormat,
                 std::vector<uint8_t>(reinterpret_cast<const uint8_t*>(&targetFormat),
                                      reinterpret_cast<const uint8_t*>(&targetFormat) +
                                          sizeof targetFormat)) {
    // The 18-byte form carries no extra bytes, whatever its cbSize says.
    TWaveFormat& target = *reinterpret_cast<TWaveFormat*>(P->Target.data());
    target.cbSize = 0;
}

TWavWriter::~TWavWriter() = default;

void TWavWriter::SetSizeLimit(uint64_t bytes) {
    P->SizeLimit = std::min(bytes, MaxWorkFileSize);
}

void TWavWriter::SetSourceFormat(uint32_t rate, uint16_t channels, uint16_t bits) {
    TWaveFormat& s = P->Source;
    s.wFormatTag = WAVE_FORMAT_PCM;
    s.nChannels = channels;
    s.nSamplesPerSec = rate;
    s.nBlockAlign = uint16_t((bits / 8) * channels);
    s.nAvgBytesPerSec = uint32_t(uint64_t(s.nBlockAlign) * rate);
    s.wBitsPerSample = bits;
    s.cbSize = 0;
}

bool TWavWriter::IsOpen() const {
    return P->Opened;
}

void TWavWriter::Open(const std::string& fileName) {
    Impl& p = *P;
    if (p.Opened) return;
    p.Release();
    p.Buffered = 0;
    p.Frames = 0;
    p.DataBytes = 0;

    p.Stream = TPcmConversion::Open(p.Source, p.TargetFormat());
    if (!p.Stream) Fail("Can not open conversion stream. File format not supported");

    // 100 ms of source audio in whole frames, at least one frame.
    const uint64_t frames =
        std::max<uint64_t>(1, (uint64_t(p.Source.nSamplesPerSec) * 100 + 500) / 1000);
    const uint64_t sourceSize = frames * p.Source.nBlockAlign;
    if (sourceSize > MaxSourceBuffer) Fail("Not enought memory for source buffer");
    p.SourceBufferSize = uint32_t(sourceSize);

    const uint64_t destSize = p.Stream->DestinationSize(sourceSize);
    if (destSize == 0) Fail("Source buffer too small for conversion");
    if (destSize > 2 * MaxSourceBuffer) Fail("Can not get size of the destination buffer");
    p.DestBufferSize = uint32_t(destSize);

    p.CreateHeader(fileName);
    p.Opened = true;
}

void TWavWriter::Impl::CreateHeader(const std::string& fileName) {
    const TWaveFormat& target = TargetFormat();
    const uint32_t formatSize = AcmFormatSize(target.wFormatTag);
    if (formatSize == 0) Fail("Unable to get size of format description");
    File = std::make_unique<TRiffFile>();
    if (!File->Open(fileName, TRiffFile::TMode::Create)) Fail("Can not open file");

    std::vector<uint8_t> body(Target.begin(),
                              Target.begin() + std::min<size_t>(formatSize, Target.size()));
    body.resize(formatSize, 0);
    TChunkInfo fmt;
    bool ok = File->CreateChunk(Form, FOURCC_RIFF, 0, FOURCC_WAVE) &&
              File->CreateChunk(fmt, FOURCC_FMT, formatSize) &&
              File->Write(body.data(), formatSize) == int64_t(formatSize) && File->Ascend(fmt);
    Fact = {};
    if (ok && target.wFormatTag != WAVE_FORMAT_PCM) {
        const uint32_t zero = 0;
        ok = File->CreateChunk(Fact, FOURCC_FACT, 4) && File->Write(&zero, 4) == 4 &&
             File->Ascend(Fact);
    }
    ok = ok && File->CreateChunk(Data, FOURCC_DATA, 0);
    if (!ok) Fail("Can not create file header");
}

bool TWavWriter::IsPassThrough() const {
    return P->Opened && P->Stream->IsIdentity();
}

uint64_t TWavWriter::PassThroughDataBytes(uint64_t inputBytes) const {
    const uint64_t block = P->Source.nBlockAlign;
    if (block == 0 || P->SourceBufferSize == 0) return inputBytes;
    const uint64_t whole = inputBytes - inputBytes % block;
    // Close converts a frame of silence when nothing is left gathered, and keeps it after more
    // than 4 frames in all.
    const bool filler = inputBytes % P->SourceBufferSize == 0 && whole / block + 1 > 4;
    return whole + (filler ? block : 0);
}

uint32_t TWavWriter::PassThroughUnit() const {
    return std::max<uint32_t>(P->SourceBufferSize, 1);
}

uint64_t TWavWriter::CopyFromFile(int sourceFd, int64_t sourceOffset, uint64_t count,
                                  TKernelCopy copy) {
    Impl& p = *P;
    if (!IsPassThrough() || p.Buffered != 0) return 0;
    const uint64_t bytes = count - count % p.SourceBufferSize;
    if (bytes == 0) return 0;
    if (p.Data.DataOffset + p.DataBytes + bytes > p.SizeLimit) Fail(WorkFileTooLargeText);
    const int64_t copied = p.File->CopyFrom(sourceFd, sourceOffset, bytes, copy);
    if (copied < 0) Fail("Failed to write data to file");
    // The whole buffers the kernel moved stay; a part of one is cut off again, and the caller
    // hands its bytes to Write.
    const uint64_t whole = uint64_t(copied) - uint64_t(copied) % p.SourceBufferSize;
    if (whole != uint64_t(copied) &&
        (p.File->Seek(-int64_t(uint64_t(copied) - whole), TRiffFile::TOrigin::Current) < 0 ||
         !p.File->Truncate()))
        Fail("Failed to write data to file");
    p.Frames += uint32_t(whole / p.Source.nBlockAlign);
    p.DataBytes += whole;
    return whole;
}

uint32_t TWavWriter::Write(const void* buffer, uint32_t count) {
    Impl& p = *P;
    p.Written = 0;
    if (!p.Opened) return 0;
    const uint8_t* in = static_cast<const uint8_t*>(buffer);
    while (count > 0) {
        if (p.Buffered == 0 && count >= p.SourceBufferSize && p.Stream->IsIdentity()) {
            // Whole source buffers of an identical conversion: the same bytes and frame count as
            // one conversion per buffer, written in one go.
            const uint32_t bytes = count - count % p.SourceBufferSize;
            p.WriteData(in, bytes);
            p.Frames += bytes / p.Source.nBlockAlign;
            in += bytes;
            count -= bytes;
            continue;
        }
        const uint32_t n = std::min(p.SourceBufferSize - p.Buffered, count);
        Reserve(p.SourceBuffer, p.SourceCapacity, p.Buffered + n, p.SourceBufferSize, p.Buffered,
                "Not enought memory for source buffer");
        std::memcpy(p.SourceBuffer.get() + p.Buffered, in, n);
        p.Buffered += n;
        in += n;
        count -= n;
        if (p.Buffered == p.SourceBufferSize) p.Convert(false);
    }
    return p.Written;
}

void TWavWriter::Impl::Convert(bool final) {
    const uint32_t block = Source.nBlockAlign;
    bool filler = false;
    if (Buffered == 0) {
        // Nothing left: convert one frame of silence. Zero bytes are silence for signed samples;
        // 8-bit PCM is unsigned, and its zero byte would end the sound on a full-scale click.
        const bool unsigned8 = Source.wFormatTag == WAVE_FORMAT_PCM && Source.wBitsPerSample == 8;
        Reserve(SourceBuffer, SourceCapacity, block, SourceBufferSize, 0,
                "Not enought memory for source buffer");
        std::memset(SourceBuffer.get(), unsigned8 ? 0x80 : 0, block);
        Buffered = block;
        filler = true;
    }
    uint32_t sourceUsed = 0, destUsed = 0;
    const uint8_t* output = SourceBuffer.get();
    if (Stream->IsIdentity()) {
        sourceUsed = destUsed = Buffered - Buffered % block;
    } else {
        // An identical conversion writes straight from the source buffer; others convert all
        // that is gathered, into as much of the destination as that takes.
        const uint32_t need =
            uint32_t(std::min<uint64_t>(Stream->DestinationSize(Buffered), DestBufferSize));
        Reserve(DestBuffer, DestCapacity, need, DestBufferSize, 0,
                "Not enought memory for destination buffer");
        Stream->Convert(SourceBuffer.get(), Buffered, DestBuffer.get(), DestCapacity, sourceUsed,
                        destUsed);
        output = DestBuffer.get();
    }
    if (sourceUsed == 0 && destUsed == 0) Fail("Destination buffer to small for conversion");
    Frames += sourceUsed / block;
    // A filler frame is kept only after more than 4 frames in all, so an import of nothing
    // leaves an empty data chunk.
    if (!(final && filler && Frames <= 4)) WriteData(output, destUsed);
    Buffered -= sourceUsed;
    if (Buffered > 0) std::memmove(SourceBuffer.get(), SourceBuffer.get() + sourceUsed, Buffered);
}

void TWavWriter::Impl::WriteData(const uint8_t* bytes, uint32_t count) {
    if (count == 0) return;
    if (Data.DataOffset + DataBytes + count > SizeLimit) Fail(WorkFileTooLargeText);
    if (File->Write(bytes, count) != int64_t(count)) Fail("Failed to write data to file");
    DataBytes += count;
    Written += count;
}

void TWavWriter::Close() {
    Impl& p = *P;
    if (!p.Opened) return;
    p.Written = 0;
    try {
        p.Convert(true);
    } catch (...) {
        p.Opened = false;
        p.Release();
        throw;
    }
    p.Opened = false;
    bool ok = p.File->Ascend(p.Data) && p.File->Ascend(p.Form);
    if (ok && p.Fact.Id == FOURCC_FACT) {
        ok = p.File->Seek(int64_t(p.Fact.DataOffset), TRiffFile::TOrigin::Begin) >= 0 &&
             p.File->Write(&p.Frames, 4) == 4;
    }
    ok = p.File->Close() && ok;
    p.Release();
    if (!ok) Fail("Can not correct file header");
}

} // namespace orvella
