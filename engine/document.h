#pragma once
// TDocument, the document: the one sound the editor has open, its work files, its undo and redo
// histories, its peak index, and the runner of every operation on its samples.
//
// Thread rules:
// - Starters, New, Undo, Redo, Close and the destructor run on the main thread.
// - Each started operation runs its body on its own worker thread (TOperationThread);
//   OperationDone runs on the main thread afterwards. While a body runs (IsBusy), every starter,
//   Undo and Redo is refused.
// - The private state (work file, header, histories, operation parameters, the store the bodies
//   use) belongs to the running body while one runs and to the main thread otherwise; it has no
//   lock because the two never overlap.
// - Readers on any thread take the store, the peak index and the format together with
//   Snapshot(). It is replaced as a whole when the peak index of a new store or format is in
//   place: at the end of a load, of a rewriting body, of a failed body's roll-back, and of the
//   rescan that follows Undo and Redo. Until then a reader keeps seeing the previous sound.
// - The fields other threads read (Ready, Progress, the format fields, the peaks) are atomic;
//   the format fields change as soon as the document's format does, so during a body they may be
//   ahead of the snapshot.
// - OnAction may be raised by a body; it is delivered on the main thread. OnReady and OnLoaded are
//   raised on the main thread.

#include "engine/codecservices.h"
#include "engine/documentsnapshot.h"
#include "engine/enginesettings.h"
#include "engine/mainthread.h"
#include "engine/peakindex.h"
#include "engine/progress.h"
#include "engine/samplestore.h"
#include "engine/userdialogs.h"
#include "engine/workfilestack.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

namespace orvella {

class TWaveClipboard;

enum class TWaveOperation {
    woScanPeaks,
    woLoad,
    woSaveMP3,
    woSaveWAV,
    woCut,
    woCopy,
    woPaste,
    woDelete,
    woInsertSilence,
    woNormalize,
    woFadeIn,
    woFadeOut,
    woReverse,
    woInvert,
    woAmplify,
    woConvert,
};

class TDocument;

// The worker thread of one operation.
class TOperationThread {
public:
    using TBody = void (TDocument::*)();
    TOperationThread(TDocument& document, TBody proc);
    ~TOperationThread(); // joins
    void Start();
    void Join();

    // 1 success, 0 failure reported by the body itself, -1 failure by exception.
    std::atomic<int> ReturnValue{1};

private:
    void Execute();
    void HandleException();
    void ShowThreadException();

    TDocument& Document;
    TBody Proc;
    std::exception_ptr FException;
    std::thread Thread;
};

class TDocument {
public:
    TDocument(TMainThread& mainThread, TUserDialogs& dialogs, TEngineSettings settings,
              TCodecServices codecs = {}, TWaveClipboard* clipboard = nullptr);
    // Waits for a running body, then deletes every work file the document owns.
    ~TDocument();
    TDocument(const TDocument&) = delete;
    TDocument& operator=(const TDocument&) = delete;

    // --- starters (main thread; return at once; false when refused because a body runs) ---
    bool Open(const std::string& path);
    bool Save();
    // A WAV range is written at precision when given, else as Save would write the document.
    bool SaveRange(const std::string& path, int64_t start, int64_t stop,
                   std::optional<TFilePrecision> precision = std::nullopt);
    bool CutRange(int64_t start, int64_t stop);
    bool CopyRange(int64_t start, int64_t stop);
    bool Paste(int64_t position);
    bool DeleteRange(int64_t start, int64_t stop);
    bool InsertSilence(int64_t position, int64_t length);
    bool FadeIn(int64_t start, int64_t stop);
    bool FadeOut(int64_t start, int64_t stop);
    bool Normalize(int percent);
    bool Amplify(int percent);
    bool Reverse();
    bool Invert();
    bool Convert(int sampleRate, int channels);

    // --- synchronous operations (main thread) ---
    // Refused (false) while a body runs.
    bool New(const std::string& fileName, int sampleRate, int channels, int bits);
    void Undo();
    void Redo();
    // Waits for a running body, then releases the store and deletes every work file.
    void Close();

    // Main thread: processes main-thread messages until no body runs.
    void WaitIdle();
    bool IsBusy() const { return Busy.load(); }
    // Main thread, while no body runs: the work files the document owns, the current one first
    // (none when no document is open), then the undo and the redo states.
    std::vector<std::string> WorkFiles() const;

    // Any thread: the store, peak index and format readers see, as one picture (never null).
    std::shared_ptr<const TDocumentSnapshot> Snapshot() const;
    // Any thread: the snapshot's store (may be empty) and peak index (never null).
    std::shared_ptr<TSampleStore> GetStore() const { return Snapshot()->Store; }
    std::shared_ptr<const TPeakIndexEntries> GetPeakIndex() const { return Snapshot()->PeakIndex; }

    // Main thread, while no body runs (or the scan body itself): rebuilds the peak index and the
    // peaks from the store, then publishes them with the store and format as the new snapshot.
    void BuildPeakIndex();

    // --- events: assigned on the main thread before the first operation ---
    std::function<void(TDocument* sender, bool undoEnabled, bool redoEnabled)> OnAction;
    std::function<void(TDocument* sender)> OnReady;
    std::function<void(TDocument* sender)> OnLoaded;

    // --- state ---
    // The user's file: written on the main thread while no body runs (Open, New, a host before
    // Save); the load and save bodies read it.
    std::string FileName;
    // The decoder row's kind of the loaded file; written by the load body, read on any thread.
    std::atomic<int> SourceKind{0};
    // Written by the bodies and on the main thread, read on any thread.
    std::atomic<bool> Modified{false};
    std::atomic<bool> Saved{false};
    std::atomic<bool> NotPCM{false};
    std::atomic<bool> Ready{false};
    // Written by the peak scans (body or main thread while idle), read on any thread.
    std::atomic<int16_t> PeakLeft{0}, PeakRight{0}, Peak{0};
    std::atomic<int> PeakDb{-90};
    // The peak in full-scale units (1.0 = 0 dB): Peak / 32768 in a 16-bit document; in a float
    // one the largest value, which may pass 1.0.
    std::atomic<float> PeakLevel{0};
    // The format: written where the document's header changes (body or main thread while idle),
    // read on any thread; during a body they may be ahead of Snapshot().
    std::atomic<uint64_t> DataBytes{0};
    std::atomic<uint16_t> Channels{0};
    std::atomic<uint32_t> SampleRate{0};
    std::atomic<uint32_t> Frames{0};
    std::atomic<double> Duration{0};
    std::atomic<TSampleFormat> Format{TSampleFormat::Int16};
    // The precision of the file the document came from (set by the load and by New): what Save
    // writes unless SavePrecision says otherwise.
    std::atomic<TFilePrecision> SourcePrecision{TFilePrecision::Pcm16};
    // Written by the running body, read on any thread; 0 when idle.
    TProgress Progress;
    // Main thread: the number of saves finished so far and the file the last of them wrote (the
    // document's file, or the file a range was saved to).
    uint32_t SavesDone = 0;
    std::string LastSavedFile;
    // Written on the main thread by ConfirmMP3Settings before an MP3 save starts; read by its body.
    TEncoderConfig EncoderConfig{};
    // Main thread, before a save: the precision Save writes WAV files at, none for the source's;
    // and the number of samples the last WAV save clipped (read after it finished).
    std::optional<TFilePrecision> SavePrecision;
    uint64_t ClippedSamples = 0;

    const TEngineSettings& Settings() const { return EngineSettings; }
    // Any thread: whether reductions of precision from now on add dither (a running save or
    // paste keeps the rule it started with).
    void SetDither(bool on) { DitherOn = on; }
    // Main thread: the folder for the work files made from now on. While a body runs (it may be
    // making one) the change waits for the body's end. Files already made stay where they are.
    void SetTempFolder(const std::string& folder);
    TUserDialogs& Dialogs() { return UserDialogs; }
    TMainThread& MainThread() { return Main; }

private:
    friend class TOperationThread;
    // The tests' way to the private state (defined by the tests, not by the engine).
    friend class TDocumentTestAccess;

    // What a failed body returns the document to.
    struct TStateBefore {
        std::string WorkFileName;
        TWaveHeader Header{};
        uint64_t DataLength = 0;
        std::shared_ptr<const TPeakIndexEntries> PeakIndex;
        int16_t PeakLeft = 0, PeakRight = 0, Peak = 0;
        float PeakLevel = 0;
        int PeakDb = -90;
        bool Ready = false;
        bool Modified = false;
        bool HadStore = false;
        size_t UndoCount = 0;
    };

    bool StartOperation(TWaveOperation operation, TOperationThread::TBody body);
    void OperationDone(int returnValue);
    void RollBack();
    // The store the bodies use; readers see it once it is published.
    void SetStore(std::shared_ptr<TSampleStore> store);
    // PeakIndex := index, then Store, PeakIndex and the format fields become the snapshot.
    void Publish(std::shared_ptr<const TPeakIndexEntries> index);
    void ClearPeaks();

    // --- steps shared by the bodies (run on the calling thread) ---
    // The format fields from header. Its sizes give the data's length, unless they read
    // SizeToEndOfFile: then DataLength stands as set (SetDataLength, or the store's file size).
    void ApplyHeader(const TWaveHeader& header);
    // DataLength := bytes, and Header's sizes with it.
    void SetDataLength(uint64_t bytes);
    void BeginChange();
    void CreateTargetStore(uint64_t dataBytes);
    // The bytes of frames frames in the document's format.
    uint64_t BytesOf(int64_t frames) const {
        return uint64_t(frames) * Channels * uint64_t(SampleBytes(Format));
    }
    bool IsFloat() const { return Format == TSampleFormat::Float32; }
    void ReopenStore();
    // The index and peaks of a builder that has been fed the whole current sound, published.
    void InstallPeaks(TPeakBuilder& builder);
    // Raises OnAction on the main thread (directly there, posted from a worker).
    void RaiseAction(bool undoEnabled, bool redoEnabled);
    // Store := a read store on WorkFileName; its header is applied.
    void OpenCurrentWorkFile();
    // The same for Undo and Redo, with the store (SetStore(nullptr) before) published as none
    // when the work file cannot be opened.
    void OpenHistoryState();
    // Body side of a failure the body reports itself: back to the state before, no event.
    void FailQuietly();
    std::string SaveTempName() const;
    void CommitSavedFile(const std::string& tempPath);
    bool StartSave();
    // The precision a WAV save writes: precision, else SavePrecision, else the source's.
    TFilePrecision SavedPrecision(std::optional<TFilePrecision> precision = std::nullopt) const;
    // Writes the values first .. first + count - 1 to path as a WAV file of precision (header
    // bytes given), converting on the way; ClippedSamples := the values limited.
    void WriteConverted(const std::string& path, const std::vector<uint8_t>& header,
                        TFilePrecision precision, int64_t first, int64_t count);
    void DeleteFileQuietly(const std::string& path);

    // Whether a starter that works on the document may run: no body runs and a document is open.
    bool CanStartChange() const;
    // RangeStart, RangeStop := start, stop put in order and limited to 0 .. Frames.
    void SetRange(int64_t start, int64_t stop);
    // The end of every rewriting body: the format from Header, the new work file as Store
    // (Progress 100 then, when reportDone), its peaks, the three published together, Ready and
    // OnAction. The peaks come from peaks when the body fed it the whole new sound, else from a
    // scan of the new store.
    void FinishChange(bool reportDone, TPeakBuilder* peaks = nullptr);
    // The start of the effects: the history entry and a target store of the same length with
    // Header written into it.
    void BeginSameLengthChange();
    // The body of both fades over RangeStart .. RangeStop.
    void FadeRange(bool fadeIn);
    // kernel(source values, target values, n, index of the first) over a chunk of values of the
    // document's type T.
    template <class T> using TKernel = std::function<void(const T*, T*, size_t, int64_t)>;
    // Target values := kernel(Store values) over the values first .. first + count - 1, a chunk
    // at a time on two lanes (RunChunkLanes), so kernel must be safe to call from two threads at
    // once; progress(frame) is called after each chunk, in order, with the frames done so far.
    // The results are also fed to peaks, when given.
    template <class T>
    void TransformValues(int64_t first, int64_t count,
                         const std::type_identity_t<TKernel<T>>& kernel,
                         const std::function<void(int64_t)>& progress,
                         TPeakBuilder* peaks = nullptr);
    // Target values destIndex .. := Store values sourceIndex .. (count of them). With peaks, the
    // values pass through a buffer and are fed to it on the way; without, the kernel copies them.
    void CopyValues(int64_t sourceIndex, int64_t destIndex, int64_t count, TPeakBuilder* peaks);
    template <class T>
    void CopyValuesThrough(int64_t sourceIndex, int64_t destIndex, int64_t count,
                           TPeakBuilder& peaks);
    // The typed halves of the bodies whose work depends on the value type.
    template <class T> void FadeValues(bool fadeIn, TPeakBuilder* peaks);
    template <class T> void ReverseValues(TPeakBuilder* peaks);
    template <class T> void PasteValues(const struct TClipView& clip, int64_t first, TPeakBuilder* peaks);
    // A builder for the peaks of a new sound of frames frames, or none when that length keeps
    // the peaks as they are (PeakBlockFrames frames or fewer).
    std::unique_ptr<TPeakBuilder> PeaksOf(int64_t frames) const;

    // Bodies, one per operation.
    void BodyScanPeaks();
    void BodyLoad();
    void BodySaveWAV();
    void BodySaveMP3();
    void BodyCopy();
    void BodyCut();
    void BodyDelete();
    void BodyInsertSilence();
    void BodyPaste();
    void BodyFadeIn();
    void BodyFadeOut();
    void BodyNormalize();
    void BodyAmplify();
    void BodyReverse();
    void BodyInvert();
    void BodyConvert();

    TMainThread& Main;
    TUserDialogs& UserDialogs;
    TEngineSettings EngineSettings;
    std::string PendingTempFolder; // set while a body ran; applied when it ends
    std::atomic<bool> DitherOn{true};
    TCodecServices Codecs;
    TWaveClipboard* Clipboard;

    TWaveOperation Operation = TWaveOperation::woScanPeaks;
    TWaveHeader Header{};
    // The data bytes of the current sound: Header's sizes when they hold it, else beyond 4 GiB.
    uint64_t DataLength = 0;
    std::string WorkFileName;
    std::string SaveFileName;
    // Whether the running save writes the document to its own file (Save), not a range of it to
    // another one (SaveRange): only that makes the document unmodified.
    bool SavingDocument = true;
    // The precision the running WAV save writes (set by its starter).
    TFilePrecision SavingPrecision = TFilePrecision::Pcm16;
    TWorkFileStack UndoStack, RedoStack;
    // The redo states a running change took off the history (see BeginChange).
    TWorkFileStack DroppedRedo;

    // Operation parameters, set by the starters.
    int AmplifyPercent = 100;
    int NormalizePercent = 100;
    int64_t RangeStart = 0, RangeStop = 0;
    int64_t SilenceLength = 0;
    int TargetChannels = 1, TargetRate = 22050;

    // The store and index of the bodies; readers get them through Published.
    std::shared_ptr<TSampleStore> Store;
    std::unique_ptr<TSampleStore> TargetStore;
    std::shared_ptr<const TPeakIndexEntries> PeakIndex =
        std::make_shared<const TPeakIndexEntries>();
    // What Snapshot() returns; replaced as a whole under PublishLock.
    mutable std::mutex PublishLock;
    std::shared_ptr<const TDocumentSnapshot> Published;

    std::unique_ptr<TOperationThread> Worker;
    std::atomic<bool> Busy{false};
    TStateBefore Before;
    std::shared_ptr<bool> Alive = std::make_shared<bool>(true);
};

} // namespace orvella
