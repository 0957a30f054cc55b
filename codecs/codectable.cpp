#include "codecs/codectable.h"

#include "codecs/mp3dec.h"
#include "codecs/mp3writer.h"
#include "codecs/wav_decoder.h"
#include "codecs/wma_decoder.h"

extern "C" {
#include <libavutil/log.h>
}

namespace orvella {

TCodecServices DefaultCodecServices(TUserDialogs& dialogs) {
    // The decoders' own log lines would mix with the system's messages on stderr.
    av_log_set_level(AV_LOG_QUIET);
    TCodecServices services;
    services.Decoders = {
        {".mp3", DecodeMP3File, 2,
         "Sorry, decoder can not read valid data from file. Possible MPEG Layer 2 comression "
         "used."},
        {".wav",
         [](const std::string& source, const std::string& work, TProgress& progress) {
             return DecodeWAVFile(source, work, progress);
         },
         1, "Sorry, required codec not installed on your PC. Can not decode WAV file.",
         [](const std::string& source, const std::string& work, TProgress& progress,
            std::unique_ptr<TPeakBuilder>& peaks, TFilePrecision& precision) {
             TWavImportOptions options;
             options.Peaks = &peaks;
             options.Precision = &precision;
             return DecodeWAVFile(source, work, progress, options);
         }},
        {".wma",
         [&dialogs](const std::string& source, const std::string& work, TProgress& progress) {
             return DecodeWMAFile(source, work, progress, dialogs);
         },
         3, "Sorry, this file protected with DRM. You can not edit this file."},
    };
    services.CreateMP3Writer = [&dialogs](const std::string& path, uint32_t& samplesPerChunk,
                                          const TEncoderConfig& config) {
        return CreateMP3Writer(path, samplesPerChunk, config, dialogs);
    };
    return services;
}

} // namespace orvella
