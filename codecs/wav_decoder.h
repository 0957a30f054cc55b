#pragma once
// The WAV import: decodes a RIFF WAVE file of any supported format into a work file with the
// source's rate and channel count: 32-bit float for sources of more than 16 bits, else 16-bit PCM.

#include "codecs/riff.h"
#include "codecs/wavwriter.h"
#include "engine/peakindex.h"
#include "engine/sampleformat.h"
#include "engine/progress.h"

#include <atomic>
#include <memory>
#include <string>

namespace orvella {

// How the import may go about its work; the defaults are what loading uses.
struct TWavImportOptions {
    // A 16-bit PCM source already holds the work file's values: its data passes into the work
    // file unconverted. False: it goes through the conversion loop of every other format. The
    // work file is the same either way.
    bool PassThrough = true;
    // How passing data moves when no peak index is built: by this kernel copy, by reads and
    // writes where it cannot copy between the two files or when it is nullptr.
    TKernelCopy KernelCopy = KernelCopyFileRange;
    // When set: receives the peak index builder of the work file, fed with all its values, where
    // the import could build it on the way (16-bit PCM sources longer than one index block:
    // each piece is then read once, fed to the builder and written behind the reading on a
    // thread of its own); left empty otherwise.
    std::unique_ptr<TPeakBuilder>* Peaks = nullptr;
    // The work file's size limit in bytes: an import whose work file would pass it fails with
    // WorkFileTooLargeText. 16-bit work files stop at MaxWorkFileSize whatever it says; float
    // ones have no limit of their own. A lower limit bounds the work one import may do, whatever
    // its source expands to.
    uint64_t WorkFileLimit = UINT64_MAX;
    // When set: receives the precision of the source's samples. Sources of more than 16 bits
    // (24- and 32-bit integer, 32- and 64-bit float) make float work files; the rest 16-bit ones.
    TFilePrecision* Precision = nullptr;
};

// Writes workFile from sourceFile, setting progress (percent of the source data consumed) on
// the way and to 0 at the end. Returns true; every failure raises Exception with its message
// (the reader's numbered texts, the writer's EMakerError texts, or WorkFileTooLargeText when the
// work file would pass options.WorkFileLimit). The work file is complete only after a true result.
// Thread rule: runs on the caller's thread; progress may be read by others meanwhile.
bool DecodeWAVFile(const std::string& sourceFile, const std::string& workFile, TProgress& progress);
bool DecodeWAVFile(const std::string& sourceFile, const std::string& workFile, TProgress& progress,
                   const TWavImportOptions& options);

} // namespace orvella
