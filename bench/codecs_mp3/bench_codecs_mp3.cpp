// MP3 import (DecodeMP3File) against `mpg123 -w`, and MP3 export (TMp3Writer fed from a WAV file)
// against `lame` at the same settings, on a generated 90 s stereo 44100 Hz file. Prints the best
// of five runs of each and the ratios (budget 1.2).
//
// Usage: bench_codecs_mp3 [seconds]

#include "codecs/mp3dec.h"
#include "codecs/mp3format.h"
#include "codecs/mp3writer.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace orvella;

class TStderrDialogs : public TUserDialogs {
public:
    void ShowError(const std::string& text) override { std::cerr << text << "\n"; }
    void ShowMessage(const std::string& text, const std::string&, TMessageIcon) override {
        std::cerr << text << "\n";
    }
};

void Put16(std::FILE* f, uint16_t v) {
    std::fwrite(&v, 2, 1, f);
}
void Put32(std::FILE* f, uint32_t v) {
    std::fwrite(&v, 4, 1, f);
}

// A canonical 44-byte-header WAV with a few tones and some noise, so the encoder has work to do.
void MakeWav(const std::string& path, uint32_t rate, uint32_t seconds) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::exit(1);
    const uint32_t frames = rate * seconds, bytes = frames * 4;
    std::fwrite("RIFF", 1, 4, f);
    Put32(f, 36 + bytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    Put32(f, 16);
    Put16(f, 1);
    Put16(f, 2);
    Put32(f, rate);
    Put32(f, rate * 4);
    Put16(f, 4);
    Put16(f, 16);
    std::fwrite("data", 1, 4, f);
    Put32(f, bytes);
    std::vector<int16_t> block(2 * 4096);
    uint32_t noise = 12345;
    for (uint32_t at = 0; at < frames;) {
        const uint32_t n = std::min<uint32_t>(4096, frames - at);
        for (uint32_t i = 0; i < n; ++i) {
            const double t = double(at + i) / rate;
            noise = noise * 1664525u + 1013904223u;
            const double r = double(int32_t(noise) >> 16) / 32768.0;
            block[2 * i] =
                int16_t(9000 * std::sin(2 * M_PI * 440 * t) +
                        4000 * std::sin(2 * M_PI * (1000 + 200 * std::sin(t)) * t) + 1500 * r);
            block[2 * i + 1] = int16_t(9000 * std::sin(2 * M_PI * 660 * t) + 1500 * r);
        }
        std::fwrite(block.data(), 4, n, f);
        at += n;
    }
    std::fclose(f);
}

// Best of five runs of each, the two taken in turn so that load from elsewhere falls on both.
std::pair<double, double> BestOfPairs(const std::function<void()>& a,
                                      const std::function<void()>& b) {
    auto time = [](const std::function<void()>& run) {
        const auto start = std::chrono::steady_clock::now();
        run();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    double bestA = 1e30, bestB = 1e30;
    for (int i = 0; i < 5; ++i) {
        bestA = std::min(bestA, time(a));
        bestB = std::min(bestB, time(b));
    }
    return {bestA, bestB};
}

void Run(const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        std::cerr << "failed: " << command << "\n";
        std::exit(1);
    }
}

} // namespace

int main(int argc, char** argv) {
    const uint32_t seconds = argc > 1 ? uint32_t(std::atoi(argv[1])) : 90;
    std::string dir = (std::filesystem::temp_directory_path() / "orvella-bench-XXXXXX").string();
    if (!::mkdtemp(dir.data())) return 1;
    const std::string wav = dir + "/in.wav", mp3 = dir + "/in.mp3";
    MakeWav(wav, 44100, seconds);

    // Export: CBR 128 kbit/s, stereo (not joint), quality 5, no VBR header, as the record says.
    TMP3Settings settings;
    settings.Bitrate = 5; // 128
    const TEncoderConfig config = FillEncoderConfig(settings, 44100, 2);
    TStderrDialogs dialogs;
    const auto [lame, ours] = BestOfPairs(
        [&] {
            Run("lame --quiet -b 128 -m s -q 5 -t --noreplaygain '" + wav + "' '" + dir +
                "/lame.mp3'");
        },
        [&] {
            uint32_t chunk = 0;
            auto writer = CreateMP3Writer(dir + "/ours.mp3", chunk, config, dialogs);
            if (chunk == 0) std::exit(1);
            std::FILE* in = std::fopen(wav.c_str(), "rb");
            std::fseek(in, 44, SEEK_SET);
            std::vector<int16_t> buffer(chunk);
            size_t got;
            while ((got = std::fread(buffer.data(), 2, chunk, in)) > 0)
                writer->Write(buffer.data(), uint32_t(got * 2));
            std::fclose(in);
            writer->Finish();
        });

    // Import of the tool's own MP3.
    std::filesystem::copy_file(dir + "/lame.mp3", mp3);
    const auto [mpg123, import] =
        BestOfPairs([&] { Run("mpg123 -q -w '" + dir + "/mpg123.wav' '" + mp3 + "'"); },
                    [&] {
                        TProgress progress;
                        if (!DecodeMP3File(mp3, dir + "/work.wav", progress)) std::exit(1);
                    });

    std::printf("%u s stereo 44100 Hz, best of 5 each\n", seconds);
    std::printf("output sizes: lame %ju bytes, TMp3Writer %ju bytes\n",
                uintmax_t(std::filesystem::file_size(dir + "/lame.mp3")),
                uintmax_t(std::filesystem::file_size(dir + "/ours.mp3")));
    std::printf("export: lame %.3f s, TMp3Writer %.3f s, ratio %.3f\n", lame, ours, ours / lame);
    std::printf("import: mpg123 -w %.3f s, DecodeMP3File %.3f s, ratio %.3f\n", mpg123, import,
                import / mpg123);
    if (!std::getenv("ORVELLA_BENCH_KEEP"))
        std::filesystem::remove_all(dir);
    else
        std::printf("files kept in %s\n", dir.c_str());
    return 0;
}
