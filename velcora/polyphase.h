// Vector evaluation of the polyphase stages of both converters.
//
// Each output of a polyphase stage is a sum of T products taken in tap order; a vector lane
// holds one output (of one channel) and sums its taps in the same order with a separate
// multiply and add, so the vector code gives the scalar code's values bit for bit. The
// coefficients of the outputs that share a vector are laid out side by side when the
// converter is built, and their input values are moved into place from one window load per
// tap (or gathered where no window covers them).
//
// Thread rule: the tables are read-only after construction; one converter uses them.
#pragma once

#include "velcora/alignedarray.h"
#include "velcora/filterdesign.h"

#include <cstdint>

namespace velcora {

// The widest vector code the sums may use; the processor's by default, lower in tests.
enum class VectorLevel { Scalar, Avx2, Avx512 };
VectorLevel processorVectorLevel();

// The upsampler's stage one: each output advances the input by 0 or 1 frame, as its frame
// step list says. Groups of successive list positions fill one vector; the grouped list
// repeats the upsampler's list until it is a whole number of groups long.
struct UpsamplerGroups {
    int lanes = 0;   // values per vector; 0 when the scalar sums are used
    int outputs = 0; // outputs per group: lanes / channels
    int length = 0;  // list positions covered: the least common multiple of list and group
    int channels = 0;
    int taps = 0;
    AlignedArray<float> coefficients; // [group][tap][lane]
    AlignedArray<int> permute;        // [group][lane]: value of the window that lane reads
    AlignedArray<int> advance;        // [group]: frames from its first output to the next group's
};

// The groups for `channels` (1 or 2) interleaved channels, or lanes 0 when the processor, the
// channel count, the block size (a multiple of the group's outputs is needed) or the table size
// do not allow them.
UpsamplerGroups buildUpsamplerGroups(const PolyphaseFilter& filter, const int* phaseOrder,
                                     const int* frameStep, int listLength, int channels,
                                     int blockSize, VectorLevel level = processorVectorLevel());

// `outputs` (a multiple of groups.outputs) stage-one sums from interleaved `input`, written to
// channel c's block at blocks + c * blockStride. `cursor` is the position in the grouped list,
// a multiple of groups.outputs, and is advanced.
void upsamplerSums(const UpsamplerGroups& groups, int& cursor, const float* input, int outputs,
                   float* blocks, int blockStride);

// Frames past the last frame a block needs that upsamplerSums may load (and ignore).
constexpr int kUpsamplerReadAhead = 16;

// The downsampler's stage two: outputs advance through one channel's stage-two values by the
// input step list. A group of 8 successive outputs may start at any list position.
struct DownsamplerGroups {
    static constexpr int kOutputs = 8;
    bool used = false;
    bool windowed = false; // every group spans fewer than 32 values: one 32-value window per tap
    int phases = 0;
    int taps = 0;
    int readAhead = 0; // values past the last one a block reads that the sums may load
    AlignedArray<float> coefficients; // [start position][tap][output]
    AlignedArray<int> offsets;        // [start position][output]: value index from the first
    AlignedArray<int> advance;        // [start position]: values to the next group's first
    // Windowed only: the group at each start position and the one after it in sixteen lanes.
    AlignedArray<float> pairCoefficients; // [start position][tap][lane]
    AlignedArray<int> pairOffsets;        // [start position][lane]
};

// Not used (used false) below AVX2.
DownsamplerGroups buildDownsamplerGroups(const PolyphaseFilter& filter, const int* phaseOrder,
                                         const int* inputStep,
                                         VectorLevel level = processorVectorLevel());

// Stage-two sums from stage[t ..] of every output that reads below `limit`, written to
// out[0], out[stride], ...; advances t and cursor (a list position) past them and returns the
// outputs written. `stage` must be followed by groups.readAhead readable values past limit plus
// the taps.
int downsamplerSums(const DownsamplerGroups& groups, const float* stage, std::int64_t& t,
                    std::int64_t limit, int& cursor, float* out, int stride);

} // namespace velcora
