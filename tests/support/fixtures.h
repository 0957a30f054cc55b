#pragma once
// Where the tests find the files they read: the fixtures under tests/fixtures and the sample
// documents under samples/, both in the source tree.

#include "engine/codecservices.h"

#include <string>

namespace orvella::test {

// relative: a path below tests/fixtures, such as "wav/pcm16-8000-2.wav".
std::string FixturePath(const std::string& relative);
// name: a file in samples/, such as "demo.wav".
std::string SamplePath(const std::string& name);

// A decoder row for ".wav" that takes a source that is already a work file and copies it: lets
// tests load documents of exactly the frames they wrote, without the codecs.
TDecoderRow CopyingWavDecoder();

} // namespace orvella::test
