#include "support/fixtures.h"

namespace orvella::test {

std::string FixturePath(const std::string& relative) {
    return std::string(ORVELLA_SOURCE_DIR) + "/tests/fixtures/" + relative;
}

std::string SamplePath(const std::string& name) {
    return std::string(ORVELLA_SOURCE_DIR) + "/samples/" + name;
}

} // namespace orvella::test
