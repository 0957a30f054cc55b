#pragma once
// The command line of orvella-batch:
//   orvella-batch [--temp DIR] [--quiet] INPUT [STEP ...]
//   orvella-batch [--temp DIR] [--quiet] --new RATE,CHANNELS [STEP ...]
// Every STEP is checked for its syntax before anything runs; ranges are checked against the
// document when their step comes.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace orvella::batch {

// A usage error: exit status 2, the message and the usage text on stderr.
class TUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class TStepKind {
    Info,
    Save,
    SaveRange,
    Undo,
    Redo,
    Copy,
    Cut,
    Paste,
    Delete,
    Silence,
    FadeIn,
    FadeOut,
    Normalize,
    Amplify,
    Reverse,
    Invert,
    Convert,
    Mp3Settings,
    Play,
    Bits,
    Dither,
};

struct TStep {
    TStepKind Kind;
    std::string Option;   // as typed, for messages
    int64_t A = 0, B = 0; // range start/stop, position/length, percent, rate/channels
    bool HasRange = false;
    std::string Path; // save targets; the MP3 settings text
};

struct TCommandLine {
    std::string TempFolder; // empty: the system's temporary folder
    bool Quiet = false;
    std::string Input;                            // empty with --new
    std::optional<std::pair<int, int>> NewFormat; // rate, channels
    std::vector<TStep> Steps;
};

TCommandLine ParseCommandLine(const std::vector<std::string>& args);

const char* UsageText();

} // namespace orvella::batch
