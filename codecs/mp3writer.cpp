#include "codecs/mp3writer.h"

#include "codecs/mp3format.h"
#include "engine/errors.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace orvella {

namespace {
const char* const ErrorCaption = "Error";
}

TMp3Writer::TMp3Writer(const std::string& fileName, uint32_t& samples, const TEncoderConfig& config,
                       TUserDialogs& dialogs)
    : FFileName(fileName)
    , FDialogs(dialogs) {
    samples = 0;
    if (::unlink(fileName.c_str()) != 0 && errno != ENOENT) RaiseLastOSError();
    FFile = TFileDescriptor::Open(fileName, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!FFile.IsOpen()) RaiseLastOSError();

    const TEncoderRecord be = ToEncoderRecord(config);
    FResult = OpenEncoderStream(&be, &FSamples, &FBufferSize, &FStream);
    if (FResult != EncoderOk) {
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

TMp3Writer::~TMp3Writer() {
    Finish();
}

void TMp3Writer::CloseFile() {
    FFile.Reset();
}

void TMp3Writer::CloseStream() {
    if (FStream) CloseEncoderStream(FStream);
    FStream = nullptr;
}

int TMp3Writer::Write(const int16_t* values, uint32_t byteCount) {
    if (FFailed || FFinished) return -1;
    uint32_t produced = 0;
    FResult = EncodeChunk(FStream, byteCount / 2, values, FBuffer.data(), &produced);
    return Deliver(produced);
}

int TMp3Writer::WriteFloats(const float* values, uint32_t count) {
    if (FFailed || FFinished) return -1;
    uint32_t produced = 0;
    FResult = EncodeFloatChunk(FStream, count, values, FBuffer.data(), &produced);
    return Deliver(produced);
}

int TMp3Writer::Deliver(uint32_t produced) {
    if (FResult != EncoderOk) {
        FFailed = true;
        CloseFile();
        FBuffer = {};
        CloseStream();
        return -1;
    }
    if (!WriteFully(FFile.Get(), FBuffer.data(), produced)) {
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

bool TMp3Writer::Finish() {
    if (FFinished) return !FFailed;
    FFinished = true;
    if (FFailed) {
        CloseFile();
        CloseStream();
        return false;
    }
    uint32_t produced = 0;
    FResult = FlushEncoderStream(FStream, FBuffer.data(), &produced);
    bool written = FResult == EncoderOk && WriteFully(FFile.Get(), FBuffer.data(), produced);
    // A close that fails (a full quota on a network volume) has lost bytes already written.
    if (!FFile.Close()) written = false;
    FBuffer = {};
    if (written) WriteInfoTag(FStream, FFileName.c_str());
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
    return std::make_unique<TMp3Writer>(path, samplesPerChunk, config, dialogs);
}

} // namespace orvella
