// Times the waveform view as a user waits for it, on a 1000 x 250 view on Qt's offscreen
// platform, each figure the median of many runs:
//   - a full Repaint (the picture drawn and shown) of a 3-hour stereo document shown whole,
//     which reads the peak index (overview mode),
//   - a full Repaint in direct mode at 511 frames per pixel, which reads the samples,
//   - MovePlayCursor to a new column, and to the column it is already in (nothing is drawn),
// against one frame of a 60 Hz display (16.7 ms). The document is a real work file made under a
// fresh folder in the temporary folder, opened by the document (linked, not copied, as its work
// file) and removed after.
//
// Usage: bench_view [--hours H] [--repeat N] [--snapshot PNG]

#include "engine/document.h"
#include "engine/samplestore.h"
#include "engine/userdialogs.h"
#include "view/qtmainthread.h"
#include "view/waveview.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace orvella;

namespace {

class PrintingDialogs : public TUserDialogs {
public:
    void ShowError(const std::string& text) override { std::cerr << "error: " << text << "\n"; }
    void ShowMessage(const std::string& text, const std::string&, TMessageIcon) override {
        std::cerr << "message: " << text << "\n";
    }
};

// The document's work file is the made file itself, linked: opening costs no copy.
TCodecServices LinkingCodecs() {
    TDecoderRow row;
    row.Extension = ".wav";
    row.SourceKind = 1;
    row.FailureMessage = "cannot link";
    row.Decode = [](const std::string& source, const std::string& work, TProgress&) {
        std::error_code error;
        std::filesystem::remove(work, error);
        std::filesystem::create_hard_link(source, work, error);
        return !error;
    };
    TCodecServices codecs;
    codecs.Decoders.push_back(row);
    return codecs;
}

// A stereo sound whose loudness swells and fades over minutes, with a tone in each channel.
void MakeSound(const std::string& path, uint32_t frames) {
    TWorkFileWriter file(path, 2, 44100);
    std::vector<int16_t> chunk(2 * 65536);
    for (uint32_t done = 0; done < frames;) {
        const uint32_t n = std::min<uint32_t>(65536, frames - done);
        for (uint32_t i = 0; i < n; ++i) {
            const double t = double(done + i) / 44100.0;
            const double level = 0.2 + 0.75 * std::fabs(std::sin(t / 97.0));
            chunk[2 * i] = int16_t(32000 * level * std::sin(t * 2 * M_PI * 220));
            chunk[2 * i + 1] = int16_t(-32000 * level * std::sin(t * 2 * M_PI * 331));
        }
        file.Write(chunk.data(), n * 4);
        done += n;
    }
    file.Close();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double Milliseconds(const std::function<void()>& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

void Row(const char* name, double ms, double budget) {
    std::printf("%-44s median %8.3f ms   budget %5.2f ms (%.2fx of it)   %6.1f per 60 Hz frame\n",
                name, ms, budget, ms / budget, 16.667 / ms);
}

} // namespace

int main(int argc, char** argv) {
    double hours = 3;
    int repeat = 101;
    std::string snapshot;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--hours" && i + 1 < argc)
            hours = std::atof(argv[++i]);
        else if (a == "--repeat" && i + 1 < argc)
            repeat = std::max(1, std::atoi(argv[++i]));
        else if (a == "--snapshot" && i + 1 < argc)
            snapshot = argv[++i];
        else {
            std::cerr << "usage: bench_view [--hours H] [--repeat N] [--snapshot PNG]\n";
            return 2;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const auto folder =
        std::filesystem::temp_directory_path() / ("orvella-bench-view-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string source = (folder / "long.wav").string();
    const uint32_t frames = uint32_t(hours * 3600 * 44100);
    std::printf("making %.1f h of stereo (%u frames, %.2f GiB)...\n", hours, frames,
                frames * 4.0 / (1 << 30));
    MakeSound(source, frames);

    int result = 0;
    {
        TQtMainThread main;
        PrintingDialogs dialogs;
        TEngineSettings settings;
        settings.TempFolder = folder.string() + "/";
        TDocument document(main, dialogs, settings, LinkingCodecs());
        TFrameScrollBar bar;
        TWaveView view;
        view.resize(1000, 250);
        view.SetScrollBar(&bar);
        view.SetDocument(&document);
        document.OnLoaded = [&](TDocument*) { view.AttachWave(document); };
        view.show();
        document.Open(source);
        while (document.IsBusy() || !document.Ready)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::processEvents();

        const auto repaint = [&] {
            view.Repaint();
            view.repaint(); // shown now, not at the next event loop pass
        };
        std::vector<double> times;
        const double first = Milliseconds(repaint);
        for (int i = 0; i < repeat; ++i)
            times.push_back(Milliseconds(repaint));
        std::printf(
            "overview: %.0f frames a column; the first repaint (builds the summary) %.3f ms\n",
            view.SamplesPerPixel, first);
        Row("Repaint, 3 h stereo shown whole", Median(times), 2.0);
        if (!snapshot.empty()) view.grab().save(QString::fromStdString(snapshot));

        const uint32_t span = 511 * uint32_t(view.width() - view::ScaleWidth);
        view.ViewStart = frames / 2;
        view.ViewEnd = view.ViewStart + span;
        view.ViewSpan = span;
        times.clear();
        for (int i = 0; i < repeat; ++i)
            times.push_back(Milliseconds(repaint));
        std::printf("direct: %.1f frames a column\n", view.SamplesPerPixel);
        Row("Repaint, direct mode at 511 frames a pixel", Median(times), 4.0);

        times.clear();
        std::vector<double> same;
        for (int i = 0; i < repeat; ++i) {
            view.CursorPos = view.ViewStart + uint32_t((i % 900 + 20) * 511.0);
            times.push_back(Milliseconds([&] {
                view.MovePlayCursor();
                view.repaint();
            }));
            const int drawn = view.DrawnCursorX;
            same.push_back(Milliseconds([&] { view.MovePlayCursor(); }));
            if (view.DrawnCursorX != drawn) result = 1;
        }
        Row("MovePlayCursor to a new column", Median(times), 0.3);
        Row("MovePlayCursor to the same column", Median(same), 0.3);
    }
    std::filesystem::remove_all(folder);
    return result;
}
