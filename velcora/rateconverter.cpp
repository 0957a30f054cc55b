#include "velcora/rateconverter.h"

#include <cstring>

namespace velcora {

BufferedRateConverter::BufferedRateConverter(const ConverterConfig& config)
    : channels_(config.channels)
    , srcRate_(config.srcRate)
    , dstRate_(config.dstRate)
    , attenuation_(static_cast<double>(config.attenuation))
    , transitionWidth_(static_cast<double>(config.transitionWidth))
    , fftLength_(config.fftLength) {}

void BufferedRateConverter::feed(const float* data, std::uint32_t count) {
    if (input_.count() != 0) {
        // Only what completes the queued block is appended; that block is converted from
        // the queue and the following ones straight from the caller's values.
        const std::uint64_t need = nextBlockValues();
        if (need <= input_.count()) { // not after an earlier feed; kept general
            input_.append(data, count);
            drive(false);
            return;
        }
        if (input_.count() + static_cast<std::uint64_t>(count) < need) {
            input_.append(data, count);
            return;
        }
        const std::uint32_t topUp = static_cast<std::uint32_t>(need - input_.count());
        input_.append(data, topUp);
        data += topUp;
        count -= topUp;
        drive(false);
        if (input_.count() != 0) {
            input_.append(data, count);
            return;
        }
    }
    // Nothing queued: the blocks are converted straight from the caller's values and only
    // the rest is queued, which is what appending everything and driving would do.
    std::uint32_t total = 0;
    for (;;) {
        const std::uint32_t consumed = process(data + total, count - total, false);
        if (consumed == 0) break;
        total += consumed;
    }
    input_.append(data + total, count - total);
}

void BufferedRateConverter::flush() {
    drive(true);
}

double BufferedRateConverter::bufferedSeconds() const {
    const double channels = static_cast<double>(static_cast<std::uint32_t>(channels_));
    return static_cast<double>(output_.count()) /
               (channels * static_cast<double>(static_cast<std::uint32_t>(dstRate_))) +
           static_cast<double>(input_.count()) /
               (channels * static_cast<double>(static_cast<std::uint32_t>(srcRate_)));
}

void BufferedRateConverter::drive(bool final) {
    std::uint32_t total = 0;
    for (;;) {
        const std::uint32_t consumed =
            process(input_.data() + total, input_.count() - total, final);
        if (consumed == 0) break;
        total += consumed;
    }
    input_.consume(total);
}

void BufferedRateConverter::emitBlock(const float* blockOutput, int frames, bool final,
                                      std::int64_t framesRead, std::int64_t& framesWritten,
                                      int& framesToDrop) {
    std::int64_t start = 0;
    std::int64_t emit = 0;
    if (framesToDrop >= frames) {
        framesToDrop -= frames;
    } else {
        start = framesToDrop;
        emit = frames - start;
        framesToDrop = 0;
    }
    if (final) {
        std::int64_t limit = framesRead * dstRate_ / srcRate_ + 2 - framesWritten;
        if (limit < 0) limit = 0;
        if (emit > limit) emit = limit;
    }
    if (emit <= 0) return;
    const std::uint32_t values = static_cast<std::uint32_t>(emit * channels_);
    float* at = output_.appendSpace(values);
    std::memcpy(at, blockOutput + start * channels_,
                static_cast<std::size_t>(values) * sizeof(float));
    framesWritten += emit;
}

} // namespace velcora
