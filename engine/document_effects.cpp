// The sample effects: fade in, fade out, normalize, amplify, reverse and invert. Each writes a new
// work file of the same length, a block of values at a time.

#include "engine/document.h"

#include "engine/chunklanes.h"
#include "engine/errors.h"
#include "engine/samplekernels.h"

#include <algorithm>
#include <cmath>

namespace orvella {

namespace {

const char* const NothingToNormalize =
    "The sound is silent or has no positive peak: nothing to normalize.";

// Values per kernel call: small enough to stay in the cache and to report progress often.
constexpr int64_t ChunkValues = TSampleStore::ChunkValues;

} // namespace

// --- shared steps ---

void TDocument::BeginSameLengthChange() {
    Ready = false;
    BeginChange();
    CreateTargetStore(BytesOf(Frames));
    TargetStore->WriteHeader(Header);
}

template <class T>
void TDocument::TransformValues(int64_t first, int64_t count,
                                const std::type_identity_t<TKernel<T>>& kernel,
                                const std::function<void(int64_t)>& progress, TPeakBuilder* peaks) {
    if (count <= 0) return;
    const int channels = Channels;
    const int64_t stop = first + count;
    TSampleStore& source = *Store;
    RunChunkLanes<T>(
        *TargetStore, peaks, (count + ChunkValues - 1) / ChunkValues,
        size_t(std::min(count, ChunkValues)),
        [&](int64_t k, T* in, T* out) {
            const int64_t i = first + k * ChunkValues;
            const int64_t n = std::min(ChunkValues, stop - i);
            source.ReadBlock(in, i, i + n - 1);
            kernel(in, out, size_t(n), i);
            return TChunkPlace{i, size_t(n)};
        },
        [&](int64_t k) {
            // The frame where the next chunk starts: the frames done so far.
            if (progress) progress(std::min(first + (k + 1) * ChunkValues, stop) / channels);
        });
}

std::unique_ptr<TPeakBuilder> TDocument::PeaksOf(int64_t frames) const {
    if (frames <= PeakBlockFrames) return nullptr;
    return std::make_unique<TPeakBuilder>(uint32_t(frames), Channels);
}

// --- starters ---

bool TDocument::FadeIn(int64_t start, int64_t stop) {
    if (!CanStartChange()) return false;
    SetRange(start, stop);
    return StartOperation(TWaveOperation::woFadeIn, &TDocument::BodyFadeIn);
}

bool TDocument::FadeOut(int64_t start, int64_t stop) {
    if (!CanStartChange()) return false;
    SetRange(start, stop);
    return StartOperation(TWaveOperation::woFadeOut, &TDocument::BodyFadeOut);
}

bool TDocument::Normalize(int percent) {
    if (!CanStartChange()) return false;
    NormalizePercent = percent;
    return StartOperation(TWaveOperation::woNormalize, &TDocument::BodyNormalize);
}

bool TDocument::Amplify(int percent) {
    if (!CanStartChange()) return false;
    AmplifyPercent = percent;
    return StartOperation(TWaveOperation::woAmplify, &TDocument::BodyAmplify);
}

bool TDocument::Reverse() {
    if (!CanStartChange()) return false;
    return StartOperation(TWaveOperation::woReverse, &TDocument::BodyReverse);
}

bool TDocument::Invert() {
    if (!CanStartChange()) return false;
    return StartOperation(TWaveOperation::woInvert, &TDocument::BodyInvert);
}

// --- bodies ---

template <class T> void TDocument::FadeValues(bool fadeIn, TPeakBuilder* peaks) {
    const int channels = Channels;
    const int64_t first = RangeStart * channels;
    const int64_t stop = RangeStop * channels;
    const TFadeGains gains(fadeIn, uint64_t(RangeStop - RangeStart));
    TransformValues<T>(
        first, stop - first,
        [&](const T* s, T* d, size_t n, int64_t i) {
            gains.Apply(s, d, n, uint64_t(i - first), channels);
        },
        {}, peaks);
}

void TDocument::FadeRange(bool fadeIn) {
    BeginSameLengthChange();
    const int channels = Channels;
    const int64_t frames = Frames;
    const int64_t first = RangeStart * channels;
    const int64_t stop = RangeStop * channels;
    const std::unique_ptr<TPeakBuilder> peaks = PeaksOf(frames);
    CopyValues(0, 0, first, peaks.get());
    if (IsFloat())
        FadeValues<float>(fadeIn, peaks.get());
    else
        FadeValues<int16_t>(fadeIn, peaks.get());
    CopyValues(stop, stop, frames * channels - stop, peaks.get());
    FinishChange(false, peaks.get());
}

void TDocument::BodyFadeIn() {
    FadeRange(true);
}

void TDocument::BodyFadeOut() {
    FadeRange(false);
}

void TDocument::BodyNormalize() {
    // Only positive block maxima make the peak: without one there is no factor.
    const int peak = Peak;
    const float level = PeakLevel;
    if (IsFloat() ? !(level > 0) : peak <= 0) throw Exception(NothingToNormalize);
    BeginSameLengthChange();
    Progress = 0;
    const int64_t frames = Frames;
    const std::unique_ptr<TPeakBuilder> peaks = PeaksOf(Frames);
    auto progress = [&](int64_t frame) {
        Progress = int(std::nearbyint(double(frame) * 100 / frames));
    };
    if (IsFloat()) {
        // Measured against full scale: the peak becomes percent of 1.0.
        const float factor = float((double(NormalizePercent) / 100) / level);
        TransformValues<float>(
            0, frames * Channels,
            [&](const float* s, float* d, size_t n, int64_t) { Scale(s, d, n, factor); },
            progress, peaks.get());
    } else {
        const double factor = (double(NormalizePercent) / 100) * 32768 / peak;
        TransformValues<int16_t>(
            0, frames * Channels,
            [&](const int16_t* s, int16_t* d, size_t n, int64_t) {
                ScaleRounded(s, d, n, factor);
            },
            progress, peaks.get());
    }
    FinishChange(true, peaks.get());
}

void TDocument::BodyAmplify() {
    BeginSameLengthChange();
    Progress = 0;
    const float factor = float(double(AmplifyPercent) / 100);
    const int64_t frames = Frames;
    const std::unique_ptr<TPeakBuilder> peaks = PeaksOf(Frames);
    auto progress = [&](int64_t frame) { Progress = int(frame * 100 / frames); };
    if (IsFloat())
        TransformValues<float>(
            0, frames * Channels,
            [&](const float* s, float* d, size_t n, int64_t) { Scale(s, d, n, factor); },
            progress, peaks.get());
    else
        TransformValues<int16_t>(
            0, frames * Channels,
            [&](const int16_t* s, int16_t* d, size_t n, int64_t) {
                ScaleTruncated(s, d, n, factor);
            },
            progress, peaks.get());
    FinishChange(true, peaks.get());
}

void TDocument::BodyInvert() {
    BeginSameLengthChange();
    Progress = 0;
    const int64_t frames = Frames;
    const std::unique_ptr<TPeakBuilder> peaks = PeaksOf(Frames);
    auto progress = [&](int64_t frame) { Progress = int(frame * 100 / frames); };
    auto negate = [](const auto* s, auto* d, size_t n, int64_t) { Negate(s, d, n); };
    if (IsFloat())
        TransformValues<float>(0, frames * Channels, negate, progress, peaks.get());
    else
        TransformValues<int16_t>(0, frames * Channels, negate, progress, peaks.get());
    FinishChange(true, peaks.get());
}

void TDocument::BodyReverse() {
    BeginSameLengthChange();
    Progress = 0;
    const std::unique_ptr<TPeakBuilder> peaks = PeaksOf(Frames);
    if (IsFloat())
        ReverseValues<float>(peaks.get());
    else
        ReverseValues<int16_t>(peaks.get());
    FinishChange(true, peaks.get());
}

template <class T> void TDocument::ReverseValues(TPeakBuilder* peaks) {
    const int channels = Channels;
    const int64_t frames = Frames;
    const int64_t chunkFrames = std::max<int64_t>(1, ChunkValues / channels);
    TSampleStore& source = *Store;
    // The target is written forward, so that its peaks are built on the way, from source chunks
    // taken backward.
    RunChunkLanes<T>(
        *TargetStore, peaks, (frames + chunkFrames - 1) / chunkFrames,
        size_t(std::min(frames, chunkFrames) * channels),
        [&](int64_t c, T* in, T* out) {
            const int64_t a = c * chunkFrames;
            const int64_t k = std::min(chunkFrames, frames - a);
            const int64_t count = k * channels;
            const int64_t sourceFirst = (frames - a - k) * channels;
            source.ReadBlock(in, sourceFirst, sourceFirst + count - 1);
            ReverseFrames(in, out, size_t(k), channels);
            return TChunkPlace{a * channels, size_t(count)};
        },
        [&](int64_t c) { Progress = int(std::min((c + 1) * chunkFrames, frames) * 100 / frames); });
}

} // namespace orvella
