#pragma once
// TWavWriter writes a RIFF WAVE file in a target format from integer PCM handed over in pieces of
// any size, converting on the way (100 ms source buffers). EMakerError is what it raises.
// Thread rule: one writer belongs to one import and is used from that import's thread only.

#include "codecs/riff.h"
#include "engine/errors.h"
#include "engine/waveformat.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvella {

// A work file's sizes are 32-bit: the file must stay below 4 GiB.
inline constexpr uint64_t MaxWorkFileSize = 0xFFFFFFFFu;
// Raised (by the writer and the imports) when a work file would pass its size limit: 4 GiB, or a
// lower one a caller set to bound the work.
inline constexpr const char* WorkFileTooLargeText =
    "File too large: a work file holds less than 4 GiB of 16-bit audio.";

class EMakerError : public Exception {
public:
    EMakerError(const std::string& message, int code)
        : Exception(message)
        , Code(code) {}
    int Code;
};

class TWavWriter {
public:
    // sourceFormat: rate, channels and bits of the incoming integer PCM are used.
    // targetFormat: a TWaveFormat followed by its cbSize extra bytes (at most 513).
    TWavWriter(const TWaveFormat& sourceFormat, const std::vector<uint8_t>& targetFormat);
    TWavWriter(const TWaveFormat& sourceFormat, const TWaveFormat& targetFormat);
    // Releases whatever Open acquired; does not complete the file (call Close).
    ~TWavWriter();
    TWavWriter(const TWavWriter&) = delete;
    TWavWriter& operator=(const TWavWriter&) = delete;

    void SetSourceFormat(uint32_t rate, uint16_t channels, uint16_t bits);
    // The largest the file may grow, in bytes: MaxWorkFileSize unless lowered here (values above
    // it are taken as it). A write that would pass it raises WorkFileTooLargeText.
    void SetSizeLimit(uint64_t bytes);
    // Prepares the conversion and creates the file; nothing when already open.
    void Open(const std::string& fileName);
    // Appends count source bytes; returns the converted bytes written during this call.
    uint32_t Write(const void* buffer, uint32_t count);
    // Flushes, completes the header, closes the file; nothing when not open.
    void Close();
    bool IsOpen() const;

    // Identical conversions (source and target the same PCM) pass their bytes through unchanged,
    // so an open writer can take them straight from a file:
    // True when the open writer converts nothing.
    bool IsPassThrough() const;
    // The data bytes a pass-through writer holds after Close when it was handed inputBytes in
    // all: the input, and the frame of silence Close adds after a whole number of 100 ms buffers.
    uint64_t PassThroughDataBytes(uint64_t inputBytes) const;
    // The bytes of one 100 ms buffer: CopyFromFile copies whole ones.
    uint32_t PassThroughUnit() const;
    // Pass-through writers with nothing gathered: appends the whole 100 ms buffers among count
    // bytes of the file sourceFd, from sourceOffset, by the kernel's copy, exactly as Write would
    // have appended them. Returns the source bytes taken; fewer (possibly none) when the source
    // ended or the kernel cannot copy between the two files: the caller hands the rest to Write.
    uint64_t CopyFromFile(int sourceFd, int64_t sourceOffset, uint64_t count,
                          TKernelCopy copy = KernelCopyFileRange);

private:
    struct Impl;
    std::unique_ptr<Impl> P; // the conversion state
};

} // namespace orvella
