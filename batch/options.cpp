#include "batch/options.h"

#include <charconv>

namespace orvella::batch {

namespace {

bool ParseInt(const std::string& text, int64_t& value) {
    if (text.empty()) return false;
    const char* end = text.data() + text.size();
    auto [ptr, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && ptr == end;
}

// "A:B" or "A,B" into two integers.
bool ParsePair(const std::string& text, char separator, int64_t& a, int64_t& b) {
    const size_t at = text.find(separator);
    if (at == std::string::npos) return false;
    return ParseInt(text.substr(0, at), a) && ParseInt(text.substr(at + 1), b);
}

struct TStepSyntax {
    const char* Option;
    TStepKind Kind;
    enum { None, Range, Position, PosLen, Percent, Path, RangePath, Format, Text } Argument;
    bool Optional = false;
};

const TStepSyntax Syntaxes[] = {
    {"--info", TStepKind::Info, TStepSyntax::None},
    {"--save", TStepKind::Save, TStepSyntax::Path},
    {"--save-range", TStepKind::SaveRange, TStepSyntax::RangePath},
    {"--undo", TStepKind::Undo, TStepSyntax::None},
    {"--redo", TStepKind::Redo, TStepSyntax::None},
    {"--copy", TStepKind::Copy, TStepSyntax::Range},
    {"--cut", TStepKind::Cut, TStepSyntax::Range},
    {"--paste", TStepKind::Paste, TStepSyntax::Position},
    {"--delete", TStepKind::Delete, TStepSyntax::Range},
    {"--silence", TStepKind::Silence, TStepSyntax::PosLen},
    {"--fade-in", TStepKind::FadeIn, TStepSyntax::Range},
    {"--fade-out", TStepKind::FadeOut, TStepSyntax::Range},
    {"--normalize", TStepKind::Normalize, TStepSyntax::Percent},
    {"--amplify", TStepKind::Amplify, TStepSyntax::Percent},
    {"--reverse", TStepKind::Reverse, TStepSyntax::None},
    {"--invert", TStepKind::Invert, TStepSyntax::None},
    {"--convert", TStepKind::Convert, TStepSyntax::Format, true},
    {"--mp3", TStepKind::Mp3Settings, TStepSyntax::Text},
    {"--play", TStepKind::Play, TStepSyntax::Range, true},
    {"--bits", TStepKind::Bits, TStepSyntax::Text},
    {"--dither", TStepKind::Dither, TStepSyntax::Text},
};

[[noreturn]] void Fail(const std::string& message) {
    throw TUsageError(message);
}

bool ParseArgument(const TStepSyntax& syntax, const std::string& text, TStep& step) {
    switch (syntax.Argument) {
    case TStepSyntax::Range:
        if (!ParsePair(text, ':', step.A, step.B)) return false;
        if (step.A < 0 || step.B < step.A)
            Fail(step.Option + ": range " + text + " is not START:STOP with 0 <= START <= STOP");
        step.HasRange = true;
        return true;
    case TStepSyntax::Position:
        if (!ParseInt(text, step.A)) return false;
        if (step.A < 0) Fail(step.Option + ": position " + text + " is negative");
        return true;
    case TStepSyntax::PosLen:
        if (!ParsePair(text, ':', step.A, step.B)) return false;
        if (step.A < 0 || step.B < 0)
            Fail(step.Option + ": " + text + " is not POS:FRAMES with both >= 0");
        return true;
    case TStepSyntax::Percent:
        if (!ParseInt(text, step.A)) return false;
        if (step.A < 0 || step.A > 100000)
            Fail(step.Option + ": percent " + text + " is out of range 0 to 100000");
        return true;
    case TStepSyntax::Format:
        if (!ParsePair(text, ',', step.A, step.B)) return false;
        if (step.A < 1 || step.A > 1000000 || step.B < 1 || step.B > 2)
            Fail(step.Option + ": " + text +
                 " is not RATE,CHANNELS with a rate of 1 to 1000000 Hz and 1 or 2 channels");
        step.HasRange = true;
        return true;
    case TStepSyntax::Path:
    case TStepSyntax::Text:
        step.Path = text;
        return !text.empty();
    default:
        return false;
    }
}

} // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    TCommandLine line;
    size_t i = 0;
    auto next = [&](const std::string& option) -> const std::string& {
        if (i + 1 >= args.size()) Fail(option + " needs an argument");
        return args[++i];
    };
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--temp") {
            line.TempFolder = next(a);
        } else if (a == "--quiet") {
            line.Quiet = true;
        } else if (a == "--new") {
            int64_t rate, channels;
            const std::string& format = next(a);
            if (!ParsePair(format, ',', rate, channels) || rate < 1 || rate > 1000000 ||
                channels < 1 || channels > 2)
                Fail("--new: " + format + " is not RATE,CHANNELS with 1 or 2 channels");
            line.NewFormat = std::make_pair(int(rate), int(channels));
            ++i;
            break;
        } else if (a.rfind("--", 0) == 0) {
            Fail("an INPUT file or --new must come before " + a);
        } else {
            line.Input = a;
            ++i;
            break;
        }
    }
    if (line.Input.empty() && !line.NewFormat) Fail("no INPUT file and no --new");

    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        const TStepSyntax* syntax = nullptr;
        for (const TStepSyntax& s : Syntaxes)
            if (a == s.Option) syntax = &s;
        if (!syntax) Fail("unknown step " + a);
        TStep step;
        step.Kind = syntax->Kind;
        step.Option = a;
        if (syntax->Argument == TStepSyntax::RangePath) {
            const std::string& range = next(a);
            TStepSyntax rangeSyntax{syntax->Option, syntax->Kind, TStepSyntax::Range};
            if (!ParseArgument(rangeSyntax, range, step))
                Fail(a + ": " + range + " is not START:STOP");
            step.Path = next(a);
        } else if (syntax->Argument != TStepSyntax::None) {
            const bool present = i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0;
            if (present && ParseArgument(*syntax, args[i + 1], step)) {
                ++i;
            } else if (!syntax->Optional) {
                if (!present) Fail(a + " needs an argument");
                Fail(a + ": " + args[i + 1] + " is not a valid argument");
            }
        }
        line.Steps.push_back(step);
    }
    return line;
}

const char* UsageText() {
    return "usage: orvella-batch [--temp DIR] [--quiet] INPUT [STEP ...]\n"
           "       orvella-batch [--temp DIR] [--quiet] --new RATE,CHANNELS [STEP ...]\n"
           "steps (frames, half-open ranges START:STOP):\n"
           "  --info                     print the document's format and peak\n"
           "  --save PATH                save the document (.wav or .mp3)\n"
           "  --save-range S:E PATH      save frames S to E\n"
           "  --undo, --redo             step through the history\n"
           "  --copy S:E, --cut S:E      to the clipboard\n"
           "  --paste POS                insert the clipboard at POS\n"
           "  --delete S:E               remove frames\n"
           "  --silence POS:FRAMES       insert silence\n"
           "  --fade-in S:E, --fade-out S:E\n"
           "  --normalize PCT, --amplify PCT\n"
           "  --reverse, --invert\n"
           "  --convert [RATE,CHANNELS]  convert (default 22050,1)\n"
           "  --mp3 cbr:KBPS|vbr:Q|abr:KBPS[,max:KBPS][,crc]   settings of later MP3 saves\n"
           "  --play [S:E]               play to the default output device\n"
           "  --bits 16|24|32f           precision of later WAV saves (default: the source's)\n"
           "  --dither tpdf|none         dither when a save reduces precision (default tpdf)\n";
}

} // namespace orvella::batch
