#pragma once
// DecodeMP3File turns an MPEG audio file into a work file: 16-bit PCM at the rate of the first
// frame, one channel when that frame is mono and two otherwise.
// Thread rule: runs on the caller's thread; imports on different threads are independent.

#include "engine/progress.h"

#include <string>

namespace orvella {

// Sets progress (percent of the file read) as it goes. Returns false when the file holds no valid
// frame or nothing could be decoded; writer failures are raised as EMakerError.
bool DecodeMP3File(const std::string& sourceFile, const std::string& workFile, TProgress& progress);

} // namespace orvella
