#include "batch/batchrunner.h"

#include "batch/playrange.h"
#include "codecs/codectable.h"
#include "engine/errors.h"
#include "engine/pathnames.h"
#include "engine/timeformat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace orvella::batch {

std::atomic<bool> TBatchRunner::Interrupted{false};

namespace {

std::string RangeText(const TStep& step) {
    return std::to_string(step.A) + ":" + std::to_string(step.B);
}

} // namespace

TBatchRunner::TBatchRunner(const TCommandLine& line)
    : Line(line)
    , Bar(!line.Quiet) {
    TEngineSettings settings;
    if (!line.TempFolder.empty()) settings.TempFolder = line.TempFolder;
    TCodecServices codecs = DefaultCodecServices(Dialogs);
    codecs.ConfirmMP3Settings = [this](TDocument& doc) { return FillEncoderConfig(Mp3, doc); };
    Doc = std::make_unique<TDocument>(Loop, Dialogs, settings, codecs, &Clipboard);
}

TBatchRunner::~TBatchRunner() {
    Bar.Clear();
    Player.reset();
    Doc.reset(); // deletes every work file
}

int TBatchRunner::Play(const TStep& step) {
    if (!Player) {
        Player = std::make_unique<TPlayer>(Loop);
        Player->InitDevice(); // a missing device is reported by the playback itself
    }
    const uint32_t start = step.HasRange ? uint32_t(step.A) : 0;
    const uint32_t stop = step.HasRange ? uint32_t(step.B) : Doc->Frames.load();
    const uint32_t rate = std::max<uint32_t>(Doc->SampleRate, 1);
    auto clock = [rate](uint32_t frame) { return FormatTime(uint64_t(frame) * 1000 / rate); };
    const std::string end = clock(stop);
    const bool ended = PlayRange(
        *Player, Loop, *Doc, start, stop,
        [&](uint32_t played) { Bar.ShowText("playing " + clock(start + played) + " / " + end); },
        -1, [] { return Interrupted.load(); });
    Bar.Clear();
    return ended ? ExitOk : ExitFailed;
}

bool TBatchRunner::Finish(const std::string& label, int failuresBefore) {
    while (!Loop.RunUntil([this] { return !Doc->IsBusy(); }, 100))
        Bar.Show(label, Doc->Progress.load());
    Loop.ProcessMessages();
    Bar.Clear();
    return Dialogs.Failures() == failuresBefore;
}

int TBatchRunner::Begin() {
    const int failures = Dialogs.Failures();
    if (Line.NewFormat) {
        Doc->New("", Line.NewFormat->first, Line.NewFormat->second, 16);
        return ExitOk;
    }
    if (!Doc->Open(Line.Input)) return ExitFailed;
    if (!Finish("loading", failures) || !Doc->Ready) return ExitFailed;
    return ExitOk;
}

void TBatchRunner::CheckRange(const TStep& step) const {
    const uint32_t frames = Doc->Frames;
    if (step.B > int64_t(frames))
        throw TUsageError(step.Option + ": range " + RangeText(step) +
                          " is outside the document (0:" + std::to_string(frames) + ")");
}

void TBatchRunner::CheckPosition(const TStep& step, int64_t position) const {
    const uint32_t frames = Doc->Frames;
    if (position > int64_t(frames))
        throw TUsageError(step.Option + ": position " + std::to_string(position) +
                          " is outside the document (0 to " + std::to_string(frames) + ")");
}

void TBatchRunner::CheckSaveTarget(const TStep& step) const {
    const std::string ext = LowerExtension(step.Path);
    if (ext != ".wav" && ext != ".mp3")
        throw TUsageError(step.Option + ": " + step.Path + ": Orvella saves .wav and .mp3 files");
    if (ext == ".mp3") CheckMp3Choice(Mp3, Doc->SampleRate);
}

TFilePrecision TBatchRunner::ParseBits(const TStep& step) {
    if (step.Path == "16") return TFilePrecision::Pcm16;
    if (step.Path == "24") return TFilePrecision::Pcm24;
    if (step.Path == "32f") return TFilePrecision::Float32;
    throw TUsageError(step.Option + ": " + step.Path + " is not 16, 24 or 32f");
}

int TBatchRunner::PrintInfo() {
    static const char* const Kinds[] = {"NEW", "WAV", "MP3", "WMA"};
    const int kind = Line.NewFormat ? 0 : std::clamp(Doc->SourceKind.load(), 0, 3);
    // A float document's peak on the 16-bit scale, past 32767 when it is beyond full scale.
    const bool isFloat = Doc->Format == TSampleFormat::Float32;
    const long peak = isFloat ? std::lrint(double(Doc->PeakLevel) * 32768) : long(Doc->Peak);
    std::printf("format: %s\nchannels: %u\nsamplerate: %u\nframes: %u\ndatabytes: %llu\n"
                "duration: %.3f\npeak: %ld\npeakdb: %d\n",
                Kinds[kind], unsigned(Doc->Channels), unsigned(Doc->SampleRate),
                unsigned(Doc->Frames), static_cast<unsigned long long>(Doc->DataBytes.load()),
                Doc->Duration.load(),
                peak, int(Doc->PeakDb));
    std::printf("precision: %s\n", isFloat ? "float" : "16-bit");
    std::fflush(stdout);
    return ExitOk;
}

int TBatchRunner::RunStep(const TStep& step) {
    const int failures = Dialogs.Failures();
    bool started = true;
    switch (step.Kind) {
    case TStepKind::Info:
        return PrintInfo();
    case TStepKind::Save:
        CheckSaveTarget(step);
        Doc->FileName = step.Path;
        started = Doc->Save();
        break;
    case TStepKind::SaveRange:
        CheckRange(step);
        CheckSaveTarget(step);
        started = Doc->SaveRange(step.Path, step.A, step.B);
        break;
    case TStepKind::Undo:
        Doc->Undo();
        break;
    case TStepKind::Redo:
        Doc->Redo();
        break;
    case TStepKind::Copy:
        CheckRange(step);
        started = Doc->CopyRange(step.A, step.B);
        break;
    case TStepKind::Cut:
        CheckRange(step);
        started = Doc->CutRange(step.A, step.B);
        break;
    case TStepKind::Paste:
        CheckPosition(step, step.A);
        started = Doc->Paste(step.A);
        break;
    case TStepKind::Delete:
        CheckRange(step);
        started = Doc->DeleteRange(step.A, step.B);
        break;
    case TStepKind::Silence:
        CheckPosition(step, step.A);
        started = Doc->InsertSilence(step.A, step.B);
        break;
    case TStepKind::FadeIn:
        CheckRange(step);
        started = Doc->FadeIn(step.A, step.B);
        break;
    case TStepKind::FadeOut:
        CheckRange(step);
        started = Doc->FadeOut(step.A, step.B);
        break;
    case TStepKind::Normalize:
        started = Doc->Normalize(int(step.A));
        break;
    case TStepKind::Amplify:
        started = Doc->Amplify(int(step.A));
        break;
    case TStepKind::Reverse:
        started = Doc->Reverse();
        break;
    case TStepKind::Invert:
        started = Doc->Invert();
        break;
    case TStepKind::Convert:
        started = step.HasRange ? Doc->Convert(int(step.A), int(step.B)) : Doc->Convert(22050, 1);
        break;
    case TStepKind::Mp3Settings:
        Mp3 = ParseMp3Choice(step.Path);
        return ExitOk;
    case TStepKind::Play:
        if (step.HasRange) CheckRange(step);
        return Play(step);
    case TStepKind::Bits:
        Doc->SavePrecision = ParseBits(step);
        return ExitOk;
    case TStepKind::Dither:
        if (step.Path != "tpdf" && step.Path != "none")
            throw TUsageError(step.Option + ": " + step.Path + " is not tpdf or none");
        Doc->SetDither(step.Path == "tpdf");
        return ExitOk;
    }
    if (!started) {
        std::fprintf(stderr, "%s: the step could not be started\n", step.Option.c_str());
        return ExitFailed;
    }
    return Finish(step.Option.substr(2), failures) ? ExitOk : ExitFailed;
}

int TBatchRunner::Run() {
    try {
        int status = Begin();
        for (size_t i = 0; status == ExitOk && i < Line.Steps.size(); ++i) {
            if (Interrupted) return ExitFailed;
            status = RunStep(Line.Steps[i]);
        }
        return status;
    } catch (const TUsageError& e) {
        Bar.Clear();
        std::fprintf(stderr, "orvella-batch: %s\n%s", e.what(), UsageText());
        return ExitUsage;
    } catch (const std::exception& e) {
        // Errors of synchronous operations (New, Undo, Redo) carry the system's text.
        Bar.Clear();
        WriteMessageLine(e.what());
        return ExitFailed;
    }
}

} // namespace orvella::batch
