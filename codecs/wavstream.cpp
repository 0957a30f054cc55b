#include "codecs/wavstream.h"

#include "codecs/wavpayload/formattag.h"
#include "codecs/wavpayload/pcmconvert.h"
#include "engine/errors.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>

namespace orvella {

namespace {

[[noreturn]] void Fail(const char* message) {
    throw Exception(message);
}

bool IsUncompressed(uint16_t tag) {
    return tag == WAVE_FORMAT_PCM || tag == WAVE_FORMAT_IEEE_FLOAT;
}

// Integer and float samples fill whole bytes; a 12-bit sample occupies 2.
uint32_t ContainerBytes(uint16_t bits) {
    return (uint32_t(bits) + 7) / 8;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TWaveStream

TWaveStream::~TWaveStream() = default;

const TWaveFormat& TWaveStream::Format() const {
    return *reinterpret_cast<const TWaveFormat*>(FormatRecord.data());
}

int64_t TWaveStream::Read(void* buffer, int64_t count) {
    if (count <= 0) return 0;
    const int64_t n = File.Read(buffer, uint64_t(count));
    if (n < 0) Fail("Error 09: Cannot read from file.");
    return n;
}

int64_t TWaveStream::Seek(int64_t blocks, int origin) {
    const int64_t block = FormatRecord.empty() ? 0 : Format().nBlockAlign;
    if (block == 0) Fail("Error 10: Cannot seek in file.");
    int64_t base = DataStart;
    if (origin == 1) base = File.Tell();
    if (origin == 2) base = File.FileSize();
    // Block counts come from callers; keep the product inside 64 bits.
    if (blocks > INT64_MAX / 65536 || blocks < -(INT64_MAX / 65536))
        Fail("Error 10: Cannot seek in file.");
    const int64_t target = base + blocks * block;
    if (target < DataStart) Fail("Error 10: Cannot seek in file.");
    if (File.Seek(target, TRiffFile::TOrigin::Begin) < 0) Fail("Error 10: Cannot seek in file.");
    return (target - DataStart) / block;
}

int64_t TWaveStream::Write(const void* buffer, int64_t blocks) {
    const int64_t block = FormatRecord.empty() ? 0 : Format().nBlockAlign;
    if (blocks <= 0 || block == 0) return 0;
    const int64_t n = File.Write(buffer, uint64_t(blocks * block));
    if (n < 0) Fail("Error 11: Cannot write to file.");
    return n / block;
}

void TWaveStream::ReadHeader() {
    if (!File.Descend(FormChunk)) Fail("Error 12: Invalid multimedia file!");
    if ((FormChunk.Id != FOURCC_RIFF && FormChunk.Id != FOURCC_RF64) ||
        FormChunk.FormType != FOURCC_WAVE)
        Fail("Error 13: Not a wave file!");

    if (!File.FindChunk(SubChunk, FOURCC_FMT, &FormChunk))
        Fail("Error 14: Cannot find 'fmt' chunk!");
    if (SubChunk.Size < 16) Fail("Error 15: Abnormal 'fmt' size!");
    uint8_t head[16];
    if (Read(head, 16) != 16) Fail("Error 16: Cannot read 'fmt' chunk!");
    TWaveFormat f{};
    std::memcpy(&f, head, 16);
    // Uncompressed formats carry no extra bytes, whatever the chunk says. For the others cbSize
    // follows, except in a 16-byte body, which has none; the extra bytes must lie in the body.
    f.cbSize = 0;
    if (!IsUncompressed(f.wFormatTag) && SubChunk.Size >= 18) {
        uint8_t size[2];
        if (Read(size, 2) != 2) Fail("Error 17: Cannot read 'waveformatex' length!");
        f.cbSize = uint16_t(size[0] | size[1] << 8);
        if (18u + f.cbSize > SubChunk.Size) Fail("Error 18: Cannot read 'waveformatex'!");
    }
    FormatRecord.assign(sizeof(TWaveFormat) + f.cbSize, 0);
    std::memcpy(FormatRecord.data(), &f, sizeof f);
    if (f.cbSize > 0 && Read(FormatRecord.data() + sizeof f, f.cbSize) != f.cbSize)
        Fail("Error 18: Cannot read 'waveformatex'!");

    // No whole blocks can be read without a block size, and an uncompressed block must be one
    // sample of each channel.
    const uint16_t tag = EffectiveFormatTag(FormatRecord).Tag;
    if (f.nBlockAlign == 0) Fail("Error 15: Abnormal 'fmt' size!");
    if (IsUncompressed(tag) && f.nBlockAlign != f.nChannels * ContainerBytes(f.wBitsPerSample))
        Fail("Error 15: Abnormal 'fmt' size!");

    if (!File.Ascend(SubChunk)) Fail("Error 20: Cannot ascend from 'fmt' chunk!");

    // data may stand before or after fmt: search the form from its first sub-chunk.
    if (File.Seek(int64_t(FormChunk.DataOffset) + 4, TRiffFile::TOrigin::Begin) < 0 ||
        !File.FindChunk(SubChunk, FOURCC_DATA, &FormChunk))
        Fail("Error 21: Cannot seek to data!");
    if (File.FileSize() < 0) Fail("Error 22: Cannot get info!");

    DataStart = int64_t(SubChunk.DataOffset);
    const int64_t present = std::max<int64_t>(FileLength - DataStart, 0);
    if (SubChunk.Size == 0 || SubChunk.Size == 0xFFFFFFFFu)
        DataLength = present;
    else
        DataLength = std::min<int64_t>(SubChunk.Size, present);
    DataLength -= DataLength % f.nBlockAlign;
}

void TWaveStream::CreateHeader(const TWaveFormat& format) {
    WriteMode = true;
    if (!File.CreateChunk(FormChunk, FOURCC_RIFF, 0, FOURCC_WAVE))
        Fail("Error 01: Cannot create chunk.");
    const uint32_t length = sizeof(TWaveFormat) + format.cbSize;
    if (!File.CreateChunk(SubChunk, FOURCC_FMT, length)) Fail("Error 02: Cannot create chunk.");
    if (File.Write(&format, length) != int64_t(length)) Fail("Error 03: Cannot write wave format.");
    FormatRecord.assign(sizeof(TWaveFormat), 0);
    std::memcpy(FormatRecord.data(), &format, sizeof(TWaveFormat));
    if (!File.Ascend(SubChunk)) Fail("Error 04: Cannot ascend chunk.");
    if (!File.CreateChunk(SubChunk, FOURCC_DATA, 0)) Fail("Error 05: Cannot create chunk.");
    DataStart = int64_t(SubChunk.DataOffset);
}

bool TWaveStream::Finish() {
    if (!WriteMode) return true;
    WriteMode = false;
    bool ok = File.Seek(0, TRiffFile::TOrigin::End) >= 0;
    ok = ok && File.Ascend(SubChunk) && File.Ascend(FormChunk);
    return File.Flush() && ok;
}

// ---------------------------------------------------------------------------------------------
// TFileWaveStream

TFileWaveStream::TFileWaveStream(const std::string& fileName, const TWaveFormat* format)
    : TFileWaveStream(std::make_unique<TRiffFile>(), fileName, format) {}

TFileWaveStream::TFileWaveStream(std::unique_ptr<TRiffFile> file, const std::string& fileName,
                                 const TWaveFormat* format)
    : TWaveStream(*file)
    , Owned(std::move(file)) {
    if (format) {
        if (!File.Open(fileName, TRiffFile::TMode::Create))
            Fail("Error 25: Cannot open file stream.");
        CreateHeader(*format);
        return;
    }
    if (!TFileDescriptor::Open(fileName, O_RDONLY).IsOpen()) Fail("Error 24: Cannot open file.");
    if (!File.Open(fileName, TRiffFile::TMode::Read)) Fail("Error 25: Cannot open file stream.");
    FileLength = File.Seek(0, TRiffFile::TOrigin::End);
    File.Seek(0, TRiffFile::TOrigin::Begin);
    ReadHeader();
    File.Seek(DataStart, TRiffFile::TOrigin::Begin);
}

TFileWaveStream::~TFileWaveStream() {
    Finish(); // a destructor reports nothing; a write-mode caller checks the file it made
    File.Close();
}

// ---------------------------------------------------------------------------------------------
// TPCMWaveReader

TPCMWaveReader::TPCMWaveReader(TWaveStream& stream)
    : Stream(stream) {
    const std::vector<uint8_t>& record = stream.FormatBytes();
    std::memcpy(&Source, record.data(), sizeof Source);
    const uint16_t tag = EffectiveFormatTag(record).Tag;
    if (tag == WAVE_FORMAT_PCM) {
        // Delivered unchanged; samples narrower than their container count as the container's
        // width (their value sits in the top bits).
        Kind = TKind::Integer;
        Pcm = Source;
        Pcm.wFormatTag = WAVE_FORMAT_PCM;
        Pcm.wBitsPerSample = uint16_t(ContainerBytes(Source.wBitsPerSample) * 8);
        Pcm.cbSize = 0;
        Limit = std::max<int32_t>(Source.nBlockAlign, ChunkSize - ChunkSize % Source.nBlockAlign);
    } else if (tag == WAVE_FORMAT_IEEE_FLOAT) {
        if (!IsConvertibleFloatWidth(Source.wBitsPerSample))
            Fail("Error 26: Cannot suggest pcm format.");
        Kind = TKind::Float;
        Pcm = MakePCMFormat(Source.nChannels, Source.nSamplesPerSec, 16);
        const uint32_t frames = std::max<uint32_t>(1, ChunkSize / (2u * Source.nChannels));
        SourceBuffer.resize(size_t(frames) * Source.nBlockAlign);
        Limit = int32_t(frames * 2u * Source.nChannels);
    } else {
        Kind = TKind::Compressed;
        Decoder = std::make_unique<TPayloadDecoder>();
        if (!Decoder->Suggest(record, Pcm)) Fail("Error 26: Cannot suggest pcm format.");
        if (!Decoder->Open()) Fail("Error 27: Cannot open acm stream.");
        const uint32_t sourceSize = Decoder->MaxSourceSize();
        if (sourceSize == 0) Fail("Error 30: Cannot recommend an acm stream size.");
        SourceBuffer.resize(sourceSize);
        if (!Decoder->Prepare()) Fail("Error 28: Cannot prepare headers.");
    }
    DataLength = stream.DataSize();
    Consumed = 0;
}

TPCMWaveReader::~TPCMWaveReader() = default;

int32_t TPCMWaveReader::Read(void* buffer, int32_t& count) {
    if (count < 1) return 0;
    switch (Kind) {
    case TKind::Integer:
        return ReadInteger(buffer, count);
    case TKind::Float:
        return ReadFloat(buffer, count);
    case TKind::Compressed:
        return ReadCompressed(buffer, count);
    }
    return 0;
}

int32_t TPCMWaveReader::ReadInteger(void* buffer, int32_t& count) {
    // Whole blocks of about ChunkSize bytes, at least one block.
    const int64_t block = Source.nBlockAlign;
    const int64_t chunk = std::max<int64_t>(block, ChunkSize - ChunkSize % block);
    const int64_t want = std::min(chunk, DataLength - Consumed);
    count = 0;
    if (want <= 0) return 0;
    const int64_t got = Stream.Read(buffer, want);
    Consumed += got;
    count = int32_t(got);
    return int32_t(got);
}

int32_t TPCMWaveReader::ReadFloat(void* buffer, int32_t& count) {
    const int64_t want = std::min<int64_t>(int64_t(SourceBuffer.size()), DataLength - Consumed);
    count = 0;
    if (want <= 0) return 0;
    const int64_t got = Stream.Read(SourceBuffer.data(), want);
    Consumed += got;
    count = int32_t(got);
    const unsigned bytes = Source.wBitsPerSample / 8;
    const size_t values = size_t(got) / bytes;
    ConvertFloatTo16(SourceBuffer.data(), Source.wBitsPerSample, values,
                     static_cast<int16_t*>(buffer));
    return int32_t(values * 2);
}

int32_t TPCMWaveReader::ReadCompressed(void* buffer, int32_t& count) {
    count = 0;
    // Decode until there is output to deliver or the source is used up and drained. Bytes a
    // decoder does not use within one chunk stay with it for the next.
    while (Pending.size() == PendingStart && !Drained) {
        Pending.clear();
        PendingStart = 0;
        // SourceBuffer holds MaxSourceSize, the most SourceSize asks for.
        const int64_t want =
            std::min<int64_t>(Decoder->SourceSize(ChunkSize), DataLength - Consumed);
        int64_t got = 0;
        if (want > 0) {
            got = Stream.Read(SourceBuffer.data(), want);
            Consumed += got;
            count += int32_t(got);
            if (got < want) Consumed = DataLength; // the file ended early
        }
        const bool final = Consumed >= DataLength;
        if (!Decoder->Convert(SourceBuffer.data(), uint32_t(got), final, Pending))
            Fail("Error 34: Unable to convert sample.");
        if (final) Drained = true;
    }
    const size_t n = std::min<size_t>(Pending.size() - PendingStart, size_t(ChunkSize));
    if (n > 0) std::memcpy(buffer, Pending.data() + PendingStart, n);
    PendingStart += n;
    return int32_t(n);
}

} // namespace orvella
