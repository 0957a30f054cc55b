// The editing operations: copy, cut, delete, paste and insert silence, and the steps they share
// with the effects.

#include "engine/document.h"

#include "engine/chunklanes.h"
#include "engine/errors.h"
#include "engine/waveclip.h"
#include "engine/waveclipboard.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace orvella {

namespace {

const char* const CannotOpenClipboard = "Cannot open clipboard";
const char* const NoClipboardMemory = "Could not allocate memory for clipboard.";

// Holds the clipboard open for a scope.
class TOpenClipboard {
public:
    explicit TOpenClipboard(TWaveClipboard* clipboard)
        : Clipboard(clipboard) {
        if (!Clipboard) throw Exception(CannotOpenClipboard);
        Clipboard->Open();
    }
    ~TOpenClipboard() { Clipboard->Close(); }
    TOpenClipboard(const TOpenClipboard&) = delete;
    TOpenClipboard& operator=(const TOpenClipboard&) = delete;
    TWaveClipboard* operator->() const { return Clipboard; }

private:
    TWaveClipboard* Clipboard;
};

} // namespace

// --- shared steps ---

bool TDocument::CanStartChange() const {
    return !Busy.load() && Store != nullptr;
}

void TDocument::SetRange(int64_t start, int64_t stop) {
    const int64_t frames = Frames;
    start = std::clamp<int64_t>(start, 0, frames);
    stop = std::clamp<int64_t>(stop, 0, frames);
    RangeStart = std::min(start, stop);
    RangeStop = std::max(start, stop);
}

void TDocument::FinishChange(bool reportDone, TPeakBuilder* peaks) {
    // The length follows from Header, which the body has brought up to date.
    ApplyHeader(Header);
    ReopenStore();
    if (reportDone) Progress = 100;
    // A body that fed every value it wrote has the peaks already: no second pass over the file.
    if (peaks)
        InstallPeaks(*peaks);
    else
        BuildPeakIndex();
    Ready = true;
    RaiseAction(true, false);
}

void TDocument::CopyValues(int64_t sourceIndex, int64_t destIndex, int64_t count,
                           TPeakBuilder* peaks) {
    if (!peaks) {
        TargetStore->CopyFrom(*Store, sourceIndex, destIndex, count);
        return;
    }
    if (count <= 0) return;
    if (IsFloat())
        CopyValuesThrough<float>(sourceIndex, destIndex, count, *peaks);
    else
        CopyValuesThrough<int16_t>(sourceIndex, destIndex, count, *peaks);
}

template <class T>
void TDocument::CopyValuesThrough(int64_t sourceIndex, int64_t destIndex, int64_t count,
                                  TPeakBuilder& peaks) {
    // Reading the values once here costs less than the kernel's copy and a scan of the result.
    constexpr int64_t Chunk = TSampleStore::ChunkValues;
    TSampleStore& source = *Store;
    RunChunkLanes<T>(*TargetStore, &peaks, (count + Chunk - 1) / Chunk,
                     size_t(std::min(count, Chunk)), [&](int64_t k, T*, T* out) {
                         const int64_t done = k * Chunk;
                         const int64_t n = std::min(count - done, Chunk);
                         source.ReadBlock(out, sourceIndex + done, sourceIndex + done + n - 1);
                         return TChunkPlace{destIndex + done, size_t(n)};
                     });
}

// --- starters ---

bool TDocument::CopyRange(int64_t start, int64_t stop) {
    if (!CanStartChange()) return false;
    SetRange(start, stop);
    return StartOperation(TWaveOperation::woCopy, &TDocument::BodyCopy);
}

bool TDocument::CutRange(int64_t start, int64_t stop) {
    if (!CanStartChange()) return false;
    SetRange(start, stop);
    return StartOperation(TWaveOperation::woCut, &TDocument::BodyCut);
}

bool TDocument::DeleteRange(int64_t start, int64_t stop) {
    if (!CanStartChange()) return false;
    SetRange(start, stop);
    return StartOperation(TWaveOperation::woDelete, &TDocument::BodyDelete);
}

bool TDocument::Paste(int64_t position) {
    if (!CanStartChange()) return false;
    SetRange(position, position);
    return StartOperation(TWaveOperation::woPaste, &TDocument::BodyPaste);
}

bool TDocument::InsertSilence(int64_t position, int64_t length) {
    if (!CanStartChange()) return false;
    SetRange(position, position);
    SilenceLength = std::max<int64_t>(length, 0);
    return StartOperation(TWaveOperation::woInsertSilence, &TDocument::BodyInsertSilence);
}

// --- bodies ---

void TDocument::BodyCopy() {
    const int channels = Channels;
    const int64_t first = RangeStart * channels;
    const int64_t count = (RangeStop - RangeStart) * channels;
    TOpenClipboard clipboard(Clipboard);
    std::vector<uint8_t> block;
    try {
        block = MakeClipBlock(Header, uint32_t(BytesOf(RangeStop - RangeStart)));
    } catch (const std::bad_alloc&) {
        throw Exception(NoClipboardMemory);
    }
    Progress = 5;
    uint8_t* data = block.data() + sizeof(TWaveHeader);
    // The block holds the document's own values: a float document's clip is a float WAV.
    auto copy = [&](const auto* values, uint32_t n, int64_t i) {
        std::memcpy(data + sizeof(*values) * size_t(i - first), values, sizeof(*values) * n);
    };
    if (IsFloat())
        Store->VisitRead<float>(first, count, copy);
    else
        Store->VisitRead<int16_t>(first, count, copy);
    clipboard->SetWave(std::move(block));
    Progress = 0;
}

void TDocument::BodyCut() {
    // A copy that fails raises before anything is deleted.
    BodyCopy();
    BodyDelete();
}

void TDocument::BodyDelete() {
    Ready = false;
    BeginChange();
    const int channels = Channels;
    const int64_t frames = Frames;
    const int64_t n = RangeStop - RangeStart;
    CreateTargetStore(BytesOf(frames - n));
    SetDataLength(BytesOf(frames - n));
    TargetStore->WriteHeader(Header);
    const std::unique_ptr<TPeakBuilder> peaks = PeaksOf(frames - n);
    CopyValues(0, 0, RangeStart * channels, peaks.get());
    CopyValues(RangeStop * channels, RangeStart * channels, (frames - RangeStop) * channels,
               peaks.get());
    FinishChange(false, peaks.get());
}

void TDocument::BodyInsertSilence() {
    Ready = false;
    BeginChange();
    const int channels = Channels;
    const int64_t frames = Frames;
    const int64_t p = RangeStart;
    const int64_t length = SilenceLength;
    CreateTargetStore(BytesOf(frames + length));
    SetDataLength(BytesOf(frames + length));
    TargetStore->WriteHeader(Header);
    const std::unique_ptr<TPeakBuilder> peaks = PeaksOf(frames + length);
    CopyValues(0, 0, p * channels, peaks.get());
    // A new store reads as zeros (0.0 in float too): the silence itself needs no writing, only
    // its peaks.
    if (peaks) {
        const std::vector<int16_t> zeros(
            size_t(std::min(length * channels, TSampleStore::ChunkValues)));
        for (int64_t left = length * channels; left > 0; left -= int64_t(zeros.size()))
            peaks->Feed(zeros.data(), uint32_t(std::min<int64_t>(left, int64_t(zeros.size()))));
    }
    CopyValues(p * channels, (p + length) * channels, (frames - p) * channels, peaks.get());
    FinishChange(false, peaks.get());
}

void TDocument::BodyPaste() {
    const uint16_t channels = Channels;
    std::vector<uint8_t> block;
    {
        TOpenClipboard clipboard(Clipboard);
        if (!clipboard->HasWave()) return; // nothing to paste: no change, no history entry
        block = clipboard->GetWave();
    }
    // Checked before the history entry: a bad clip, or one of another rate, changes nothing.
    const TClipView clip = ParseClip(block.data(), block.size(), channels);
    if (clip.SampleRate != SampleRate)
        throw Exception(ClipRateMismatchText(clip.SampleRate, SampleRate));
    Ready = false;
    BeginChange();
    const int64_t frames = Frames;
    const int64_t p = RangeStart;
    const int64_t added = clip.Frames;
    CreateTargetStore(BytesOf(added + frames));
    SetDataLength(BytesOf(added + frames));
    TargetStore->WriteHeader(Header);
    const std::unique_ptr<TPeakBuilder> peaks = PeaksOf(frames + added);
    Progress = 5;
    CopyValues(0, 0, p * channels, peaks.get());
    Progress = 30;
    if (IsFloat())
        PasteValues<float>(clip, p * channels, peaks.get());
    else
        PasteValues<int16_t>(clip, p * channels, peaks.get());
    Progress = 60;
    CopyValues(p * channels, (p + added) * channels, (frames - p) * channels, peaks.get());
    FinishChange(true, peaks.get());
}

template <class T>
void TDocument::PasteValues(const TClipView& clip, int64_t first, TPeakBuilder* peaks) {
    const uint16_t channels = Channels;
    TSampleReducer reducer(16, DitherOn.load());
    TargetStore->VisitFill<T>(first, int64_t(clip.Frames) * channels,
                              [&](T* values, uint32_t n, int64_t i) {
                                  ConvertClipValues(clip, channels, uint64_t(i - first), n,
                                                    values, reducer);
                                  if (peaks) peaks->Feed(values, n);
                              });
}

} // namespace orvella
