#include "codecs/mp3format.h"

#include <algorithm>
#include <cstring>

namespace orvella {

namespace {

const std::vector<int> HighRates = {320, 256, 224, 192, 160, 128, 112, 96, 80, 64, 56, 48, 40, 32};
const std::vector<int> MiddleRates = {160, 144, 128, 112, 96, 80, 64, 56, 48, 40, 32, 24, 16, 8};
const std::vector<int> LowRates = {128, 112, 96, 80, 64, 56, 48, 40, 32, 24, 16, 8};

const std::vector<int>* RowFor(uint32_t sampleRate) {
    switch (sampleRate) {
    case 32000:
    case 44100:
    case 48000:
        return &HighRates;
    case 16000:
    case 22050:
        return &MiddleRates;
    case 8000:
    case 11025:
        return &LowRates;
    default:
        return nullptr;
    }
}

} // namespace

std::vector<int> BitrateChoices(uint32_t sampleRate) {
    const std::vector<int>* row = RowFor(sampleRate);
    return row ? *row : std::vector<int>{};
}

uint32_t BitrateAt(uint32_t sampleRate, int position) {
    const std::vector<int>* row = RowFor(sampleRate);
    if (row == nullptr) return 128;
    return uint32_t((*row)[size_t(std::clamp(position, 0, int(row->size()) - 1))]);
}

TEncoderRecord MakeEncoderConfig(const TMP3Settings& settings, uint32_t sampleRate,
                                 uint16_t channels) {
    TEncoderRecord c;
    std::memset(&c, 0, sizeof c);
    const bool vbr = settings.Mode == TMP3Settings::VBR;
    const bool abr = settings.Mode == TMP3Settings::ABR;
    c.dwConfig = EncoderRecordLame;
    c.dwStructVersion = 1;
    c.dwStructSize = 331;
    c.dwSampleRate = sampleRate;
    c.dwReSampleRate = 0;
    c.nMode = channels == 1 ? BE_MP3_MODE_MONO : BE_MP3_MODE_STEREO;
    c.dwBitrate = BitrateAt(sampleRate, settings.Bitrate);
    c.dwMaxBitrate = BitrateAt(sampleRate, settings.MaxBitrate);
    c.nPreset = vbr ? LQP_NOPRESET : abr ? LQP_ABR : LQP_CBR;
    c.dwMpegVersion = sampleRate > 31999 ? MPEG1 : MPEG2;
    c.dwPsyModel = 0;
    c.dwEmphasis = 0;
    c.bPrivate = 0;
    c.bCRC = settings.CRC ? BE_TRUE : 0;
    c.bCopyright = 0;
    c.bOriginal = BE_TRUE;
    c.bWriteVBRHeader = vbr ? BE_TRUE : 0;
    c.bEnableVBR = vbr || abr ? BE_TRUE : 0;
    c.nVBRQuality = 8 - std::clamp(settings.Quality, 0, 8);
    c.dwVbrAbr_bps = abr ? BitrateAt(sampleRate, settings.AvgBitrate) * 1000 : 0;
    c.nVbrMethod = vbr ? VBR_METHOD_DEFAULT : abr ? VBR_METHOD_ABR : VBR_METHOD_NONE;
    c.bNoRes = 0;
    c.bStrictIso = 0;
    c.nQuality = 5;
    return c;
}

TEncoderConfig FillEncoderConfig(const TMP3Settings& settings, uint32_t sampleRate,
                                 uint16_t channels) {
    const TEncoderRecord c = MakeEncoderConfig(settings, sampleRate, channels);
    TEncoderConfig record;
    static_assert(sizeof c == std::tuple_size_v<TEncoderConfig>);
    std::memcpy(record.data(), &c, sizeof c);
    return record;
}

TEncoderRecord ToEncoderRecord(const TEncoderConfig& config) {
    TEncoderRecord c;
    std::memcpy(&c, config.data(), sizeof c);
    return c;
}

} // namespace orvella
