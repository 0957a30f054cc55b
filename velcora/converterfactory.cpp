#include "velcora/converterfactory.h"

#include "velcora/downsampler.h"
#include "velcora/filterdesign.h"
#include "velcora/upsampler.h"

namespace velcora {

bool isRatioSupported(std::uint32_t srcRate, std::uint32_t dstRate) {
    if (srcRate == dstRate) return true;
    if (srcRate == 0 || dstRate == 0) return false;
    const std::uint32_t g = greatestCommonDivisor(srcRate, dstRate);
    const std::uint32_t slower = srcRate < dstRate ? srcRate : dstRate;
    const std::uint32_t faster = srcRate < dstRate ? dstRate : srcRate;
    const std::uint32_t r = slower / g;
    if (static_cast<std::uint64_t>(r) * faster >= (std::uint64_t{1} << 31)) return false;
    return oversamplingFactor(r) != 0;
}

namespace {
template <typename Converter>
std::unique_ptr<RateConverter> makeIfValid(const ConverterConfig& config) {
    auto converter = std::make_unique<Converter>(config);
    if (!converter->valid()) return nullptr;
    return converter;
}
} // namespace

std::unique_ptr<RateConverter> createConverter(const ConverterConfig& config) {
    if (config.srcRate <= 0 || config.dstRate <= 0 || config.channels <= 0) return nullptr;
    if (!isRatioSupported(static_cast<std::uint32_t>(config.srcRate),
                          static_cast<std::uint32_t>(config.dstRate)))
        return nullptr;
    if (config.srcRate < config.dstRate) return makeIfValid<Upsampler>(config);
    if (config.srcRate > config.dstRate) return makeIfValid<Downsampler>(config);
    return nullptr;
}

} // namespace velcora
