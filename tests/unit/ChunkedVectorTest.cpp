#include "common/ChunkedVector.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

namespace lanscope {
namespace {

// Random inserts and erases across many chunk splits and removals, checked
// against a plain vector after every step's worth of operations.
TEST(ChunkedVectorTest, FollowsAPlainVectorThroughSplitsAndRemovals) {
    ChunkedVector<std::unique_ptr<int>> chunked;
    std::vector<int> plain;
    std::mt19937 random(7);
    for (int step = 0; step < 6000; ++step) {
        const bool grow = plain.empty() || random() % 4 != 0 || step < 2500;
        if (grow) {
            const std::size_t at = random() % (plain.size() + 1);
            chunked.insert(at, std::make_unique<int>(step));
            plain.insert(plain.begin() + static_cast<std::ptrdiff_t>(at), step);
        } else {
            const std::size_t at = random() % plain.size();
            chunked.erase(at);
            plain.erase(plain.begin() + static_cast<std::ptrdiff_t>(at));
        }
        if (step % 500 == 0 || step > 5990) {
            ASSERT_EQ(chunked.size(), plain.size());
            for (std::size_t i = 0; i < plain.size(); ++i) {
                ASSERT_EQ(*chunked[i], plain[i]) << "index " << i << " after step " << step;
            }
        }
    }
    EXPECT_THROW(chunked.at(plain.size()), std::out_of_range);
    EXPECT_THROW(chunked.insert(plain.size() + 1, nullptr), std::out_of_range);
}

TEST(ChunkedVectorTest, PartitionPointFindsTheFirstNotBelow) {
    ChunkedVector<int> sorted;
    for (int value = 0; value < 2000; value += 2) {
        sorted.insert(sorted.size(), value);
    }
    for (const int key : {-1, 0, 1, 511, 512, 1023, 1998, 1999, 5000}) {
        const std::size_t expected = key < 0 ? 0 : std::min<std::size_t>((key + 1) / 2, 1000);
        EXPECT_EQ(sorted.partitionPoint([&](int v) { return v < key; }), expected) << key;
    }
}

}  // namespace
}  // namespace lanscope
