#include "velcora/samplequeue.h"

#include <gtest/gtest.h>

namespace velcora {
namespace {

TEST(SampleQueue, GrowsByDoublingFromOne) {
    SampleQueue q;
    EXPECT_EQ(q.capacity(), 0u);
    const float five[5] = {1, 2, 3, 4, 5};
    q.append(five, 5);
    EXPECT_EQ(q.capacity(), 8u);
    q.append(five, 3);
    EXPECT_EQ(q.capacity(), 8u);
    q.append(five, 1);
    EXPECT_EQ(q.capacity(), 16u);
    EXPECT_EQ(q.count(), 9u);
    const float expected[9] = {1, 2, 3, 4, 5, 1, 2, 3, 1};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(q.data()[i], expected[i]);
}

TEST(SampleQueue, ConsumeMovesTheRestToTheFrontAndKeepsCapacity) {
    SampleQueue q;
    const float v[6] = {1, 2, 3, 4, 5, 6};
    q.append(v, 6);
    q.consume(4);
    ASSERT_EQ(q.count(), 2u);
    EXPECT_EQ(q.data()[0], 5.0f);
    EXPECT_EQ(q.data()[1], 6.0f);
    q.consume(2);
    EXPECT_EQ(q.count(), 0u);
    q.append(v, 1);
    q.clear();
    EXPECT_EQ(q.count(), 0u);
    EXPECT_EQ(q.capacity(), 8u);
}

} // namespace
} // namespace velcora
