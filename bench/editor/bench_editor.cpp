// Times the main window on the offscreen platform, with a warm page cache:
//   - start-up of a process to the first painted waveform of a 10-minute stereo WAV given on its
//     command line, against `orvella-batch FILE --info` on the same file (medians of --repeat),
//   - the longest gap between two ticks of a 10 ms timer on the main thread while a document of
//     --gap-mib MiB is amplified,
//   - the resident set (VmRSS, and the peak VmHWM) with a document of --rss-mib MiB loaded and
//     shown whole, measured in a child process of its own.
// Files are made in a fresh folder under the temporary folder and removed after.
//
// Usage: bench_editor [--repeat N] [--gap-mib N] [--rss-mib N]
// (internal: bench_editor --child startup|gaps|rss FILE)

#include "editor/lazysounddevice.h"
#include "editor/mainwindow.h"
#include "editor/windowdialogs.h"
#include "engine/samplestore.h"
#include "view/qtmainthread.h"
#include "view/waveview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace orvella;

namespace {

using Clock = std::chrono::steady_clock;

class PrintingDialogs : public TUserDialogs {
public:
    void ShowError(const std::string& text) override {
        std::fprintf(stderr, "error: %s\n", text.c_str());
    }
    void ShowMessage(const std::string& text, const std::string&, TMessageIcon) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
    }
};

// A stereo 44,100 Hz WAV of about mib MiB: a slow sweep, written a block at a time.
void MakeWav(const std::string& path, uint64_t mib) {
    const uint64_t frames = mib * 1024 * 1024 / 4;
    const TWaveHeader header = MakeWorkHeader(2, 44100, uint32_t(frames * 4));
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&header), sizeof header);
    std::vector<int16_t> block(1 << 20);
    uint64_t done = 0;
    while (done < frames) {
        const uint64_t n = std::min<uint64_t>(frames - done, block.size() / 2);
        for (uint64_t i = 0; i < n; ++i) {
            const int16_t v = int16_t(((done + i) * 37) % 50000 - 25000);
            block[2 * i] = v;
            block[2 * i + 1] = int16_t(-v);
        }
        out.write(reinterpret_cast<const char*>(block.data()), std::streamsize(n * 4));
        done += n;
    }
}

long StatusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
    return -1;
}

// Sleeps in the event loop (the window's 50 ms progress timer wakes it) until no body runs, as
// the program's own loop would: a polling loop here would take a core from the body.
void WaitIdle(TMainWindow& form) {
    while (form.Document()->IsBusy() || form.Document()->Progress.load() != 0)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QApplication::processEvents();
}

// The child: a window on the file, then the measurement of its mode.
int Child(int argc, char** argv, const std::string& mode, const std::string& file) {
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    TQtMainThread mainThread;
    PrintingDialogs dialogs;
    TQtWindowDialogs windowDialogs;
    // The device as the program makes it.
    TMainWindow form(
        {mainThread, dialogs, windowDialogs, [] { return std::make_shared<TLazySoundDevice>(); }},
        {QString::fromStdString(file)});
    form.show();
    // The first waveform: the load has ended, the view has attached the document and painted it.
    while (form.Document()->IsBusy() || !form.Document()->Ready.load() ||
           form.View()->ViewSpan != form.Document()->Frames.load())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    form.View()->repaint();
    if (mode == "startup") {
        // What the user waits for ends here; the parent stops its clock at this line, and the
        // window's teardown is not timed (the batch tool's is, in its favour).
        std::printf("painted\n");
        std::fflush(stdout);
        return 0;
    }
    WaitIdle(form);
    if (mode == "rss") {
        form.View()->ZoomFull();
        form.View()->repaint();
        QApplication::processEvents();
        std::printf("%ld %ld\n", StatusKiB("VmRSS:"), StatusKiB("VmHWM:"));
        return 0;
    }
    // gaps: a 10 ms timer ticks while the amplify body runs.
    QElapsedTimer clock;
    int64_t last = -1, longest = 0, ticks = 0;
    int longestProgress = -1;
    bool longestBusy = false;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const int64_t now = clock.nsecsElapsed();
        if (last >= 0 && now - last > longest) {
            longest = now - last;
            longestProgress = form.Document()->Progress.load();
            longestBusy = form.Document()->IsBusy();
        }
        last = now;
        ++ticks;
    });
    clock.start();
    timer.start();
    const auto start = Clock::now();
    form.Document()->Amplify(90);
    WaitIdle(form);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%.3f %.2f %lld\n", double(longest) / 1e6, seconds, (long long)ticks);
    std::fprintf(stderr, "longest gap ended at progress %d, body %s\n", longestProgress,
                 longestBusy ? "running" : "finished");
    return 0;
}

double Run(const std::string& command) {
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Seconds from starting command until it prints its first line (it then runs to its end).
double RunUntilFirstLine(const std::string& command) {
    const auto start = Clock::now();
    double seconds = -1;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        if (std::fgets(buffer, sizeof buffer, pipe))
            seconds = std::chrono::duration<double>(Clock::now() - start).count();
        while (std::fgets(buffer, sizeof buffer, pipe)) {
        }
        pclose(pipe);
    }
    if (seconds < 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
    return seconds;
}

std::string Capture(const std::string& command) {
    std::string result;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe))
            result += buffer;
        pclose(pipe);
    }
    return result;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--child") return Child(argc, argv, argv[2], argv[3]);
    int repeat = 5;
    uint64_t gapMiB = 1024, rssMiB = 2048;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--repeat") repeat = std::atoi(argv[i + 1]);
        if (option == "--gap-mib") gapMiB = std::strtoull(argv[i + 1], nullptr, 10);
        if (option == "--rss-mib") rssMiB = std::strtoull(argv[i + 1], nullptr, 10);
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe");
    const std::string bin = self.parent_path().string();
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("orvella-bench-editor-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string tenMinutes = (folder / "ten-minutes.wav").string();
    MakeWav(tenMinutes, 10 * 60 * 44100 * 4 / (1024 * 1024) + 1);

    const std::string window =
        "'" + self.string() + "' --child startup '" + tenMinutes + "' 2>/dev/null";
    const std::string batch =
        "'" + bin + "/orvella-batch' '" + tenMinutes + "' --info >/dev/null 2>&1";
    RunUntilFirstLine(window);
    Run(batch); // warm the page cache and the libraries
    std::vector<double> windowTimes, batchTimes;
    for (int i = 0; i < repeat; ++i) {
        windowTimes.push_back(RunUntilFirstLine(window));
        batchTimes.push_back(Run(batch));
    }
    const double w = Median(windowTimes), b = Median(batchTimes);
    std::printf("startup, 10-min stereo WAV: window to painted waveform %.3f s, orvella-batch "
                "--info %.3f s, ratio %.2f (budget 1.30)\n",
                w, b, w / b);
    std::filesystem::remove(tenMinutes);

    const std::string gapFile = (folder / "gap.wav").string();
    MakeWav(gapFile, gapMiB);
    const std::string gaps =
        Capture("'" + self.string() + "' --child gaps '" + gapFile + "' 2>/dev/null");
    double longest = 0, seconds = 0;
    long long ticks = 0;
    std::sscanf(gaps.c_str(), "%lf %lf %lld", &longest, &seconds, &ticks);
    std::printf("amplify of %llu MiB: %.2f s, %lld ticks of a 10 ms timer, longest gap %.1f ms "
                "(budget 50)\n",
                (unsigned long long)gapMiB, seconds, ticks, longest);
    std::filesystem::remove(gapFile);

    const std::string rssFile = (folder / "rss.wav").string();
    MakeWav(rssFile, rssMiB);
    const std::string rss =
        Capture("'" + self.string() + "' --child rss '" + rssFile + "' 2>/dev/null");
    long now = 0, peak = 0;
    std::sscanf(rss.c_str(), "%ld %ld", &now, &peak);
    std::printf("document of %llu MiB shown whole: VmRSS %.1f MiB, VmHWM %.1f MiB (budget 200)\n",
                (unsigned long long)rssMiB, now / 1024.0, peak / 1024.0);
    std::filesystem::remove_all(folder);
    return 0;
}
