// Converter for a destination rate below the source rate.
//
// Stage one inserts K - 1 zeros after every input sample (rate Ff = K x Fs) and applies
// the long FFT filter whose stop band begins at Fd / 2, block by block with overlap-add,
// so nothing aliases. Stage two is a polyphase FIR from Ff down to Fd through the common
// rate Fp = lcm(Fs, Fd) that only removes the images of the zero insertion; when Fd
// divides Fs (K = 1) it is a plain decimation.
#pragma once

#include "velcora/filterdesign.h"
#include "velcora/polyphase.h"
#include "velcora/rateconverter.h"

namespace velcora {

class Downsampler : public BufferedRateConverter {
public:
    explicit Downsampler(const ConverterConfig& config);

    bool valid() const { return valid_; }

    int oversampling() const { return k_; }
    std::int64_t polyphaseRate() const { return fp_; }
    std::int64_t fftRate() const { return ff_; }
    int polyphaseLength() const { return poly_.length; }
    int phases() const { return poly_.phases; }
    int tapsPerPhase() const { return poly_.taps; }
    const PolyphaseFilter& polyphaseFilter() const { return poly_; }
    const FftFilter& fftFilter() const { return fft_; }
    int framesToDrop() const { return framesToDrop_; }
    std::int64_t blockNeed() const { return (half_ - insertionPhase_ - 1) / k_ + 1; }

protected:
    std::uint32_t process(const float* data, std::uint32_t count, bool final) override;
    std::uint64_t nextBlockValues() const override {
        return valid_ ? static_cast<std::uint64_t>(blockNeed()) * channels_ : 0;
    }

private:
    int filterChannel(int c, const float* input, std::int64_t firstTap);
    int decimateByTwo(int c, std::int64_t firstTap);

    bool valid_ = false;
    std::int64_t g_ = 0;
    int k_ = 0;
    std::int64_t ff_ = 0;
    std::int64_t fp_ = 0;
    FftFilter fft_;
    PolyphaseFilter poly_;
    FftTables tables_;
    // Decimation by 2 (K = 1, Fs = 2 Fd) reads only even stage-two values, since H is
    // even: they come from an inverse of half the length, and the odd ones are never set.
    // In that mode the stage-two buffer is kept in compact form: per channel the history
    // value at position 0 and the even tail values of the last block.
    bool evenOnly_ = false;
    FftTables halfTables_;
    AlignedArray<float> evenValues_;
    AlignedArray<float> evenTails_;    // per channel H / 2
    AlignedArray<float> evenHistory_;  // per channel 1
    AlignedArray<int> phaseOrder_;     // P entries: phase row of each output
    AlignedArray<int> inputStep_;      // P entries: stage-two positions to advance after it
    DownsamplerGroups groups_;         // the vector form of the lists, when used
    bool vectorInsertion_ = false;     // zero insertion in vectors (K > 1, one or two channels)
    AlignedArray<int> insertionOrder_; // its lane orders: [phase][vector][lane]
    AlignedArray<std::uint16_t> insertionKeep_; // its lanes that hold input: [phase][vector]
    AlignedArray<float> inputBuffer_;
    AlignedArray<float> blockOutput_;
    int outputFrames_ = 0;             // capacity of blockOutput_ in frames
    AlignedArray<float> fftBlocks_;    // per channel: M floats
    AlignedArray<float> stageBuffers_; // per channel: T + 1 history values, then H values
    int stageStride_ = 0;
    int half_ = 0;
    int insertionPhase_ = 0;
    std::int64_t outputPosition_ = 0; // Fp units from the first value of the stage-two buffer
    int cursor_ = 0;
    std::int64_t framesRead_ = 0;
    std::int64_t framesWritten_ = 0;
    int framesToDrop_ = 0;
};

} // namespace velcora
