#include "codecs/mp3dec.h"

#include "codecs/mpegaudioinfo.h"
#include "codecs/mpegframedecoder.h"
#include "codecs/wavwriter.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace orvella {

namespace {

constexpr size_t InputBufferSize = 0x4000;
constexpr int OutputBufferSize = 0x2000;

struct TFileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Releases the decoder on every way out of the import.
class TDecoderState {
public:
    TDecoderState() = default;
    ~TDecoderState() { ExitMpegDecoder(&State); }
    TDecoderState(const TDecoderState&) = delete;
    TDecoderState& operator=(const TDecoderState&) = delete;
    TMpegDecoderState State;
};

int Percent(uint64_t done, int64_t total) {
    if (total <= 0) return 0;
    return int((done * 100 + uint64_t(total) / 2) / uint64_t(total));
}

} // namespace

bool DecodeMP3File(const std::string& sourceFile, const std::string& workFile,
                   TProgress& progress) {
    TMpegAudioInfo mpeg;
    mpeg.ReadFromFile(sourceFile);
    const int64_t fileLength = mpeg.FileLength();
    const uint32_t rate = mpeg.SampleRate();
    const int64_t frames = mpeg.Frames();
    // Without a valid frame there is no format to write and nothing to decode.
    if (rate == 0 || frames <= 0) return false;

    const uint16_t channels = mpeg.ChannelModeID() == MPEG_CM_MONO ? 1 : 2;
    const TWaveFormat format = MakePCMFormat(channels, rate, 16);

    TDecoderState decoder;
    if ((InitMpegDecoder(&decoder.State) & 0xFF) == 0) return false;
    decoder.State.Rate = long(rate);
    decoder.State.Channels = channels;

    std::unique_ptr<std::FILE, TFileCloser> file(std::fopen(sourceFile.c_str(), "rb"));
    if (!file) return false;
    std::vector<uint8_t> input(InputBufferSize);
    std::vector<uint8_t> output(OutputBufferSize);

    TWavWriter writer(format, format);
    uint64_t decodedBytes = 0;
    try {
        writer.Open(workFile);
        if (std::fseek(file.get(), long(mpeg.AudioDataOffset()), SEEK_SET) != 0) {
            writer.Close();
            return false;
        }
        uint64_t bytesRead = 0;
        size_t got;
        do {
            int produced = 0;
            int result;
            do {
                got = std::fread(input.data(), 1, input.size(), file.get());
                bytesRead += got;
                result = DecodeMpegFrame(&decoder.State, input.data(), int(got), output.data(),
                                         OutputBufferSize, &produced);
            } while (result == MP3_NEED_MORE && got > 0);
            while (result == MP3_OK) {
                writer.Write(output.data(), uint32_t(produced));
                decodedBytes += uint32_t(produced);
                result = DecodeMpegFrame(&decoder.State, nullptr, 0, output.data(),
                                         OutputBufferSize, &produced);
            }
            // Error results are not final: the next block of input continues the stream.
            progress = Percent(bytesRead, fileLength);
        } while (got > 0);
        writer.Close();
    } catch (...) {
        writer.Close();
        throw;
    }
    return decodedBytes > 0;
}

} // namespace orvella
