// The exported C interface: one library-global conversion, converted from the input
// format to floats, mapped to the destination channel count, rate-converted when the rates
// differ, and converted to the output format.
#include "velcora/velcora.h"

#include "velcora/alignedarray.h"
#include "velcora/channelmap.h"
#include "velcora/converterfactory.h"
#include "velcora/sampleformat.h"

#include <memory>

namespace {

using namespace velcora;

// Zero when the library is loaded; see the API conventions on threads.
struct Conversion {
    std::unique_ptr<RateConverter> converter; // only while srcRate != dstRate
    std::int32_t srcRate = 0;
    std::int32_t dstRate = 0;
    std::uint32_t srcChannels = 0;
    std::uint32_t dstChannels = 0;
    std::uint32_t inFormat = 0;
    std::uint32_t outFormat = 0;
    std::uint32_t inWidth = 0; // 0 until the first DSP_init
    std::uint32_t outWidth = 0;
    AlignedArray<float> work; // per-call float buffer, reused while its size allows
};

Conversion state;

bool ratesDiffer() {
    return state.srcRate != state.dstRate;
}

// Writes n floats in the output format; returns the bytes written.
std::uint32_t writeOutput(const float* values, std::uint32_t n, void* output) {
    if (n == 0 || output == nullptr || !isSampleFormat(state.outFormat)) return 0;
    floatToSamples(state.outFormat, values, n, static_cast<std::uint8_t*>(output));
    return n * state.outWidth;
}

} // namespace

extern "C" void DSP_init(int32_t srcRate, int32_t dstRate, uint32_t srcChannels,
                         uint32_t dstChannels, uint32_t inFormat, uint32_t outFormat,
                         int32_t attenuation, int32_t transitionWidth, int32_t fftLength) {
    state.converter.reset(); // a conversion never ended is released first
    if (srcRate != dstRate) {
        const ConverterConfig config{
            srcRate,     dstRate,         static_cast<std::int32_t>(dstChannels),
            attenuation, transitionWidth, fftLength};
        state.converter = createConverter(config);
    }
    state.srcRate = srcRate;
    state.dstRate = dstRate;
    state.srcChannels = srcChannels;
    state.dstChannels = dstChannels;
    state.inFormat = inFormat;
    state.outFormat = outFormat;
    state.inWidth = sampleWidth(inFormat);
    state.outWidth = sampleWidth(outFormat);
}

extern "C" void DSP_process(const void* input, uint32_t inputBytes, void* output,
                            uint32_t* outputBytes) {
    if (outputBytes == nullptr) return;
    *outputBytes = 0;
    if (state.inWidth == 0 || (ratesDiffer() && !state.converter)) return;
    std::size_t n = input == nullptr ? 0 : inputBytes / state.inWidth;

    state.work.ensure(mappedCapacity(n, state.srcChannels, state.dstChannels) + 1);
    float* work = state.work.data();
    samplesToFloat(state.inFormat, static_cast<const std::uint8_t*>(input), n, work);
    n = mapChannels(work, n, state.srcChannels, state.dstChannels);

    if (!ratesDiffer()) {
        *outputBytes = writeOutput(work, static_cast<std::uint32_t>(n), output);
        return;
    }
    RateConverter& converter = *state.converter;
    converter.feed(work, static_cast<std::uint32_t>(n));
    *outputBytes = writeOutput(converter.outputData(), converter.outputCount(), output);
    converter.clearOutput();
}

extern "C" void DSP_exit(void* output, uint32_t* outputBytes) {
    std::uint32_t bytes = 0;
    if (ratesDiffer() && state.converter) {
        state.converter->flush();
        bytes = writeOutput(state.converter->outputData(), state.converter->outputCount(), output);
    }
    state.converter.reset();
    state.work.reset(0);
    if (outputBytes != nullptr) *outputBytes = bytes;
}
