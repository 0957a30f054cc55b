#pragma once
// What the document needs from the codecs, handed in by the host so that the engine never
// includes the codecs: the decoders chosen by extension, the MP3 writer, and the question for MP3
// settings before an MP3 save.

#include "engine/peakindex.h"
#include "engine/progress.h"
#include "engine/sampleformat.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvella {

class TDocument;

// (source path, work-file path, the document's Progress) -> true when a complete work file was
// written. Failures may also be raised as Exception.
using TImportRoutine = std::function<bool(const std::string& source, const std::string& workFile,
                                          TProgress& progress)>;

// An import routine that may also build the work file's peak index on the way: it sets peaks to
// a builder fed with every value of the work file, or leaves it empty; and it sets precision to
// the source's (left as it is, 16-bit, by routines that only make 16-bit work files).
using TPeakImportRoutine = std::function<bool(
    const std::string& source, const std::string& workFile, TProgress& progress,
    std::unique_ptr<TPeakBuilder>& peaks, TFilePrecision& precision)>;

struct TDecoderRow {
    std::string Extension; // lower case, with the dot: ".wav"
    TImportRoutine Decode;
    int SourceKind;             // 1 WAV, 2 MP3, 3 WMA
    std::string FailureMessage; // shown in the "File Loading Error!" box when Decode returns false
    // Optional; used instead of Decode when set.
    TPeakImportRoutine DecodeWithPeaks = nullptr;
};

// The MP3 encoder's configuration record, filled before an MP3 save.
using TEncoderConfig = std::array<uint8_t, 349>;

// An encoder that writes a file from interleaved 16-bit or float values handed over in chunks.
class TEncodedWriter {
public:
    virtual ~TEncodedWriter() = default;
    // Encodes byteCount / 2 values; returns the encoded bytes written, or -1 after a failure.
    virtual int Write(const int16_t* values, uint32_t byteCount) = 0;
    // Encodes count float values (full scale ±1.0) likewise. An encoder without a float input
    // takes them rounded to 16 bits and limited.
    virtual int WriteFloats(const float* values, uint32_t count);
    // Flushes the encoder and closes the file; true when the file is complete.
    virtual bool Finish() = 0;
};

// Creates the writer on path; sets samplesPerChunk to the number of values each Write must hold
// (0 when the encoder could not be opened; the writer then counts as failed).
using TMP3WriterFactory = std::function<std::unique_ptr<TEncodedWriter>(
    const std::string& path, uint32_t& samplesPerChunk, const TEncoderConfig& config)>;

struct TCodecServices {
    std::vector<TDecoderRow> Decoders; // tested in this order
    TMP3WriterFactory CreateMP3Writer;
    // Main thread, before an MP3 save: asks for the settings and fills doc.EncoderConfig;
    // false when the user cancelled.
    std::function<bool(TDocument& doc)> ConfirmMP3Settings;
};

} // namespace orvella
