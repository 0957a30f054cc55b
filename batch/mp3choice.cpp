#include "batch/mp3choice.h"

#include "batch/options.h"

#include <charconv>
#include <sstream>
#include <vector>

namespace orvella::batch {

namespace {

int Number(const std::string& text, const std::string& whole) {
    int value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || ptr != end)
        throw TUsageError("--mp3: " + whole + " is not cbr:KBPS, vbr:Q or abr:KBPS[,max:KBPS] [,crc]");
    return value;
}

} // namespace

TMp3Choice ParseMp3Choice(const std::string& text) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, ',');) parts.push_back(part);
    const std::string usage =
        "--mp3: " + text + " is not cbr:KBPS, vbr:Q or abr:KBPS[,max:KBPS] [,crc]";
    if (parts.empty()) throw TUsageError(usage);
    TMp3Choice choice;
    const std::string& mode = parts[0];
    if (mode.rfind("cbr:", 0) == 0) {
        choice.Mode = TMp3Choice::CBR;
        choice.Kbps = Number(mode.substr(4), text);
    } else if (mode.rfind("vbr:", 0) == 0) {
        choice.Mode = TMp3Choice::VBR;
        choice.Quality = Number(mode.substr(4), text);
        if (choice.Quality < 0 || choice.Quality > 8)
            throw TUsageError("--mp3: the VBR quality must be 0 (best) to 8");
    } else if (mode.rfind("abr:", 0) == 0) {
        choice.Mode = TMp3Choice::ABR;
        choice.Kbps = Number(mode.substr(4), text);
    } else {
        throw TUsageError(usage);
    }
    for (size_t i = 1; i < parts.size(); ++i) {
        if (parts[i] == "crc") {
            choice.Crc = true;
        } else if (parts[i].rfind("max:", 0) == 0 && choice.Mode != TMp3Choice::CBR) {
            choice.MaxKbps = Number(parts[i].substr(4), text);
        } else {
            throw TUsageError(usage);
        }
    }
    return choice;
}

} // namespace orvella::batch
