#pragma once
// The WAV import: decodes a RIFF WAVE file of any supported format into a work file of 16-bit
// PCM with the source's rate and channel count.

#include <atomic>
#include <string>

namespace orvella {

// Writes workFile from sourceFile, setting progress (percent of the source data consumed) on
// the way and to 0 at the end. Returns true; every failure raises Exception with its message
// (the reader's numbered texts, the writer's EMakerError texts, or WorkFileTooLargeText when the
// work file would reach 4 GiB). The work file is complete only after a true result.
// Thread rule: runs on the caller's thread; progress may be read by others meanwhile.
bool DecodeWAVFile(const std::string& sourceFile, const std::string& workFile,
                   std::atomic<int>& progress);

} // namespace orvella
