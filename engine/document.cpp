// The document's core: the operation runner, the shared steps of the bodies, the peak index, the
// history commands and closing.

#include "engine/document.h"

#include "engine/errors.h"

#include <chrono>
#include <cmath>
#include <unistd.h>
#include <utility>

namespace orvella {

namespace {
const char* const WorkFileTooLarge = "File too large: a document holds at most 2^32 - 1 frames.";
}

// --- TOperationThread ---

TOperationThread::TOperationThread(TDocument& document, TBody proc)
    : Document(document)
    , Proc(proc) {}

TOperationThread::~TOperationThread() {
    Join();
}

void TOperationThread::Start() {
    Thread = std::thread([this] { Execute(); });
}

void TOperationThread::Join() {
    if (Thread.joinable() && Thread.get_id() != std::this_thread::get_id()) Thread.join();
}

void TOperationThread::Execute() {
    FException = nullptr;
    try {
        (Document.*Proc)();
    } catch (...) {
        HandleException();
    }
    // OperationDone runs on the main thread once the body has ended.
    std::weak_ptr<bool> alive = Document.Alive;
    TDocument* document = &Document;
    const int returnValue = ReturnValue.load();
    Document.Main.Post([alive, document, returnValue] {
        if (alive.lock()) document->OperationDone(returnValue);
    });
}

void TOperationThread::HandleException() {
    FException = std::current_exception();
    // Return the document to where it was before the body, then tell the user once.
    Document.RollBack();
    Document.Main.Synchronize([this] { ShowThreadException(); });
    FException = nullptr;
}

void TOperationThread::ShowThreadException() {
    ReturnValue = -1;
    try {
        std::rethrow_exception(FException);
    } catch (const std::exception& e) {
        Document.UserDialogs.ShowError(e.what());
    } catch (...) {
        Document.UserDialogs.ShowError("A call to an OS function failed");
    }
}

// --- TDocument: life ---

TDocument::TDocument(TMainThread& mainThread, TUserDialogs& dialogs, TEngineSettings settings,
                     TCodecServices codecs, TWaveClipboard* clipboard)
    : Main(mainThread)
    , UserDialogs(dialogs)
    , EngineSettings(std::move(settings))
    , Codecs(std::move(codecs))
    , Clipboard(clipboard)
    , Published(std::make_shared<const TDocumentSnapshot>(TDocumentSnapshot{nullptr, PeakIndex})) {
    DitherOn = EngineSettings.Dither;
}

TDocument::~TDocument() {
    try {
        Close();
    } catch (...) {
        // Nothing of ours can be saved at this point; the files are deleted quietly.
    }
    Alive.reset();
}

void TDocument::WaitIdle() {
    while (Busy.load()) {
        Main.ProcessMessages();
        if (Busy.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::shared_ptr<const TDocumentSnapshot> TDocument::Snapshot() const {
    std::lock_guard<std::mutex> guard(PublishLock);
    return Published;
}

void TDocument::SetStore(std::shared_ptr<TSampleStore> store) {
    // Readers that took the old store keep it until the next snapshot; its window goes now, so
    // that the new store's window does not come on top of it.
    if (Store && Store != store) Store->ReleaseWindow();
    Store = std::move(store);
}

void TDocument::Publish(std::shared_ptr<const TPeakIndexEntries> index) {
    PeakIndex = std::move(index);
    TDocumentSnapshot next{Store, PeakIndex};
    // Without a store there is no sound, whatever the last header said.
    if (Store) {
        next.Channels = Channels;
        next.SampleRate = SampleRate;
        next.Frames = Frames;
        next.DataBytes = DataBytes;
        next.Duration = Duration;
        next.Format = Format;
    }
    std::shared_ptr<const TDocumentSnapshot> old =
        std::make_shared<const TDocumentSnapshot>(std::move(next));
    {
        std::lock_guard<std::mutex> guard(PublishLock);
        std::swap(Published, old);
    }
    // The previous picture is released outside the lock: when it held the last reference to its
    // store, unmapping may take a while.
}

void TDocument::ClearPeaks() {
    Publish(std::make_shared<const TPeakIndexEntries>());
    PeakLeft = PeakRight = Peak = 0;
    PeakLevel = 0;
    PeakDb = -90;
}

void TDocument::DeleteFileQuietly(const std::string& path) {
    if (!path.empty()) ::unlink(path.c_str());
}

void TDocument::RaiseAction(bool undoEnabled, bool redoEnabled) {
    if (!OnAction) return;
    if (Main.IsMainThread()) {
        OnAction(this, undoEnabled, redoEnabled);
        return;
    }
    std::weak_ptr<bool> alive = Alive;
    Main.Post([this, alive, undoEnabled, redoEnabled] {
        if (alive.lock() && OnAction) OnAction(this, undoEnabled, redoEnabled);
    });
}

// --- the runner ---

bool TDocument::StartOperation(TWaveOperation operation, TOperationThread::TBody body) {
    if (Busy.load()) return false;
    Busy = true;
    Operation = operation;
    Before.HadStore = Store != nullptr;
    Before.WorkFileName = WorkFileName;
    Before.Header = Header;
    Before.DataLength = DataLength;
    Before.PeakIndex = PeakIndex;
    Before.PeakLeft = PeakLeft;
    Before.PeakRight = PeakRight;
    Before.Peak = Peak;
    Before.PeakLevel = PeakLevel;
    Before.PeakDb = PeakDb;
    Before.Ready = Ready;
    Before.Modified = Modified;
    Before.UndoCount = UndoStack.Count();
    Worker = std::make_unique<TOperationThread>(*this, body);
    Worker->ReturnValue = 1;
    Worker->Start();
    return true;
}

void TDocument::SetTempFolder(const std::string& folder) {
    if (Busy.load())
        PendingTempFolder = folder;
    else
        EngineSettings.TempFolder = folder;
}

void TDocument::OperationDone(int returnValue) {
    if (Worker) Worker->Join();
    Worker.reset();
    Busy = false;
    if (!PendingTempFolder.empty()) {
        EngineSettings.TempFolder = std::move(PendingTempFolder);
        PendingTempFolder.clear();
    }
    if (returnValue != 1) return;
    DroppedRedo.Clear();
    Ready = true;
    if (Operation == TWaveOperation::woLoad && OnLoaded) OnLoaded(this);
    if (Operation == TWaveOperation::woSaveMP3 || Operation == TWaveOperation::woSaveWAV) {
        Saved = true;
        // A selection saved to another file leaves the document's changes unsaved.
        if (SavingDocument) Modified = false;
        ++SavesDone;
        LastSavedFile = SaveFileName;
    }
    if (OnReady) OnReady(this);
    Progress = 0;
}

// Runs on the worker thread after a body raised.
void TDocument::RollBack() {
    TargetStore.reset();
    if (WorkFileName != Before.WorkFileName) {
        DeleteFileQuietly(WorkFileName);
        WorkFileName = Before.WorkFileName;
    }
    // BeginChange pushed the previous work file; it is current again, so it must not be deleted.
    while (UndoStack.Count() > Before.UndoCount)
        UndoStack.Pop();
    // A change that got as far as BeginChange gives back the redo states it took.
    if (!DroppedRedo.IsEmpty()) std::swap(RedoStack, DroppedRedo);
    const bool storeIsCurrent = Store && Store->FileName() == WorkFileName;
    if (Before.HadStore && !storeIsCurrent) {
        try {
            SetStore(
                std::make_shared<TSampleStore>(WorkFileName, 0, false, EngineSettings.TempFolder));
        } catch (...) {
            SetStore(nullptr);
        }
    } else if (!Before.HadStore) {
        SetStore(nullptr);
    }
    if (Before.HadStore) {
        DataLength = Before.DataLength;
        ApplyHeader(Before.Header);
    }
    PeakLeft = Before.PeakLeft;
    PeakRight = Before.PeakRight;
    Peak = Before.Peak;
    PeakLevel = Before.PeakLevel;
    PeakDb = Before.PeakDb;
    // Readers see the document as it was before the body (or no document, when the store could
    // not be reopened).
    Publish(Before.PeakIndex);
    Ready = Before.Ready && Store != nullptr;
    Modified = Before.Modified;
    Progress = 0;
    RaiseAction(!UndoStack.IsEmpty(), !RedoStack.IsEmpty());
}

// --- shared steps ---

void TDocument::ApplyHeader(const TWaveHeader& header) {
    Header = header;
    if (header.RiffSize != SizeToEndOfFile) DataLength = header.RiffSize - 36u;
    DataBytes = DataLength;
    Format = SampleFormatOf(header);
    if (header.FormatTag != 1 && Format != TSampleFormat::Float32) NotPCM = true;
    Channels = header.Channels;
    SampleRate = header.SamplesPerSec;
    // A header with no channels or no rate describes no frames rather than dividing by zero.
    Frames = header.Channels
                 ? uint32_t(DataLength / (uint64_t(header.Channels) * SampleBytes(Format)))
                 : 0;
    Duration = header.SamplesPerSec ? double(Frames.load()) / header.SamplesPerSec : 0.0;
}

void TDocument::SetDataLength(uint64_t bytes) {
    DataLength = bytes;
    SetWorkDataBytes(Header, bytes);
}

void TDocument::BeginChange() {
    UndoStack.Push(WorkFileName);
    // The redo states are dropped from the history now but deleted only when the change has
    // succeeded: a failed change gives them back.
    DroppedRedo.Clear();
    std::swap(DroppedRedo, RedoStack);
    Modified = true;
    RaiseAction(true, false);
}

void TDocument::CreateTargetStore(uint64_t dataBytes) {
    // Frames are counted in 32 bits: 2^32 - 1 frames is the longest document.
    if (dataBytes / (uint64_t(Channels) * SampleBytes(Format)) > UINT32_MAX)
        throw Exception(WorkFileTooLarge);
    WorkFileName = NewWorkFileName(EngineSettings.TempFolder);
    TargetStore = std::make_unique<TSampleStore>(WorkFileName, dataBytes + 44, true,
                                                 EngineSettings.TempFolder);
}

void TDocument::ReopenStore() {
    TargetStore.reset();
    SetStore(nullptr);
    SetStore(std::make_shared<TSampleStore>(WorkFileName, 0, false, EngineSettings.TempFolder));
}

void TDocument::BuildPeakIndex() {
    const uint32_t frames = Frames;
    // A short document keeps the index and peaks it had; its store and format are published
    // with that index all the same.
    if (frames <= PeakBlockFrames || !Store) {
        Publish(PeakIndex);
        return;
    }
    TSampleStore& store = *Store;
    Progress = 0;
    TPeakBuilder builder(frames, Channels);
    int lastProgress = 0;
    auto feed = [&](const auto* p, uint32_t n, int64_t) {
        builder.Feed(p, n);
        // b * 100 div B for the blocks done, written as it changes.
        const int progress = int(int64_t(builder.BlocksDone()) * 100 / builder.Blocks());
        if (progress != lastProgress) Progress = lastProgress = progress;
    };
    if (IsFloat())
        store.VisitRead<float>(0, int64_t(frames) * Channels, feed);
    else
        store.VisitRead<int16_t>(0, int64_t(frames) * Channels, feed);
    InstallPeaks(builder);
}

void TDocument::InstallPeaks(TPeakBuilder& builder) {
    int16_t peakLeft = 0, peakRight = 0;
    auto index = std::make_shared<const TPeakIndexEntries>(builder.Finish(peakLeft, peakRight));
    PeakLeft = peakLeft;
    PeakRight = peakRight;
    Peak = std::max(peakLeft, peakRight);
    PeakLevel = IsFloat() ? std::max(builder.LevelLeft(), builder.LevelRight())
                          : float(Peak / 32768.0);
    PeakDb = PeakLevel > 0 ? int(std::nearbyint(20.0 * std::log10(double(PeakLevel)))) : -90;
    Publish(std::move(index));
    Progress = 0;
}

// --- bodies and commands of the core ---

void TDocument::BodyScanPeaks() {
    BuildPeakIndex();
}

void TDocument::Close() {
    WaitIdle();
    Ready = false;
    SetStore(nullptr);
    TargetStore.reset();
    // A closed document has no peaks; the next document starts from none. Readers see no
    // document from here on.
    ClearPeaks();
    RedoStack.Clear();
    UndoStack.Clear();
    DroppedRedo.Clear();
    if (!WorkFileName.empty() && ::access(WorkFileName.c_str(), F_OK) == 0)
        DeleteFileQuietly(WorkFileName);
    WorkFileName.clear();
}

void TDocument::OpenCurrentWorkFile() {
    try {
        auto store =
            std::make_shared<TSampleStore>(WorkFileName, 0, false, EngineSettings.TempFolder);
        TWaveHeader header;
        store->ReadHeader(header);
        // Past 4 GiB the header's sizes read to the end of the file.
        if (header.RiffSize == SizeToEndOfFile) DataLength = store->FileSize() - 44;
        SetStore(std::move(store));
        ApplyHeader(header);
    } catch (...) {
        // Without a store no command may run on the document.
        Ready = false;
        throw;
    }
}

void TDocument::OpenHistoryState() {
    try {
        OpenCurrentWorkFile();
    } catch (...) {
        // The previous state's store is no longer the document's: readers see none either.
        Publish(PeakIndex);
        throw;
    }
}

std::vector<std::string> TDocument::WorkFiles() const {
    std::vector<std::string> files;
    if (WorkFileName.empty()) return files;
    files.push_back(WorkFileName);
    for (const TWorkFileStack* stack : {&UndoStack, &RedoStack})
        files.insert(files.end(), stack->Paths().begin(), stack->Paths().end());
    return files;
}

void TDocument::Undo() {
    if (Busy.load() || UndoStack.IsEmpty()) return;
    RedoStack.Push(WorkFileName);
    WorkFileName = UndoStack.Pop();
    // The sound now differs from what was last saved (an Undo after a Save, say): Save must
    // write it and closing must ask.
    Modified = true;
    SetStore(nullptr);
    OpenHistoryState();
    // Readers keep the previous state until the rescan publishes this one with its index.
    StartOperation(TWaveOperation::woScanPeaks, &TDocument::BodyScanPeaks);
    RaiseAction(!UndoStack.IsEmpty(), !RedoStack.IsEmpty());
}

void TDocument::Redo() {
    if (Busy.load() || RedoStack.IsEmpty()) return;
    SetStore(nullptr);
    UndoStack.Push(WorkFileName);
    WorkFileName = RedoStack.Pop();
    Modified = true; // as for Undo
    OpenHistoryState();
    StartOperation(TWaveOperation::woScanPeaks, &TDocument::BodyScanPeaks);
    RaiseAction(!UndoStack.IsEmpty(), !RedoStack.IsEmpty());
}

} // namespace orvella
