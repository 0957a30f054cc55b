#include "codecs/wma_decoder.h"

#include "codecs/wavwriter.h"
#include "codecs/wmareader.h"
#include "codecs/wmasupport.h"

#include <algorithm>
#include <cmath>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace orvella {

namespace {

constexpr uint32_t SampleBufferSize = 0x80000;

bool FileExists(const std::string& fileName) {
    struct stat st {};
    return ::stat(fileName.c_str(), &st) == 0;
}

} // namespace

bool DecodeWMAFile(const std::string& sourceFile, const std::string& workFile, TProgress& progress,
                   TUserDialogs& dialogs) {
    if (!WmaDecodersPresent()) return false;

    double duration = 0; // whole seconds
    {
        TTagsData tags;
        if (FileExists(sourceFile)) ReadWMATags(sourceFile, tags, dialogs);
        // The decoders cannot decrypt: a protected file gives no sample, and is not decoded into
        // noise.
        if (tags.Protected) return false;
        duration = tags.Duration;
    }

    TWmaSampleReader helper;
    helper.Open(sourceFile);
    const TWaveFormat format = MakePCMFormat(helper.Channels(), helper.SampleRate(), 16);
    if (format.nSamplesPerSec == 0 || format.nChannels == 0)
        throw EMakerError("Can not open conversion stream. File format not supported", -1);

    std::vector<uint8_t> buffer(SampleBufferSize);
    TWavWriter writer(format, format);
    bool decoded = false;
    try {
        writer.Open(workFile);
        const int64_t fileSize = helper.FileSize();
        const uint8_t* data = nullptr;
        uint32_t size = 0;
        uint64_t time = 0; // 10 ms units
        while (helper.ReadSample(buffer.data(), SampleBufferSize, data, size, time) == 0) {
            // time / duration: hundredths of a second over seconds is percent.
            double percent = 0;
            if (duration > 0)
                percent = double(time) / duration;
            else if (fileSize > 0)
                percent =
                    double(std::max<int64_t>(helper.BytesRead(), 0)) * 100.0 / double(fileSize);
            progress = int(std::min(std::lrint(percent), 100L));
            if (size > 0) {
                writer.Write(data, size);
                decoded = true;
            }
            std::this_thread::yield();
        }
        writer.Close();
    } catch (...) {
        writer.Close();
        throw;
    }
    return decoded;
}

} // namespace orvella
