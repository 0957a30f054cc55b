#include "support/fixtures.h"

#include <filesystem>

namespace orvella::test {

std::string FixturePath(const std::string& relative) {
    return std::string(ORVELLA_SOURCE_DIR) + "/tests/fixtures/" + relative;
}

std::string SamplePath(const std::string& name) {
    return std::string(ORVELLA_SOURCE_DIR) + "/samples/" + name;
}

TDecoderRow CopyingWavDecoder() {
    TDecoderRow row;
    row.Extension = ".wav";
    row.SourceKind = 1;
    row.FailureMessage = "Sorry, required codec not installed on your PC. Can not decode WAV file.";
    row.Decode = [](const std::string& source, const std::string& work, TProgress&) {
        std::error_code error;
        std::filesystem::copy_file(source, work, std::filesystem::copy_options::overwrite_existing,
                                   error);
        return !error;
    };
    return row;
}

} // namespace orvella::test
