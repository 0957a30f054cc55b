// The converter interface and the block-buffering frame both converters share.
// All samples are floats interleaved by channel; counts are float values, not frames.
// Thread rule: a converter is used by one caller at a time.
#pragma once

#include "velcora/samplequeue.h"

#include <cstdint>

namespace velcora {

struct ConverterConfig {
    std::int32_t srcRate;         // Hz
    std::int32_t dstRate;         // Hz
    std::int32_t channels;        // values per frame of the float stream
    std::int32_t attenuation;     // stop-band attenuation of every filter, dB
    std::int32_t transitionWidth; // largest transition band of the FFT filter, Hz
    std::int32_t fftLength;       // starting length of the FFT filter, taps
};

class RateConverter {
public:
    virtual ~RateConverter() = default;
    // Appends input values and converts every block they complete.
    virtual void feed(const float* data, std::uint32_t count) = 0;
    // Converts everything still held as the end of the stream.
    virtual void flush() = 0;
    virtual std::uint32_t outputCount() const = 0;
    // Valid until the next feed, flush, clearOutput or destruction.
    virtual const float* outputData() const = 0;
    // Discards the waiting output; its storage is kept for the next blocks.
    virtual void clearOutput() = 0;
    // Duration of the audio held in the input and output queues, in seconds.
    virtual double bufferedSeconds() const = 0;
};

// Queues the input, hands it to `process` one block at a time and collects the output.
class BufferedRateConverter : public RateConverter {
public:
    explicit BufferedRateConverter(const ConverterConfig& config);

    void feed(const float* data, std::uint32_t count) override;
    void flush() override;
    std::uint32_t outputCount() const override { return output_.count(); }
    const float* outputData() const override { return output_.data(); }
    void clearOutput() override { output_.clear(); }
    double bufferedSeconds() const override;

    // Runs `process` over the queued input until a call consumes nothing, then removes
    // what was consumed from the front of the input queue.
    void drive(bool final);

protected:
    // Converts one block from `count` available values starting at `data` and appends its
    // output to output_. Not final: returns 0 and changes nothing when count is below the
    // block's need. Final: takes every whole frame offered (up to one block), pads with
    // zero frames and limits the output to the end of the stream. Returns values consumed.
    virtual std::uint32_t process(const float* data, std::uint32_t count, bool final) = 0;

    // Values the next block needs before `process` converts it (not final).
    virtual std::uint64_t nextBlockValues() const = 0;

    // Appends a block's output frames to the output queue after the start-up delay:
    // framesToDrop is used up first; in final mode the stream stops at
    // floor(framesRead x dstRate / srcRate) + 2 frames in all.
    void emitBlock(const float* blockOutput, int frames, bool final, std::int64_t framesRead,
                   std::int64_t& framesWritten, int& framesToDrop);

    SampleQueue input_;
    SampleQueue output_;
    std::int32_t channels_;
    std::int32_t srcRate_;
    std::int32_t dstRate_;
    double attenuation_;
    double transitionWidth_;
    std::int32_t fftLength_;
};

} // namespace velcora
