#pragma once
// Where the tests find the files they read: the fixtures under tests/fixtures and the sample
// documents under samples/, both in the source tree.

#include <string>

namespace orvella::test {

// relative: a path below tests/fixtures, such as "wav/pcm16-8000-2.wav".
std::string FixturePath(const std::string& relative);
// name: a file in samples/, such as "demo.wav".
std::string SamplePath(const std::string& name);

} // namespace orvella::test
