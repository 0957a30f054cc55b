#pragma once
// TMp3Writer encodes interleaved 16-bit or float values handed over in chunks into an MP3 file. It reports
// its own failures in message boxes and then does nothing more.
// Thread rule: one writer belongs to the thread of one save.

#include "codecs/mp3encoder.h"
#include "engine/codecservices.h"
#include "engine/posixfile.h"
#include "engine/userdialogs.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvella {

class TMp3Writer : public TEncodedWriter {
public:
    // Replaces fileName with an empty file (file errors are raised as Exception) and opens the
    // encoder stream. samples receives the values each Write should hold: 0 when the stream could
    // not be opened, after "Error opening encoding stream " with the code; the writer has failed.
    TMp3Writer(const std::string& fileName, uint32_t& samples, const TEncoderConfig& config,
               TUserDialogs& dialogs);
    // Finishes the file when Finish was not called.
    ~TMp3Writer() override;
    TMp3Writer(const TMp3Writer&) = delete;
    TMp3Writer& operator=(const TMp3Writer&) = delete;

    // Encodes byteCount / 2 values; returns the MP3 bytes written, or -1 once failed.
    int Write(const int16_t* values, uint32_t byteCount) override;
    int WriteFloats(const float* values, uint32_t count) override;
    // Flushes the encoder, writes the rest and the VBR header, closes the file and the stream.
    // False when the writer had failed. Further calls return the same result.
    bool Finish() override;
    bool Failed() const { return FFailed; }

private:
    void CloseFile();
    void CloseStream();
    // Writes what the last encoding call produced, or fails the writer after its failure.
    int Deliver(uint32_t produced);

    std::string FFileName;
    TFileDescriptor FFile;
    TEncoderHandle FStream = nullptr;
    uint32_t FSamples = 0;
    uint32_t FBufferSize = 0;
    uint32_t FResult = 0;
    std::vector<uint8_t> FBuffer;
    bool FFailed = false;
    bool FFinished = false;
    TUserDialogs& FDialogs;
};

std::unique_ptr<TEncodedWriter> CreateMP3Writer(const std::string& path, uint32_t& samplesPerChunk,
                                                const TEncoderConfig& config,
                                                TUserDialogs& dialogs);

} // namespace orvella
