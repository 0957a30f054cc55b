#include "velcora/polyphase.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace velcora {
namespace {

// The vector levels this processor runs, the widest first.
std::vector<VectorLevel> vectorLevels() {
    std::vector<VectorLevel> levels;
    if (processorVectorLevel() == VectorLevel::Avx512) levels.push_back(VectorLevel::Avx512);
    if (processorVectorLevel() != VectorLevel::Scalar) levels.push_back(VectorLevel::Avx2);
    return levels;
}

const char* levelName(VectorLevel level) {
    return level == VectorLevel::Avx512 ? "AVX-512" : "AVX2";
}

PolyphaseFilter randomFilter(int phases, int taps, std::mt19937& rng) {
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    PolyphaseFilter f;
    f.phases = phases;
    f.taps = taps;
    f.length = phases * taps - 1;
    f.table.reset(static_cast<std::size_t>(phases) * taps);
    for (std::size_t i = 0; i < f.table.size(); ++i)
        f.table[i] = dist(rng);
    return f;
}

// One output as the converters' scalar loops compute it: products added in tap order.
float tapSum(const float* row, const float* x, int taps, int stride) {
    float acc = 0.0f;
    for (int t = 0; t < taps; ++t)
        acc += row[t] * x[t * stride];
    return acc;
}

struct UpCase {
    int listLength, phases, taps, channels;
};

// Random phase lists and frame steps of several lengths (the grouped list repeats them) and
// tap counts (fixed and general kernels): every output equals the scalar sum bit for bit, over
// several blocks so that the cursor runs around the grouped list.
TEST(PolyphaseSums, UpsamplerVectorsGiveTheScalarSums) {
    const UpCase cases[] = {{2, 2, 13, 1},    {2, 2, 13, 2},    {480, 160, 6, 1},
                            {480, 160, 6, 2}, {882, 441, 3, 1}, {882, 441, 3, 2},
                            {3, 3, 5, 1},     {7, 5, 9, 2},     {1, 1, 7, 1}};
    const int block = 64;
    for (VectorLevel level : vectorLevels()) {
        for (const UpCase& c : cases) {
            SCOPED_TRACE(testing::Message() << levelName(level) << " list " << c.listLength
                                            << " taps " << c.taps << " channels " << c.channels);
            std::mt19937 rng(c.listLength * 31 + c.taps);
            const PolyphaseFilter filter = randomFilter(c.phases, c.taps, rng);
            std::vector<int> order(c.listLength), step(c.listLength);
            for (int i = 0; i < c.listLength; ++i) {
                order[i] = static_cast<int>(rng() % c.phases);
                step[i] = static_cast<int>(rng() % 2);
            }
            const UpsamplerGroups groups = buildUpsamplerGroups(
                filter, order.data(), step.data(), c.listLength, c.channels, block, level);
            ASSERT_NE(groups.lanes, 0);
            std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
            std::vector<float> input((block + c.taps + kUpsamplerReadAhead) * c.channels);
            for (float& v : input)
                v = dist(rng);
            int cursor = 0;
            long position = 0; // in the upsampler's own list
            for (int b = 0; b < 5; ++b) {
                std::vector<float> blocks(2 * block, 0.0f);
                // Each block starts on the first frame, as the upsampler's blocks do after it
                // moves its input down.
                upsamplerSums(groups, cursor, input.data(), block, blocks.data(), block);
                int frame = 0;
                for (int p = 0; p < block; ++p, ++position) {
                    const long i = position % c.listLength;
                    for (int ch = 0; ch < c.channels; ++ch)
                        ASSERT_EQ(blocks[ch * block + p],
                                  tapSum(filter.row(order[i]),
                                         input.data() + frame * c.channels + ch, c.taps,
                                         c.channels))
                            << "block " << b << " output " << p << " channel " << ch;
                    frame += step[i];
                }
            }
        }
    }
}

struct DownCase {
    int phases, taps, maxStep, stride;
};

// Random phase lists and input steps, with steps small enough for the windowed form and large
// enough for the gathered one; limits that end blocks inside a group. Outputs, their count, the
// position and the cursor after the block equal the scalar loop's.
TEST(PolyphaseSums, DownsamplerVectorsGiveTheScalarSums) {
    const DownCase cases[] = {{49, 19, 4, 1}, {49, 19, 4, 2}, {147, 19, 3, 1}, {5, 13, 7, 2},
                              {3, 7, 2, 1},   {11, 6, 9, 1},  {49, 19, 12, 2}};
    for (VectorLevel level : vectorLevels()) {
        for (const DownCase& c : cases) {
            SCOPED_TRACE(testing::Message()
                         << levelName(level) << " phases " << c.phases << " taps " << c.taps
                         << " steps up to " << c.maxStep << " stride " << c.stride);
            std::mt19937 rng(c.phases * 7 + c.maxStep);
            const PolyphaseFilter filter = randomFilter(c.phases, c.taps, rng);
            std::vector<int> order(c.phases), step(c.phases);
            for (int i = 0; i < c.phases; ++i) {
                order[i] = static_cast<int>(rng() % c.phases);
                step[i] = 1 + static_cast<int>(rng() % c.maxStep);
            }
            const DownsamplerGroups groups =
                buildDownsamplerGroups(filter, order.data(), step.data(), level);
            ASSERT_TRUE(groups.used);
            std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
            for (long limit : {1L, 9L, 100L, 257L, 1025L}) {
                std::vector<float> stage(limit + c.taps + groups.readAhead);
                for (float& v : stage)
                    v = dist(rng);
                for (int startCursor : {0, c.phases / 2, c.phases - 1}) {
                    std::vector<float> out(2 * (limit + 1) * c.stride, 0.0f);
                    std::int64_t t = 0;
                    int cursor = startCursor;
                    const int made = downsamplerSums(groups, stage.data(), t, limit, cursor,
                                                     out.data(), c.stride);
                    std::int64_t expectT = 0;
                    int expectCursor = startCursor;
                    int p = 0;
                    for (; expectT < limit; ++p) {
                        ASSERT_EQ(out[p * c.stride], tapSum(filter.row(order[expectCursor]),
                                                            stage.data() + expectT, c.taps, 1))
                            << "limit " << limit << " output " << p;
                        expectT += step[expectCursor];
                        expectCursor = (expectCursor + 1) % c.phases;
                    }
                    EXPECT_EQ(made, p) << "limit " << limit;
                    EXPECT_EQ(t, expectT) << "limit " << limit;
                    EXPECT_EQ(cursor, expectCursor) << "limit " << limit;
                }
            }
        }
    }
}

} // namespace
} // namespace velcora
