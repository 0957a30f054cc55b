#include "velcora/channelmap.h"

#include <gtest/gtest.h>

#include <vector>

namespace velcora {
namespace {

struct MapCase {
    const char* name;
    std::uint32_t src, dst;
    std::vector<float> in, out;
};

class ChannelMap : public ::testing::TestWithParam<MapCase> {};

TEST_P(ChannelMap, MapsInPlace) {
    const MapCase& c = GetParam();
    std::vector<float> data = c.in;
    data.resize(mappedCapacity(c.in.size(), c.src, c.dst) + 1);
    const std::size_t n = mapChannels(data.data(), c.in.size(), c.src, c.dst);
    data.resize(n);
    EXPECT_EQ(data, c.out);
}

INSTANTIATE_TEST_SUITE_P(
    Counts, ChannelMap,
    ::testing::Values(
        MapCase{"equal_keeps_partial_frames", 2, 2, {1, 2, 3}, {1, 2, 3}},
        MapCase{"two_to_one_halves_the_sum", 2, 1, {0.25f, 0.5f, -1, 1, 7}, {0.375f, 0}},
        MapCase{"one_to_two_repeats", 1, 2, {1, -2, 3}, {1, 1, -2, -2, 3, 3}},
        MapCase{"three_to_one_is_the_mean", 3, 1, {1, 2, 6, -3, 0, 0}, {3, -1}},
        MapCase{"one_to_three_copies", 1, 3, {4, 5}, {4, 4, 4, 5, 5, 5}},
        MapCase{"three_to_two_keeps_first", 3, 2, {1, 2, 3, 4, 5, 6}, {1, 2, 4, 5}},
        MapCase{"two_to_four_pads_silence", 2, 4, {1, 2, 3, 4}, {1, 2, 0, 0, 3, 4, 0, 0}},
        MapCase{"zero_channels_give_nothing", 0, 2, {1, 2}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace velcora
