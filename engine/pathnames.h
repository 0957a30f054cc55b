#pragma once
// File name parts the document and the batch tool choose codecs by.

#include <string>

namespace orvella {

// The extension of the last path component with its dot, in lower case ("/a/B.WAV" gives
// ".wav"); empty when the last component has no dot.
std::string LowerExtension(const std::string& path);

} // namespace orvella
