#pragma once
// DecodeWMAFile turns a Windows Media audio file into a work file: 16-bit PCM at the rate and
// channel count of its audio stream.
// Thread rule: runs on the caller's thread; imports on different threads are independent.

#include "engine/progress.h"
#include "engine/userdialogs.h"

#include <string>

namespace orvella {

// Sets progress (percent of the duration, or of the file read when the duration is unknown).
// Returns false when the decoders are missing, the file is protected or no sample was decoded;
// writer and attribute-reader failures are raised as exceptions. The dialogs show the attribute
// reader's message boxes.
bool DecodeWMAFile(const std::string& sourceFile, const std::string& workFile, TProgress& progress,
                   TUserDialogs& dialogs);

} // namespace orvella
