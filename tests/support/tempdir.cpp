#include "support/tempdir.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace orvella::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvella-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a folder for " + pattern);
    Dir = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(Dir, ignored);
}

std::vector<std::string> TempDir::Files() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(Dir))
        names.push_back(entry.path().filename().string());
    return names;
}

} // namespace orvella::test
