// Converter for a destination rate above the source rate.
//
// Stage one is a polyphase FIR from the source rate Fs to Ff = K x Fd through the common
// rate Fp = lcm(Fs, Fd), evaluating only the taps that meet real input samples; its wide
// transition band lies between Fs / 2 and Ff / 2. Stage two applies the long FFT filter
// with cutoff Fs / 2 at Ff, block by block with overlap-add, and keeps every K-th value.
#pragma once

#include "velcora/filterdesign.h"
#include "velcora/polyphase.h"
#include "velcora/rateconverter.h"

namespace velcora {

class Upsampler : public BufferedRateConverter {
public:
    explicit Upsampler(const ConverterConfig& config);

    // False when the rate pair or the filter parameters allow no design.
    bool valid() const { return valid_; }

    int oversampling() const { return k_; }
    std::int64_t polyphaseRate() const { return fp_; }
    std::int64_t fftRate() const { return ff_; }
    int polyphaseLength() const { return poly_.length; }
    int phases() const { return poly_.phases; }
    int tapsPerPhase() const { return poly_.taps; }
    const PolyphaseFilter& polyphaseFilter() const { return poly_; }
    const FftFilter& fftFilter() const { return fft_; }
    int framesHeld() const { return framesHeld_; }
    int framesToDrop() const { return framesToDrop_; }
    // Input frames the next block needs.
    std::int64_t blockNeed() const;

protected:
    std::uint32_t process(const float* data, std::uint32_t count, bool final) override;
    std::uint64_t nextBlockValues() const override {
        return valid_ ? static_cast<std::uint64_t>(blockNeed()) * channels_ : 0;
    }

private:
    void stageOne(int blockSize);
    int stageTwo(int channel);
    void filterBlock(int channel);

    bool valid_ = false;
    std::int64_t g_ = 0;
    int k_ = 0;
    std::int64_t fp_ = 0;
    std::int64_t ff_ = 0;
    PolyphaseFilter poly_;
    FftFilter fft_;
    FftTables tables_;
    // K = 2 keeps only the even stage-two values (H is even, so every block starts at 0):
    // they come from an inverse of half the length.
    bool evenOnly_ = false;
    FftTables halfTables_;
    AlignedArray<float> evenValues_;
    bool vectorDecimation_ = false; // mono or stereo blocks decimated in one vector pass
    AlignedArray<int> phaseOrder_;  // P x K entries: phase row of each stage-one output
    AlignedArray<int> frameStep_;   // P x K entries: 1 when the input advances a frame after it
    // The vector form of the lists (lanes 0: the scalar sums are used).
    UpsamplerGroups groups_;
    int listLength_ = 0;
    AlignedArray<float> inputBuffer_; // interleaved frames at Fs
    int inputFrames_ = 0;             // capacity of inputBuffer_ in frames
    AlignedArray<float> blockOutput_; // interleaved frames at Fd
    AlignedArray<float> tails_;       // per channel: previous block's overlap at Fd
    AlignedArray<float> fftBlocks_;   // per channel: M floats
    int half_ = 0;                    // H = M / 2
    int tailStride_ = 0;
    std::int64_t readPosition_ = 0; // Fp units from the first frame of the input buffer
    // Position in the phase lists; with vector groups, in the grouped list (its length a
    // multiple of the lists'), which gives the same phases.
    int cursor_ = 0;
    std::int64_t framesRead_ = 0;
    std::int64_t framesWritten_ = 0;
    int decimationOffset_ = 0;
    int framesHeld_ = 0;
    int framesToDrop_ = 0;
};

} // namespace velcora
