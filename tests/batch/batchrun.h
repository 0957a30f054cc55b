#pragma once
// orvella-batch run as a script runs it: its exit status and what it printed.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>

namespace orvella::test {

inline std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct TBatchResult {
    int Status;
    std::string Out, Err;
};

// Runs orvella-batch --temp <dir>/work with the arguments, no input, its output in <dir>.
inline TBatchResult RunBatch(const std::filesystem::path& dir, const std::string& args) {
    std::filesystem::create_directories(dir / "work");
    const std::string out = (dir / "stdout").string(), err = (dir / "stderr").string();
    const std::string command = std::string(ORVELLA_BATCH) + " --temp " + (dir / "work").string() +
                                " " + args + " >" + out + " 2>" + err + " </dev/null";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(out), Slurp(err)};
}

} // namespace orvella::test
