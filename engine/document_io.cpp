// Loading, the empty New document and saving (WAV and MP3).

#include "engine/document.h"

#include "engine/errors.h"
#include "engine/pathnames.h"
#include "engine/posixfile.h"
#include "engine/samplereducer.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <type_traits>
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
    TFilePrecision precision = TFilePrecision::Pcm16;
    if (row) {
        SourceKind = row->SourceKind;
        decoded = row->DecodeWithPeaks
                      ? row->DecodeWithPeaks(FileName, WorkFileName, Progress, peaks, precision)
                      : row->Decode(FileName, WorkFileName, Progress);
    }
    SourcePrecision = precision;
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
    SourcePrecision = TFilePrecision::Pcm16;
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
    SavingPrecision = SavedPrecision();
    RangeStart = 0;
    RangeStop = Frames;
    return StartSave();
}

bool TDocument::SaveRange(const std::string& path, int64_t start, int64_t stop,
                          std::optional<TFilePrecision> precision) {
    if (!CanStartChange()) return false;
    SaveFileName = path;
    SavingDocument = false;
    SavingPrecision = SavedPrecision(precision);
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

namespace {

const char* const SaveCaption = "Save";

// The bits per value of a WAV file of precision.
constexpr int BitsOf(TFilePrecision precision) {
    return precision == TFilePrecision::Pcm16 ? 16 : precision == TFilePrecision::Pcm24 ? 24 : 32;
}

// The header of a WAV file of dataBytes in precision: canonical 44 bytes, integer PCM or IEEE
// float. Past what RIFF's 32-bit sizes hold the file is RF64: the sizes read 0xFFFFFFFF and a
// ds64 chunk before the format holds them in 64 bits.
std::vector<uint8_t> FileHeader(const TWaveHeader& document, TFilePrecision precision,
                                uint64_t dataBytes) {
    const bool isFloat = precision == TFilePrecision::Float32;
    TWaveHeader header =
        MakeWorkHeader(document.Channels, document.SamplesPerSec, dataBytes,
                       isFloat ? TSampleFormat::Float32 : TSampleFormat::Int16);
    const uint16_t bits = uint16_t(BitsOf(precision));
    header.BitsPerSample = bits;
    header.BlockAlign = uint16_t(document.Channels * bits / 8);
    header.AvgBytesPerSec = header.BlockAlign * document.SamplesPerSec;
    const auto* bytes = reinterpret_cast<const uint8_t*>(&header);
    if (header.RiffSize != SizeToEndOfFile) return {bytes, bytes + sizeof header};
    std::vector<uint8_t> rf64;
    auto put = [&rf64](uint64_t v, int n) {
        for (int k = 0; k < n; ++k) rf64.push_back(uint8_t(v >> (8 * k)));
    };
    auto tag = [&rf64](const char* id) { rf64.insert(rf64.end(), id, id + 4); };
    tag("RF64");
    put(SizeToEndOfFile, 4);
    tag("WAVE");
    tag("ds64");
    put(28, 4);
    put(dataBytes + 72, 8); // the RIFF size: the file less its first 8 bytes
    put(dataBytes, 8);
    put(dataBytes / header.BlockAlign, 8); // frames
    put(0, 4);                             // no table of other chunk sizes
    // "fmt " and "data" as in the canonical header, the data size reading 0xFFFFFFFF.
    rf64.insert(rf64.end(), bytes + 12, bytes + sizeof header);
    return rf64;
}


// Writes value as a little-endian integer of bytes bytes at out.
void PutInteger(uint8_t* out, int32_t value, int bytes) {
    for (int b = 0; b < bytes; ++b) out[b] = uint8_t(uint32_t(value) >> (8 * b));
}

} // namespace

TFilePrecision TDocument::SavedPrecision(std::optional<TFilePrecision> chosen) const {
    TFilePrecision precision = chosen.value_or(SavePrecision.value_or(SourcePrecision.load()));
    // A float document holds single precision: a wider source is written back as that.
    if (precision == TFilePrecision::Float64) precision = TFilePrecision::Float32;
    return precision;
}

void TDocument::BodySaveWAV() {
    Progress = 0;
    ClippedSamples = 0;
    const int channels = Channels;
    const int64_t n = std::max<int64_t>(RangeStop - RangeStart, 0);
    const TFilePrecision precision = SavingPrecision;
    const uint64_t dataBytes = uint64_t(n) * channels * (BitsOf(precision) / 8);
    const std::vector<uint8_t> header = FileHeader(Header, precision, dataBytes);
    const std::string temp = SaveTempName();
    try {
        // The document's own values in a canonical file: a copy of the work file's bytes.
        const bool own = precision == (IsFloat() ? TFilePrecision::Float32 : TFilePrecision::Pcm16);
        if (own && header.size() == sizeof(TWaveHeader)) {
            TargetStore = std::make_unique<TSampleStore>(temp, dataBytes + 44, true,
                                                         EngineSettings.TempFolder);
            TWaveHeader canonical;
            std::memcpy(&canonical, header.data(), sizeof canonical);
            TargetStore->WriteHeader(canonical);
            TargetStore->CopyFrom(*Store, RangeStart * channels, 0, n * channels);
            TargetStore->Flush();
            TargetStore.reset();
        } else {
            WriteConverted(temp, header, precision, RangeStart * channels, n * channels);
        }
        CommitSavedFile(temp);
    } catch (...) {
        TargetStore.reset();
        ::unlink(temp.c_str());
        throw;
    }
    // The file is saved: the clipping is news, not a failure.
    if (ClippedSamples > 0)
        UserDialogs.ShowMessage(ClippedSamples == 1
                                    ? std::string("1 sample was beyond full scale and was clipped.")
                                    : std::to_string(ClippedSamples) +
                                          " samples were beyond full scale and were clipped.",
                                SaveCaption, TMessageIcon::Information);
    Progress = 0;
}

void TDocument::WriteConverted(const std::string& path, const std::vector<uint8_t>& header,
                               TFilePrecision precision, int64_t first, int64_t count) {
    TFileDescriptor file = TFileDescriptor::OpenEmpty(path, O_WRONLY, 0600);
    if (!file.IsOpen()) RaiseLastOSError();
    if (!WriteFully(file.Get(), header.data(), header.size(), 0)) RaiseFileError(errno);
    const int bits = BitsOf(precision);
    const int bytes = bits / 8;
    TSampleReducer reducer(bits, DitherOn.load());
    std::vector<uint8_t> out;
    int64_t offset = int64_t(header.size());
    auto put = [&](const auto* values, uint32_t n, int64_t i) {
        out.resize(size_t(n) * bytes);
        for (uint32_t k = 0; k < n; ++k) {
            const auto v = values[k];
            if constexpr (std::is_same_v<std::decay_t<decltype(v)>, float>) {
                if (precision == TFilePrecision::Float32)
                    std::memcpy(&out[size_t(k) * 4], &v, 4);
                else
                    PutInteger(&out[size_t(k) * bytes], reducer.Reduce(v), bytes);
            } else if (precision == TFilePrecision::Float32) {
                const float f = float(v) / 32768.0f;
                std::memcpy(&out[size_t(k) * 4], &f, 4);
            } else {
                // 16-bit values widen exactly: the top bits of the wider integer.
                PutInteger(&out[size_t(k) * bytes], int32_t(v) * (1 << (bits - 16)), bytes);
            }
        }
        if (!WriteFully(file.Get(), out.data(), out.size(), offset)) RaiseFileError(errno);
        offset += int64_t(out.size());
        Progress = int((i - first + n) * 100 / std::max<int64_t>(count, 1));
    };
    if (IsFloat())
        Store->VisitRead<float>(first, count, put);
    else
        Store->VisitRead<int16_t>(first, count, put);
    ClippedSamples = reducer.Clipped();
    if (::fsync(file.Get()) != 0) RaiseFileError(errno);
    if (!file.Close()) RaiseFileError(errno);
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
            std::vector<int16_t> buffer(IsFloat() ? 0 : chunk);
            std::vector<float> floats(IsFloat() ? chunk : 0);
            // A float document's values go to the encoder as they are.
            auto encode = [&](int64_t from, int64_t count) {
                if (IsFloat()) {
                    Store->ReadBlock(floats.data(), from, from + count - 1);
                    return writer->WriteFloats(floats.data(), uint32_t(count));
                }
                Store->ReadBlock(buffer.data(), from, from + count - 1);
                return writer->Write(buffer.data(), uint32_t(count * 2));
            };
            const int64_t first = RangeStart * channels;
            bool failed = false;
            for (int64_t e = 0; e < fullChunks && !failed; ++e) {
                Progress = int(e * 100 / fullChunks);
                failed = encode(first + e * chunk, chunk) < 0;
            }
            if (!failed) failed = encode(first + fullChunks * chunk, rest) < 0;
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
