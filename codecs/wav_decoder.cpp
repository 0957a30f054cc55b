#include "codecs/wav_decoder.h"

#include "codecs/wavstream.h"
#include "codecs/wavwriter.h"
#include "engine/errors.h"
#include "engine/posixfile.h"
#include "engine/samplestore.h"
#include "engine/writebehind.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <vector>

namespace orvella {

namespace {

constexpr size_t TransferSize = 0x100000;
// The work file's header: the canonical 16-bit PCM one.
constexpr uint64_t WorkHeaderSize = 44;

// Uncompressed sources: the work file's length is known before anything is written.
void CheckWorkFileSize(const TPCMWaveReader& reader, const TWaveFormat& sourceFormat,
                       uint64_t limit) {
    if (reader.IsCompressed() || sourceFormat.nBlockAlign == 0) return;
    const uint64_t frames = uint64_t(reader.DataSize()) / sourceFormat.nBlockAlign;
    if (WorkHeaderSize + frames * reader.PCMFormat().nChannels * 2 >
        std::min(limit, MaxWorkFileSize))
        throw Exception(WorkFileTooLargeText);
}

// What a write-behind thread does with each buffer: hands it to the writer.
TWriteBehind::TWrite WriteTo(TWavWriter& writer) {
    return [&writer](const uint8_t* bytes, size_t count) { writer.Write(bytes, uint32_t(count)); };
}

// Source bytes per kernel copy: progress is reported between them.
constexpr uint64_t CopyStep = 32u << 20;
// Source bytes per read when the index is built on the way: a buffer that stays in the cache
// between the read and the index builder.
constexpr uint64_t ScanStep = 1u << 20;

// 16-bit PCM: the source's data bytes are the work file's values.
// Without the peak index, the kernel copies them between the two files (file systems that copy
// by themselves do so without passing them through memory at all); where it cannot, they are
// read and written. With the index, each piece is read once, fed to the index builder and
// written from the same buffer behind the reading, on a thread of its own: the work file is never
// read back, and writing the bytes already in memory costs less than the kernel copying them
// again (on ext4 its copy also leaves the file in small pages that take longer to free).
// What is left at the end (less than one of the writer's buffers) goes through Write.
void PassThrough(const std::string& sourceFile, const TWaveStream& stream, TWavWriter& writer,
                 TProgress& progress, const TWavImportOptions& options) {
    const int64_t offset = stream.DataOffset();
    const int64_t total = stream.DataSize();
    if (total <= 0) return;
    TFileDescriptor source = TFileDescriptor::Open(sourceFile, O_RDONLY);
    if (!source.IsOpen()) throw Exception("Error 09: Cannot read from file.");

    const TWaveFormat& format = stream.Format();
    const uint64_t block = uint64_t(format.nChannels) * 2;
    const uint64_t outputBytes = writer.PassThroughDataBytes(uint64_t(total));
    const uint64_t frames = outputBytes / block;
    std::unique_ptr<TPeakBuilder> peaks;
    if (options.Peaks && frames > PeakBlockFrames && frames <= UINT32_MAX)
        peaks = std::make_unique<TPeakBuilder>(uint32_t(frames), format.nChannels);

    // Pieces are whole writer buffers, so that every piece but the last can be copied whole.
    const uint64_t unit = writer.PassThroughUnit();
    const uint64_t step = std::max<uint64_t>(1, (peaks ? ScanStep : CopyStep) / unit) * unit;
    if (peaks) {
        TWriteBehind behind(WriteTo(writer), size_t(std::min<uint64_t>(step, uint64_t(total))));
        int64_t done = 0;
        while (done < total) {
            const uint64_t want = std::min<uint64_t>(uint64_t(total - done), step);
            uint8_t* buffer = behind.Next();
            const int64_t n = ReadFully(source.Get(), buffer, size_t(want), offset + done);
            if (n < 0) throw Exception("Error 09: Cannot read from file.");
            peaks->Feed(reinterpret_cast<const int16_t*>(buffer), uint32_t(n / 2));
            if (n > 0) behind.Submit(size_t(n));
            done += n;
            progress = int(double(done) / double(total) * 100.0);
            if (uint64_t(n) < want) break; // the file was cut short meanwhile
        }
        behind.Finish();
        if (done == total) *options.Peaks = std::move(peaks);
        return;
    }

    std::vector<uint8_t> buffer;
    bool kernel = options.KernelCopy != nullptr;
    int64_t done = 0;
    while (done < total) {
        const uint64_t want = std::min<uint64_t>(uint64_t(total - done), step);
        uint64_t got = 0;
        if (kernel) {
            got = writer.CopyFromFile(source.Get(), offset + done, want, options.KernelCopy);
            // Less than the whole buffers asked for: the kernel cannot copy these files.
            if (got < want - want % unit) kernel = false;
        }
        if (got < want) {
            const size_t rest = size_t(want - got);
            if (buffer.size() < rest) buffer.resize(rest);
            const int64_t n =
                ReadFully(source.Get(), buffer.data(), rest, offset + done + int64_t(got));
            if (n < 0) throw Exception("Error 09: Cannot read from file.");
            if (n > 0) writer.Write(buffer.data(), uint32_t(n));
            got += uint64_t(n);
        }
        done += int64_t(got);
        progress = int(double(done) / double(total) * 100.0);
        if (got < want) break; // the file was cut short meanwhile
    }
}

// The precision of a source, from its reader: what decides the document's sample format.
TFilePrecision PrecisionOf(const TPCMWaveReader& reader, const TWaveFormat& source) {
    if (reader.IsIntegerPCM()) {
        const uint16_t bits = reader.PCMFormat().wBitsPerSample; // the container's width
        return bits == 24 ? TFilePrecision::Pcm24
               : bits == 32 ? TFilePrecision::Pcm32
                            : TFilePrecision::Pcm16;
    }
    if (!reader.IsCompressed())
        return source.wBitsPerSample == 64 ? TFilePrecision::Float64 : TFilePrecision::Float32;
    return TFilePrecision::Pcm16;
}

// count source values of precision at src as float values (full scale ±1.0). Integers scale
// exactly by their width; float values pass unchanged, except NaN and infinities, which become 0
// (they would poison every sum the effects make).
void ConvertToFloat(const uint8_t* src, TFilePrecision precision, size_t count, float* dst) {
    switch (precision) {
    case TFilePrecision::Pcm24:
        // Four bytes loaded at a time (the fourth, the next value's, shifted out), but for the
        // last value, whose fourth byte may lie past the buffer.
        for (size_t k = 0; k + 1 < count; ++k, src += 3) {
            uint32_t w;
            std::memcpy(&w, src, 4);
            dst[k] = float(int32_t(w << 8) >> 8) * 0x1.0p-23f;
        }
        if (count > 0) {
            const int32_t v = int32_t(uint32_t(src[0]) << 8 | uint32_t(src[1]) << 16 |
                                      uint32_t(src[2]) << 24) >> 8;
            dst[count - 1] = float(v) * 0x1.0p-23f;
        }
        break;
    case TFilePrecision::Pcm32:
        for (size_t k = 0; k < count; ++k, src += 4) {
            int32_t v;
            std::memcpy(&v, src, 4);
            dst[k] = float(double(v) * 0x1.0p-31);
        }
        break;
    case TFilePrecision::Float64:
        for (size_t k = 0; k < count; ++k, src += 8) {
            double v;
            std::memcpy(&v, src, 8);
            dst[k] = std::isfinite(v) ? float(v) : 0.0f;
        }
        break;
    default:
        // By the exponent bits, which vectorises: all ones is NaN or an infinity.
        for (size_t k = 0; k < count; ++k, src += 4) {
            uint32_t bits;
            std::memcpy(&bits, src, 4);
            bits = (bits & 0x7F800000u) == 0x7F800000u ? 0u : bits;
            std::memcpy(dst + k, &bits, 4);
        }
        break;
    }
}

// Sources of more than 16 bits: their values, read a piece at a time, become a float work file.
// Each piece is converted, fed to the peak index and written behind the reading.
void ImportAsFloat(TWaveStream& stream, TFilePrecision precision, const std::string& workFile,
                   TProgress& progress, const TWavImportOptions& options) {
    const TWaveFormat& format = stream.Format();
    const int channels = format.nChannels;
    const size_t sourceBytes = size_t(format.nBlockAlign / channels);
    const int64_t total = stream.DataSize();
    const uint64_t frames = uint64_t(total) / format.nBlockAlign;
    // Past 4 GiB the work file's sizes read to its end; its frames are counted in 32 bits.
    if (WorkHeaderSize + frames * channels * 4 > options.WorkFileLimit || frames > UINT32_MAX)
        throw Exception(WorkFileTooLargeText);
    std::unique_ptr<TPeakBuilder> peaks;
    if (options.Peaks && frames > PeakBlockFrames)
        peaks = std::make_unique<TPeakBuilder>(uint32_t(frames), channels);

    // Pieces go straight to their place in the file (no second buffer), the header last.
    TFileDescriptor file = TFileDescriptor::OpenEmpty(workFile, O_WRONLY, 0600);
    if (!file.IsOpen()) RaiseLastOSError();
    uint64_t written = 0;
    // A short source gets a short buffer: its size follows the source up to 1 MiB a piece.
    const size_t pieceFrames = size_t(std::clamp<uint64_t>(
        frames, 1, std::max<uint64_t>(1, (1u << 20) / format.nBlockAlign)));
    std::vector<uint8_t> piece(pieceFrames * format.nBlockAlign);
    TWriteBehind behind(
        [&](const uint8_t* bytes, size_t count) {
            if (!WriteFully(file.Get(), bytes, count, int64_t(WorkHeaderSize + written)))
                RaiseFileError(errno);
            written += count;
        },
        pieceFrames * channels * sizeof(float));
    int64_t done = 0;
    bool complete = true;
    for (uint64_t left = frames; left > 0;) {
        const uint64_t want = std::min<uint64_t>(left, pieceFrames);
        const int64_t got = stream.Read(piece.data(), int64_t(want * format.nBlockAlign));
        const size_t values = size_t(got > 0 ? got : 0) / sourceBytes / channels * channels;
        if (values > 0) {
            float* out = reinterpret_cast<float*>(behind.Next());
            ConvertToFloat(piece.data(), precision, values, out);
            if (peaks) peaks->Feed(out, uint32_t(values));
            behind.Submit(values * sizeof(float));
        }
        done += got > 0 ? got : 0;
        progress = int(double(done) / double(total) * 100.0);
        if (uint64_t(got) < want * format.nBlockAlign) { // the file was cut short
            complete = false;
            break;
        }
        left -= want;
    }
    behind.Finish();
    const TWaveHeader header =
        MakeWorkHeader(uint16_t(channels), format.nSamplesPerSec, written, TSampleFormat::Float32);
    if (!WriteFully(file.Get(), &header, sizeof header, 0)) RaiseFileError(errno);
    if (!file.Close()) RaiseFileError(errno);
    if (peaks && complete) *options.Peaks = std::move(peaks);
}

} // namespace

bool DecodeWAVFile(const std::string& sourceFile, const std::string& workFile,
                   TProgress& progress) {
    return DecodeWAVFile(sourceFile, workFile, progress, TWavImportOptions{});
}

bool DecodeWAVFile(const std::string& sourceFile, const std::string& workFile, TProgress& progress,
                   const TWavImportOptions& options) {
    if (options.Peaks) options.Peaks->reset();
    TFileWaveStream stream(sourceFile, nullptr);
    TPCMWaveReader reader(stream);
    const TFilePrecision precision = PrecisionOf(reader, stream.Format());
    if (options.Precision) *options.Precision = precision;
    if (DocumentFormatFor(precision) == TSampleFormat::Float32) {
        ImportAsFloat(stream, precision, workFile, progress, options);
        progress = 0;
        return true;
    }
    const TWaveFormat source = reader.PCMFormat();
    // The work file always gets the canonical 16-bit header, not a copy of the source's fields.
    const TWaveFormat target = MakePCMFormat(source.nChannels, source.nSamplesPerSec, 16);
    CheckWorkFileSize(reader, stream.Format(), options.WorkFileLimit);

    TWavWriter writer(source, target);
    writer.SetSizeLimit(options.WorkFileLimit);
    try {
        writer.Open(workFile);
        const int64_t total = reader.DataSize();
        const bool passThrough = options.PassThrough && reader.IsIntegerPCM() &&
                                 source.wBitsPerSample == 16 && writer.IsPassThrough();
        if (passThrough) {
            PassThrough(sourceFile, stream, writer, progress, options);
        } else if (total > 0) {
            // Several reads are gathered before each Write: the writer's output does not depend
            // on how its input is cut, and large writes keep the 16-bit path fast. A short source
            // gets a short transfer buffer: sixteen times its data covers the widest expansion of
            // a compressed format, and a larger output just takes more writes.
            const size_t limit = size_t(reader.ReadLimit());
            const size_t transferSize = size_t(std::clamp<uint64_t>(
                uint64_t(total) * 16, std::max<uint64_t>(limit, 65536), TransferSize));
            // Writing runs behind the reads on a thread of its own.
            TWriteBehind behind(WriteTo(writer), transferSize);
            uint8_t* transfer = behind.Next();
            int64_t consumed = 0;
            uint64_t delivered = 0;
            size_t filled = 0;
            while (true) {
                int32_t count = 1;
                const int32_t n = reader.Read(transfer + filled, count);
                if (n > 0) {
                    filled += size_t(n);
                    delivered += uint64_t(n);
                }
                // Decoded output is the work file's data: stop decoding as soon as it passes the
                // limit, not a transfer or two later when the writer sees it.
                if (reader.IsCompressed() &&
                    WorkHeaderSize + delivered > std::min(options.WorkFileLimit, MaxWorkFileSize))
                    throw Exception(WorkFileTooLargeText);
                consumed += count;
                progress = int(double(consumed) / double(total) * 100.0);
                if (filled > 0 && (n <= 0 || transferSize - filled < limit)) {
                    behind.Submit(filled);
                    filled = 0;
                    if (n > 0) transfer = behind.Next();
                }
                if (n <= 0) break;
            }
            behind.Finish();
        }
        progress = 0;
    } catch (...) {
        try {
            writer.Close();
        } catch (...) {
            // The first failure is the one to report.
        }
        throw;
    }
    writer.Close();
    return true;
}

} // namespace orvella
