#include "codecs/mp3maker.h"

#include "codecs/mp3format.h"
#include "engine/errors.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace orvella {

namespace {
const char* const ErrorCaption = "Error";
}

MP3writer::MP3writer(const std::string& fileName, uint32_t& samples, const TEncoderConfig& config,
                     TUserDialogs& dialogs)
    : FFileName(fileName)
    , FDialogs(dialogs) {
    samples = 0;
    if (::unlink(fileName.c_str()) != 0 && errno != ENOENT) RaiseLastOSError();
    FFile = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (FFile < 0) RaiseLastOSError();

    const BE_CONFIG be = ToBEConfig(config);
    FResult = beInitStream(&be, &FSamples, &FBufferSize, &FStream);
    if (FResult != BE_ERR_SUCCESSFUL) {
        FStream = nullptr;
        FSamples = 0;
        FFailed = true;
        FDialogs.ShowMessage("Error opening encoding stream " + std::to_string(FResult),
                             ErrorCaption, TMessageIcon::Error);
        return;
    }
    FBuffer.resize(FBufferSize);
    samples = FSamples;
}

MP3writer::~MP3writer() {
    Finish();
}

void MP3writer::CloseFile() {
    if (FFile >= 0) ::close(FFile);
    FFile = -1;
}

void MP3writer::CloseStream() {
    if (FStream) beCloseStream(FStream);
    FStream = nullptr;
}

bool MP3writer::WriteAll(const uint8_t* data, uint32_t count) {
    while (count > 0) {
        ssize_t n = ::write(FFile, data, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        count -= uint32_t(n);
    }
    return true;
}

int MP3writer::Write(const int16_t* values, uint32_t byteCount) {
    if (FFailed || FFinished) return -1;
    uint32_t produced = 0;
    FResult = beEncodeChunk(FStream, byteCount / 2, values, FBuffer.data(), &produced);
    if (FResult != BE_ERR_SUCCESSFUL) {
        FFailed = true;
        CloseFile();
        FBuffer = {};
        CloseStream();
        return -1;
    }
    if (!WriteAll(FBuffer.data(), produced)) {
        FFailed = true;
        CloseFile();
        FBuffer = {};
        CloseStream();
        FDialogs.ShowMessage("Data write error! " + std::to_string(FResult), ErrorCaption,
                             TMessageIcon::Error);
        return -1;
    }
    return int(produced);
}

bool MP3writer::Finish() {
    if (FFinished) return !FFailed;
    FFinished = true;
    if (FFailed) {
        CloseFile();
        CloseStream();
        return false;
    }
    uint32_t produced = 0;
    FResult = beDeinitStream(FStream, FBuffer.data(), &produced);
    const bool written = FResult == BE_ERR_SUCCESSFUL && WriteAll(FBuffer.data(), produced);
    CloseFile();
    FBuffer = {};
    if (written) beWriteInfoTag(FStream, FFileName.c_str());
    CloseStream();
    if (!written) {
        // A lost tail leaves a truncated file: reported like any other short write.
        FFailed = true;
        FDialogs.ShowMessage("Data write error! " + std::to_string(FResult), ErrorCaption,
                             TMessageIcon::Error);
    }
    return written;
}

std::unique_ptr<TEncodedWriter> CreateMP3Writer(const std::string& path, uint32_t& samplesPerChunk,
                                                const TEncoderConfig& config,
                                                TUserDialogs& dialogs) {
    return std::make_unique<MP3writer>(path, samplesPerChunk, config, dialogs);
}

} // namespace orvella
