#include "batch/mp3choice.h"

#include "batch/options.h"
#include "codecs/mp3format.h"
#include "engine/document.h"

#include <algorithm>

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
        throw TUsageError("--mp3: " + whole +
                          " is not cbr:KBPS, vbr:Q or abr:KBPS[,max:KBPS] [,crc]");
    return value;
}

} // namespace

TMp3Choice ParseMp3Choice(const std::string& text) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, ',');)
        parts.push_back(part);
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

namespace {

// The list position of kbps at sampleRate; rows outside the table offer 128 at every position.
int PositionOf(int kbps, uint32_t sampleRate, const char* what) {
    const std::vector<int> row = BitrateChoices(sampleRate);
    if (row.empty()) {
        if (kbps == 128) return 0;
        throw TUsageError(std::string("--mp3: ") + what + " " + std::to_string(kbps) +
                          " kbit/s is not offered at " + std::to_string(sampleRate) +
                          " Hz (only 128)");
    }
    const auto at = std::find(row.begin(), row.end(), kbps);
    if (at == row.end()) {
        std::string offered;
        for (int r : row) {
            if (!offered.empty()) offered += ' ';
            offered += std::to_string(r);
        }
        throw TUsageError(std::string("--mp3: ") + what + " " + std::to_string(kbps) +
                          " kbit/s is not offered at " + std::to_string(sampleRate) + " Hz (" +
                          offered + ")");
    }
    return int(at - row.begin());
}

TMP3Settings SettingsFor(const TMp3Choice& choice, uint32_t sampleRate) {
    TMP3Settings s;
    s.Mode = choice.Mode;
    s.CRC = choice.Crc;
    const int last = std::max(0, int(BitrateChoices(sampleRate).size()) - 1);
    if (choice.Mode == TMp3Choice::CBR) {
        s.Bitrate = PositionOf(choice.Kbps, sampleRate, "bitrate");
    } else {
        s.Bitrate = last;
        s.MaxBitrate =
            choice.MaxKbps ? PositionOf(choice.MaxKbps, sampleRate, "maximum bitrate") : 0;
    }
    if (choice.Mode == TMp3Choice::ABR)
        s.AvgBitrate = PositionOf(choice.Kbps, sampleRate, "bitrate");
    // The record holds 8 - slider position as its quality.
    if (choice.Mode == TMp3Choice::VBR) s.Quality = 8 - choice.Quality;
    return s;
}

} // namespace

void CheckMp3Choice(const TMp3Choice& choice, uint32_t sampleRate) {
    SettingsFor(choice, sampleRate);
}

bool FillEncoderConfig(const TMp3Choice& choice, TDocument& doc) {
    doc.EncoderConfig = orvella::FillEncoderConfig(SettingsFor(choice, doc.SampleRate),
                                                   doc.SampleRate, doc.Channels);
    return true;
}

} // namespace orvella::batch
