// Times velcora as a caller uses it against libsoxr's high-quality recipe, and checks that
// velcora's output has not changed.
//
// One velcora run is DSP_init (16-bit in and out, 96 dB, 8000 Hz, 1024 taps), DSP_process
// over the whole input in blocks of 4,096 bytes and DSP_exit, all timed. One libsoxr run is
// soxr_create (16-bit interleaved in and out, HQ), soxr_process over the same blocks, the
// drain and soxr_delete, all timed. Each figure is the best of three runs, velcora's and
// libsoxr's alternating so that a change in machine load affects both alike; every pair is
// measured twice, mono and stereo, and each line carries the load average it was taken at.
// Besides the wall-clock time, the thread's CPU time is reported: on a loaded machine it
// leaves out the time the thread waited for a processor.
//
// Output check: the bytes of every conversion are hashed (FNV-1a, 64 bits) and compared with
// a reference file written by an earlier run with --record, so a change meant to be faster
// can be shown to leave every output bit as it was. Besides the timed pairs, the file covers
// further rate pairs and channel counts with float output, which shows the converters' values
// unrounded. The FFT kernels differ between processor generations, so the file names the
// instruction set it was recorded with and is compared only on the same one.
//
// Usage: bench_velcora [--seconds S] [--rounds R] [--check FILE | --record FILE]
//                      [--only SRC:DST:CHANNELS] [--velcora-only | --soxr-only] [--quality]
// --velcora-only and --soxr-only run R (--rounds, 0 allowed) conversions per selected pair with
// that library and nothing else, for profilers and instruction counts; --quality prints pass-band
// gain and stop-band level of both libraries.
#include "velcora/realfft.h"
#include "velcora/velcora.h"

#include <soxr.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <time.h>
#include <vector>

namespace {

constexpr std::size_t kBlockBytes = 4096; // the editor's DSP_process block: 2,048 values
constexpr int kRunsPerFigure = 3;

enum : std::uint32_t { kFormat16 = 2, kFormatFloat = 16 };

using Clock = std::chrono::steady_clock;

struct Pair {
    int srcRate, dstRate, channels;
};

// The pairs timed against libsoxr.
const Pair kTimedPairs[] = {
    {44100, 22050, 1}, {44100, 22050, 2}, {44100, 48000, 1}, {44100, 48000, 2}, {8000, 22050, 1},
    {8000, 22050, 2},  {48000, 44100, 1}, {48000, 44100, 2}, {22050, 44100, 1}, {22050, 44100, 2}};

// Further pairs whose output is only checked (those of the converter tests among them).
const Pair kCheckedPairs[] = {
    {8000, 22050, 1},  {11025, 22050, 2}, {44100, 48000, 2}, {16000, 48000, 1}, {48000, 22050, 2},
    {44100, 22050, 2}, {32000, 22050, 1}, {44100, 8000, 3},  {48000, 16000, 1}, {96000, 44100, 2},
    {48000, 44100, 1}, {22050, 44100, 2}, {11025, 44100, 1}, {96000, 48000, 2}};

std::string loadAverage() {
    std::ifstream f("/proc/loadavg");
    double a = 0, b = 0, c = 0;
    f >> a >> b >> c;
    char text[64];
    std::snprintf(text, sizeof text, "load %.2f %.2f %.2f", a, b, c);
    return text;
}

std::string isaLevel() {
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f")) return "avx512";
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return "avx2";
    return "baseline";
}

// Two tones per channel and noise, 16-bit interleaved.
std::vector<std::int16_t> makeInput(int rate, int channels, double seconds) {
    const std::size_t frames = static_cast<std::size_t>(rate * seconds);
    std::vector<std::int16_t> v(frames * channels);
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0.0, 1500.0);
    for (std::size_t f = 0; f < frames; ++f) {
        const double t = static_cast<double>(f) / rate;
        for (int c = 0; c < channels; ++c) {
            const double s = 9000.0 * std::sin(2 * M_PI * (440.0 + 60 * c) * t) +
                             5000.0 * std::sin(2 * M_PI * (0.33 * rate / 2) * t) + noise(rng);
            v[f * channels + c] = static_cast<std::int16_t>(std::clamp(s, -32768.0, 32767.0));
        }
    }
    return v;
}

// Room for everything a conversion of `inputValues` values writes, in bytes.
std::size_t outputRoom(const Pair& p, std::size_t inputValues, std::size_t width) {
    return (inputValues * static_cast<std::size_t>(p.dstRate) / p.srcRate + 16384) * width;
}

// One whole velcora conversion into `out`; returns the bytes written.
std::size_t runVelcora(const Pair& p, std::uint32_t outFormat, const std::vector<std::int16_t>& in,
                       std::vector<std::uint8_t>& out) {
    std::size_t written = 0;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(in.data());
    const std::size_t total = in.size() * sizeof(std::int16_t);
    DSP_init(p.srcRate, p.dstRate, p.channels, p.channels, kFormat16, outFormat, 96, 8000, 1024);
    for (std::size_t at = 0; at < total; at += kBlockBytes) {
        const std::size_t n = std::min(kBlockBytes, total - at);
        std::uint32_t made = 0;
        DSP_process(bytes + at, static_cast<std::uint32_t>(n), out.data() + written, &made);
        written += made;
    }
    std::uint32_t made = 0;
    DSP_exit(out.data() + written, &made);
    return written + made;
}

// One whole libsoxr HQ conversion into `out` (16-bit or float); returns the frames written.
template <typename Sample>
std::size_t runSoxr(const Pair& p, soxr_datatype_t inType, soxr_datatype_t outType,
                    const std::vector<Sample>& in, std::vector<Sample>& out) {
    soxr_error_t error = nullptr;
    const soxr_io_spec_t io = soxr_io_spec(inType, outType);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    soxr_t soxr = soxr_create(p.srcRate, p.dstRate, p.channels, &error, &io, &quality, nullptr);
    if (error != nullptr) {
        std::fprintf(stderr, "soxr_create: %s\n", error);
        std::exit(1);
    }
    const std::size_t ch = static_cast<std::size_t>(p.channels);
    const std::size_t blockValues = kBlockBytes / sizeof(std::int16_t);
    const std::size_t capacity = out.size() / ch;
    std::size_t outFrames = 0;
    for (std::size_t at = 0; at < in.size(); at += blockValues) {
        const std::size_t n = std::min(blockValues, in.size() - at);
        std::size_t done = 0, made = 0;
        soxr_process(soxr, in.data() + at, n / ch, &done, out.data() + outFrames * ch,
                     capacity - outFrames, &made);
        outFrames += made;
    }
    for (;;) {
        std::size_t made = 0;
        soxr_process(soxr, nullptr, 0, nullptr, out.data() + outFrames * ch, capacity - outFrames,
                     &made);
        outFrames += made;
        if (made == 0) break;
    }
    soxr_delete(soxr);
    return outFrames;
}

double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Wall-clock and thread CPU seconds of one call.
struct Times {
    double wall = 1e30, cpu = 1e30;
    void keepBest(const Times& t) {
        wall = std::min(wall, t.wall);
        cpu = std::min(cpu, t.cpu);
    }
};

template <typename F> Times timed(F&& f) {
    const auto start = Clock::now();
    const double cpuStart = threadSeconds();
    f();
    return Times{std::chrono::duration<double>(Clock::now() - start).count(),
                 threadSeconds() - cpuStart};
}

std::uint64_t fnv1a(const std::uint8_t* data, std::size_t n) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (std::size_t i = 0; i < n; ++i) {
        h ^= data[i];
        h *= 0x100000001b3ull;
    }
    return h;
}

std::string pairKey(const Pair& p, std::uint32_t outFormat, double seconds) {
    char text[96];
    std::snprintf(text, sizeof text, "%d:%d:%d:%s:%gs", p.srcRate, p.dstRate, p.channels,
                  outFormat == kFormat16 ? "s16" : "f32", seconds);
    return text;
}

// Output hashes by pair key, with the instruction set they were recorded on.
struct Reference {
    std::string isa;
    std::map<std::string, std::uint64_t> hashes;
};

bool readReference(const std::string& path, Reference& ref) {
    std::ifstream f(path);
    if (!f) return false;
    std::string line;
    while (std::getline(f, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        std::string key, value;
        words >> key >> value;
        if (key == "isa")
            ref.isa = value;
        else
            ref.hashes[key] = std::strtoull(value.c_str(), nullptr, 16);
    }
    return true;
}

void writeReference(const std::string& path, const std::map<std::string, std::uint64_t>& hashes) {
    std::ofstream f(path);
    f << "# FNV-1a 64 of velcora's output bytes: source:destination:channels:format:seconds\n";
    f << "isa " << isaLevel() << "\n";
    for (const auto& [key, hash] : hashes) {
        char text[32];
        std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
        f << key << " " << text << "\n";
    }
}

// Amplitude of `frequency` in channel 0 of x over `count` frames from `from`, by correlation.
double toneAmplitude(const std::vector<float>& x, int channels, std::size_t from, std::size_t count,
                     double frequency, double rate) {
    double re = 0, im = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double a = 2 * M_PI * frequency * static_cast<double>(i) / rate;
        const double v = x[(from + i) * channels];
        re += v * std::cos(a);
        im += v * std::sin(a);
    }
    return 2 * std::hypot(re, im) / static_cast<double>(count);
}

// Highest peak of the Hann-windowed spectrum of channel 0, as an amplitude.
double spectralPeak(const std::vector<float>& x, int channels, std::size_t from, int bits) {
    const int n = 1 << bits;
    std::vector<float> block(n);
    double windowSum = 0;
    for (int i = 0; i < n; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2 * M_PI * i / n);
        windowSum += w;
        block[i] = static_cast<float>(x[(from + i) * channels] * w);
    }
    velcora::FftTables tables;
    velcora::realFFT(n, 1, block.data(), tables);
    double peak = 0;
    for (int k = 1; k < n / 2; ++k)
        peak = std::max(peak, std::hypot(double(block[2 * k]), double(block[2 * k + 1])));
    return 2 * peak / windowSum;
}

// Pass-band gain at 1 kHz and, for low destinations, the level of a 15 kHz tone in the stop
// band, of both libraries, from float output (velcora's at half scale, doubled back).
void printQuality(const Pair& p) {
    auto tone = [&](double frequency, double amplitude) {
        std::vector<std::int16_t> v(static_cast<std::size_t>(p.srcRate) * 2 * p.channels);
        for (std::size_t f = 0; f < v.size() / p.channels; ++f)
            for (int c = 0; c < p.channels; ++c)
                v[f * p.channels + c] = static_cast<std::int16_t>(std::lround(
                    32767 * amplitude * std::sin(2 * M_PI * frequency * f / p.srcRate)));
        return v;
    };
    auto velcoraFloat = [&](const std::vector<std::int16_t>& in) {
        std::vector<std::uint8_t> bytes(outputRoom(p, in.size(), sizeof(float)));
        const std::size_t n = runVelcora(p, kFormatFloat, in, bytes);
        std::vector<float> v(n / sizeof(float));
        std::memcpy(v.data(), bytes.data(), n);
        for (float& x : v)
            x *= 2;
        return v;
    };
    auto soxrFloat = [&](const std::vector<std::int16_t>& in) {
        std::vector<float> out(outputRoom(p, in.size(), 1));
        std::vector<float> converted(in.begin(), in.end());
        for (float& x : converted)
            x /= 32768;
        out.resize(runSoxr(p, SOXR_FLOAT32_I, SOXR_FLOAT32_I, converted, out) * p.channels);
        return out;
    };
    const double fd = p.dstRate;
    const std::size_t from = static_cast<std::size_t>(fd / 2);
    const std::size_t count = static_cast<std::size_t>(fd);
    const double vGain =
        toneAmplitude(velcoraFloat(tone(1000, 0.5)), p.channels, from, count, 1000, fd) / 0.5;
    const double sGain =
        toneAmplitude(soxrFloat(tone(1000, 0.5)), p.channels, from, count, 1000, fd) / 0.5;
    std::printf("    1 kHz pass-band gain: velcora %.6f dB, soxr %.6f dB\n", 20 * std::log10(vGain),
                20 * std::log10(sGain));
    if (p.dstRate < 30000 && p.srcRate > 30000) {
        const double vStop = spectralPeak(velcoraFloat(tone(15000, 0.9)), p.channels, 4096, 14);
        const double sStop = spectralPeak(soxrFloat(tone(15000, 0.9)), p.channels, 4096, 14);
        std::printf("    15 kHz stop-band level: velcora %.1f dB, soxr %.1f dB\n",
                    20 * std::log10(vStop / 0.9), 20 * std::log10(sStop / 0.9));
    }
}

bool parsePair(const char* text, Pair& p) {
    return std::sscanf(text, "%d:%d:%d", &p.srcRate, &p.dstRate, &p.channels) == 3;
}

} // namespace

int main(int argc, char** argv) {
    double seconds = 30.0;
    int rounds = 2;
    std::string checkPath, recordPath;
    bool velcoraOnly = false, soxrOnly = false, quality = false, onlyGiven = false;
    Pair only{};
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--seconds" && hasValue)
            seconds = std::atof(argv[++i]);
        else if (a == "--rounds" && hasValue)
            rounds = std::atoi(argv[++i]);
        else if (a == "--check" && hasValue)
            checkPath = argv[++i];
        else if (a == "--record" && hasValue)
            recordPath = argv[++i];
        else if (a == "--only" && hasValue && parsePair(argv[i + 1], only))
            onlyGiven = true, ++i;
        else if (a == "--velcora-only")
            velcoraOnly = true;
        else if (a == "--soxr-only")
            soxrOnly = true;
        else if (a == "--quality")
            quality = true;
        else {
            std::fprintf(stderr,
                         "usage: %s [--seconds S] [--rounds R] [--check FILE | --record FILE] "
                         "[--only SRC:DST:CHANNELS] [--velcora-only | --soxr-only] [--quality]\n",
                         argv[0]);
            return 2;
        }
    }
    rounds =
        std::clamp(rounds, velcoraOnly || soxrOnly ? 0 : 1, velcoraOnly || soxrOnly ? 1000 : 8);
    auto selected = [&](const Pair& p) {
        return !onlyGiven || (p.srcRate == only.srcRate && p.dstRate == only.dstRate &&
                              p.channels == only.channels);
    };

    // Inputs and output areas are made before any timing.
    struct Timed {
        Pair pair;
        std::vector<std::int16_t> input;
        std::vector<std::uint8_t> velcoraOut;
        std::vector<std::int16_t> soxrOut;
        std::size_t velcoraBytes = 0, soxrFrames = 0;
        Times velcora[8], soxr[8];
    };
    std::vector<Timed> timedPairs;
    for (const Pair& p : kTimedPairs) {
        if (!selected(p)) continue;
        Timed t;
        t.pair = p;
        t.input = makeInput(p.srcRate, p.channels, seconds);
        t.velcoraOut.resize(outputRoom(p, t.input.size(), sizeof(std::int16_t)));
        t.soxrOut.resize(outputRoom(p, t.input.size(), 1));
        timedPairs.push_back(std::move(t));
    }

    if (velcoraOnly) {
        for (int round = 0; round < rounds; ++round)
            for (Timed& t : timedPairs)
                t.velcoraBytes = runVelcora(t.pair, kFormat16, t.input, t.velcoraOut);
        return 0;
    }
    if (soxrOnly) {
        for (int round = 0; round < rounds; ++round)
            for (Timed& t : timedPairs)
                t.soxrFrames = runSoxr(t.pair, SOXR_INT16_I, SOXR_INT16_I, t.input, t.soxrOut);
        return 0;
    }

    std::printf("%g s of generated 16-bit audio per pair, blocks of %zu bytes, best of %d runs "
                "per figure, %d rounds\n",
                seconds, kBlockBytes, kRunsPerFigure, rounds);
    std::printf("throughput ratio = libsoxr HQ time / velcora time (above 1: velcora faster)\n");
    for (int round = 0; round < rounds; ++round) {
        std::printf("round %d\n", round + 1);
        for (Timed& t : timedPairs) {
            Times v, s;
            for (int run = 0; run < kRunsPerFigure; ++run) {
                v.keepBest(timed([&] {
                    t.velcoraBytes = runVelcora(t.pair, kFormat16, t.input, t.velcoraOut);
                }));
                s.keepBest(timed([&] {
                    t.soxrFrames = runSoxr(t.pair, SOXR_INT16_I, SOXR_INT16_I, t.input, t.soxrOut);
                }));
            }
            t.velcora[round] = v;
            t.soxr[round] = s;
            std::printf("  %5d -> %5d Hz %s: velcora %7.2f ms (cpu %7.2f, %zu frames), soxr HQ "
                        "%7.2f ms (cpu %7.2f, %zu frames), ratio %.3f (cpu %.3f)   [%s]\n",
                        t.pair.srcRate, t.pair.dstRate, t.pair.channels == 1 ? "mono  " : "stereo",
                        v.wall * 1e3, v.cpu * 1e3, t.velcoraBytes / 2 / t.pair.channels,
                        s.wall * 1e3, s.cpu * 1e3, t.soxrFrames, s.wall / v.wall, s.cpu / v.cpu,
                        loadAverage().c_str());
            std::fflush(stdout);
        }
    }
    std::printf("summary (ratio per round: wall clock / thread cpu time)\n");
    for (const Timed& t : timedPairs) {
        std::printf("  %5d -> %5d Hz %s:", t.pair.srcRate, t.pair.dstRate,
                    t.pair.channels == 1 ? "mono  " : "stereo");
        Times v, s;
        for (int round = 0; round < rounds; ++round) {
            std::printf("  %.3f / %.3f", t.soxr[round].wall / t.velcora[round].wall,
                        t.soxr[round].cpu / t.velcora[round].cpu);
            v.keepBest(t.velcora[round]);
            s.keepBest(t.soxr[round]);
        }
        if (rounds > 1) std::printf("   best of all: %.3f / %.3f", s.wall / v.wall, s.cpu / v.cpu);
        std::printf("\n");
    }

    if (quality) {
        std::printf("quality\n");
        for (const Timed& t : timedPairs) {
            std::printf("  %5d -> %5d Hz %s\n", t.pair.srcRate, t.pair.dstRate,
                        t.pair.channels == 1 ? "mono" : "stereo");
            printQuality(t.pair);
        }
    }

    if (checkPath.empty() && recordPath.empty()) return 0;
    // The timed outputs at 16 bits, and float output of the checked pairs over 5 s.
    std::map<std::string, std::uint64_t> hashes;
    for (const Timed& t : timedPairs)
        hashes[pairKey(t.pair, kFormat16, seconds)] = fnv1a(t.velcoraOut.data(), t.velcoraBytes);
    for (const Pair& p : kCheckedPairs) {
        if (!selected(p)) continue;
        const std::vector<std::int16_t> in = makeInput(p.srcRate, p.channels, 5.0);
        std::vector<std::uint8_t> out(outputRoom(p, in.size(), sizeof(float)));
        const std::size_t n = runVelcora(p, kFormatFloat, in, out);
        hashes[pairKey(p, kFormatFloat, 5.0)] = fnv1a(out.data(), n);
    }
    if (!recordPath.empty()) {
        writeReference(recordPath, hashes);
        std::printf("recorded %zu output hashes in %s\n", hashes.size(), recordPath.c_str());
        return 0;
    }
    Reference ref;
    if (!readReference(checkPath, ref)) {
        std::fprintf(stderr, "cannot read %s\n", checkPath.c_str());
        return 1;
    }
    if (ref.isa != isaLevel()) {
        std::printf("output check skipped: reference recorded on %s, this processor runs %s\n",
                    ref.isa.c_str(), isaLevel().c_str());
        return 0;
    }
    int differ = 0, compared = 0;
    for (const auto& [key, hash] : hashes) {
        const auto found = ref.hashes.find(key);
        if (found == ref.hashes.end()) {
            std::printf("  output %s: not in the reference\n", key.c_str());
            continue;
        }
        ++compared;
        if (found->second != hash) {
            ++differ;
            std::printf("  output %s: DIFFERS from the reference\n", key.c_str());
        }
    }
    std::printf("output check: %d of %d outputs identical to the reference\n", compared - differ,
                compared);
    return differ == 0 ? 0 : 1;
}
