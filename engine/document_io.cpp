// Loading, the empty New document and saving (WAV and MP3).

#include "engine/document.h"

#include "engine/errors.h"
#include "engine/pathnames.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace orvella {

namespace {

const char* const LoadErrorCaption = "File Loading Error!";
const char* const UnsupportedType =
    "Unsupported file type. Orvella opens .wav, .mp3 and .wma files.";

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// The file a save replaces: the path with every symbolic link along its last component followed,
// so that the link's target gets the new contents and the link itself stays. A target that does
// not exist yet is where the new file goes. A loop of links ends after a bounded number of steps.
std::string FollowLinks(std::string path) {
    for (int hop = 0; hop < 40; ++hop) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        std::string target(size_t(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length <= 0 || size_t(length) >= target.size()) return path;
        target.resize(size_t(length));
        path = target.front() == '/' ? target : FolderOf(path) + "/" + target;
    }
    return path;
}

} // namespace

void TDocument::FailQuietly() {
    Worker->ReturnValue = 0;
    RollBack();
}

// --- loading ---

bool TDocument::Open(const std::string& path) {
    if (Busy.load()) return false;
    // A document still loaded would lose track of its work files.
    if (Store || !WorkFileName.empty()) Close();
    FileName = path;
    // The user's file is read only: its permissions are left as they are.
    return StartOperation(TWaveOperation::woLoad, &TDocument::BodyLoad);
}

void TDocument::BodyLoad() {
    WorkFileName = NewWorkFileName(EngineSettings.TempFolder);
    const std::string extension = LowerExtension(FileName);
    const TDecoderRow* row = nullptr;
    for (const TDecoderRow& candidate : Codecs.Decoders)
        if (candidate.Extension == extension) row = &candidate;
    bool decoded = false;
    std::unique_ptr<TPeakBuilder> peaks;
    if (row) {
        SourceKind = row->SourceKind;
        decoded = row->DecodeWithPeaks
                      ? row->DecodeWithPeaks(FileName, WorkFileName, Progress, peaks)
                      : row->Decode(FileName, WorkFileName, Progress);
    }
    if (!decoded) {
        UserDialogs.ShowMessage(row ? row->FailureMessage : UnsupportedType, LoadErrorCaption,
                                TMessageIcon::Warning);
        FailQuietly();
        return;
    }
    OpenCurrentWorkFile();
    // An index the import built on the way spares reading the work file back; it counts only
    // when it covers exactly the sound the header describes.
    if (peaks && Frames > PeakBlockFrames && peaks->IsCompleteFor(Frames, Channels))
        InstallPeaks(*peaks);
    else
        BuildPeakIndex();
}

bool TDocument::New(const std::string& fileName, int sampleRate, int channels, int /*bits*/) {
    if (Busy.load()) return false;
    if (Ready || Store || !WorkFileName.empty()) Close();
    FileName = fileName;
    WorkFileName = NewWorkFileName(EngineSettings.TempFolder);
    {
        // Work files are always 16-bit, whatever the bits asked for.
        TWorkFileWriter empty(WorkFileName, channels, sampleRate);
        empty.Close();
    }
    OpenCurrentWorkFile();
    Modified = false;
    BuildPeakIndex();
    Ready = true;
    RedoStack.Clear();
    UndoStack.Clear();
    if (OnLoaded) OnLoaded(this);
    if (OnReady) OnReady(this);
    RaiseAction(false, false);
    Progress = 0;
    return true;
}

// --- saving ---

bool TDocument::Save() {
    if (!CanStartChange()) return false; // nothing to save without a document
    SaveFileName = FileName;
    SavingDocument = true;
    RangeStart = 0;
    RangeStop = Frames;
    return StartSave();
}

bool TDocument::SaveRange(const std::string& path, int64_t start, int64_t stop) {
    if (!CanStartChange()) return false;
    SaveFileName = path;
    SavingDocument = false;
    // A range running backwards or past the end saves the part that lies in the document.
    SetRange(start, stop);
    return StartSave();
}

bool TDocument::StartSave() {
    Saved = false;
    SaveFileName = FollowLinks(SaveFileName);
    const std::string extension = LowerExtension(SaveFileName);
    // Modified is cleared by a save that succeeded (OperationDone), never here.
    if (extension == ".mp3") {
        if (!Codecs.CreateMP3Writer || !Codecs.ConfirmMP3Settings ||
            !Codecs.ConfirmMP3Settings(*this))
            return false;
        return StartOperation(TWaveOperation::woSaveMP3, &TDocument::BodySaveMP3);
    }
    if (extension == ".wav")
        return StartOperation(TWaveOperation::woSaveWAV, &TDocument::BodySaveWAV);
    return false;
}

// Saves go to a new file beside the target, renamed over it only when complete, so a failed save
// never harms the user's file.
std::string TDocument::SaveTempName() const {
    return NewWorkFileName(FolderOf(SaveFileName));
}

void TDocument::CommitSavedFile(const std::string& tempPath) {
    struct stat info {};
    mode_t mode;
    if (::stat(SaveFileName.c_str(), &info) == 0) {
        mode = info.st_mode & 07777;
        // The replaced file's owner and group, where the process may give them away; otherwise
        // the new file stays the process's own.
        if (::chown(tempPath.c_str(), info.st_uid, info.st_gid) != 0) {
            [[maybe_unused]] const int ignored = ::chown(tempPath.c_str(), uid_t(-1), info.st_gid);
        }
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::chmod(tempPath.c_str(), mode);
    if (::rename(tempPath.c_str(), SaveFileName.c_str()) != 0) RaiseLastOSError();
}

void TDocument::BodySaveWAV() {
    Progress = 0;
    const int channels = Channels;
    const int64_t n = RangeStop - RangeStart;
    const uint64_t dataBytes = uint64_t(std::max<int64_t>(n, 0)) * 2 * channels;
    TWaveHeader header = Header;
    header.RiffSize = uint32_t(dataBytes + 36);
    header.DataSize = uint32_t(dataBytes);
    const std::string temp = SaveTempName();
    try {
        if (dataBytes + 44 > UINT32_MAX) throw Exception(SystemErrorText(EFBIG));
        TargetStore =
            std::make_unique<TSampleStore>(temp, dataBytes + 44, true, EngineSettings.TempFolder);
        TargetStore->WriteHeader(header);
        TargetStore->CopyFrom(*Store, RangeStart * channels, 0, n * channels);
        TargetStore->Flush();
        TargetStore.reset();
        CommitSavedFile(temp);
    } catch (...) {
        TargetStore.reset();
        ::unlink(temp.c_str());
        throw;
    }
    Progress = 0;
}

void TDocument::BodySaveMP3() {
    const std::string temp = SaveTempName();
    bool complete = false;
    try {
        uint32_t chunk = 0;
        std::unique_ptr<TEncodedWriter> writer = Codecs.CreateMP3Writer(temp, chunk, EncoderConfig);
        // chunk 0: the encoder stream could not be opened (the writer has told the user).
        if (writer && chunk > 0) {
            const int channels = Channels;
            const int64_t total = (RangeStop - RangeStart) * channels;
            const int64_t fullChunks = total / chunk;
            const int64_t rest = total % chunk;
            std::vector<int16_t> buffer(chunk);
            const int64_t first = RangeStart * channels;
            bool failed = false;
            for (int64_t e = 0; e < fullChunks && !failed; ++e) {
                Progress = int(e * 100 / fullChunks);
                Store->ReadBlock(buffer.data(), first + e * chunk, first + e * chunk + chunk - 1);
                failed = writer->Write(buffer.data(), chunk * 2) < 0;
            }
            if (!failed) {
                const int64_t last = first + fullChunks * chunk;
                Store->ReadBlock(buffer.data(), last, last + rest - 1);
                failed = writer->Write(buffer.data(), uint32_t(rest * 2)) < 0;
            }
            complete = writer->Finish() && !failed;
        }
        writer.reset();
        if (complete) CommitSavedFile(temp);
    } catch (...) {
        ::unlink(temp.c_str());
        throw;
    }
    if (!complete) {
        ::unlink(temp.c_str());
        FailQuietly();
    }
}

} // namespace orvella
