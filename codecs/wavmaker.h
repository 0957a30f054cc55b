#pragma once
// WAVWriter writes a RIFF WAVE file in a target format from integer PCM handed over in pieces of
// any size, converting on the way (100 ms source buffers). EMakerError is what it raises.
// Thread rule: one writer belongs to one import and is used from that import's thread only.

#include "engine/errors.h"
#include "engine/mmreg.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvella {

// Raised (by the writer and the imports) when a work file would reach 4 GiB, the limit of its
// 32-bit sizes.
inline constexpr const char* WorkFileTooLargeText =
    "File too large: a work file holds less than 4 GiB of 16-bit audio.";

class EMakerError : public Exception {
public:
    EMakerError(const std::string& message, int code)
        : Exception(message)
        , Code(code) {}
    int Code;
};

class WAVWriter {
public:
    // sourceFormat: rate, channels and bits of the incoming integer PCM are used.
    // targetFormat: a WAVEFORMATEX followed by its cbSize extra bytes (at most 513).
    WAVWriter(const WAVEFORMATEX& sourceFormat, const std::vector<uint8_t>& targetFormat);
    WAVWriter(const WAVEFORMATEX& sourceFormat, const WAVEFORMATEX& targetFormat);
    // Releases whatever Open acquired; does not complete the file (call Close).
    ~WAVWriter();
    WAVWriter(const WAVWriter&) = delete;
    WAVWriter& operator=(const WAVWriter&) = delete;

    void SetSourceFormat(uint32_t rate, uint16_t channels, uint16_t bits);
    // Prepares the conversion and creates the file; nothing when already open.
    void Open(const std::string& fileName);
    // Appends count source bytes; returns the converted bytes written during this call.
    uint32_t Write(const void* buffer, uint32_t count);
    // Flushes, completes the header, closes the file; nothing when not open.
    void Close();
    bool IsOpen() const;

private:
    struct Impl;
    std::unique_ptr<Impl> P; // the conversion state
};

} // namespace orvella
