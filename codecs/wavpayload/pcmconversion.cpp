#include "codecs/wavpayload/pcmconversion.h"

#include "codecs/wavpayload/pcmconvert.h"

#include <algorithm>

namespace orvella {

std::unique_ptr<TPcmConversion> TPcmConversion::Open(const TWaveFormat& source,
                                                     const TWaveFormat& target) {
    if (source.wFormatTag != WAVE_FORMAT_PCM || target.wFormatTag != WAVE_FORMAT_PCM)
        return nullptr;
    if (source.nChannels == 0 || source.nSamplesPerSec == 0 || source.wBitsPerSample == 0)
        return nullptr;
    if (!IsConvertibleIntegerWidth(source.wBitsPerSample)) return nullptr;
    if (source.nBlockAlign != source.nChannels * (source.wBitsPerSample / 8)) return nullptr;
    if (target.wBitsPerSample != 16 || target.nChannels != source.nChannels ||
        target.nSamplesPerSec != source.nSamplesPerSec ||
        target.nBlockAlign != target.nChannels * 2)
        return nullptr;
    return std::unique_ptr<TPcmConversion>(
        new TPcmConversion(source.nChannels, source.wBitsPerSample));
}

uint64_t TPcmConversion::DestinationSize(uint64_t sourceBytes) const {
    const uint64_t sourceBlock = uint64_t(Channels) * (SourceBits / 8);
    return sourceBytes / sourceBlock * Channels * 2;
}

void TPcmConversion::Convert(const uint8_t* source, uint32_t sourceLength, uint8_t* dest,
                             uint32_t destLength, uint32_t& sourceUsed, uint32_t& destUsed) const {
    const uint32_t sourceBlock = uint32_t(Channels) * (SourceBits / 8);
    const uint32_t destBlock = uint32_t(Channels) * 2;
    const uint32_t frames = std::min(sourceLength / sourceBlock, destLength / destBlock);
    ConvertIntegerTo16(source, SourceBits, size_t(frames) * Channels,
                       reinterpret_cast<int16_t*>(dest));
    sourceUsed = frames * sourceBlock;
    destUsed = frames * destBlock;
}

uint32_t AcmFormatSize(uint16_t formatTag) {
    return formatTag == WAVE_FORMAT_PCM ? 16 : 0;
}

} // namespace orvella
