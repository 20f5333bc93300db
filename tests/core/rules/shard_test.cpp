#include "core/rules/shard.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

// Machines on different versions must keep splitting an archive the same way: the hash of a
// key never changes.
TEST(Shard, HashIsPinnedAndEachKeyIsInExactlyOneShard) {
  EXPECT_EQ(shardHash(""), 14695981039346656037ull);
  EXPECT_EQ(shardHash("a.jpg"), 5478518674395084737ull);
  EXPECT_EQ(shardHash("2019/Summer/IMG_0001.JPG"), 11332265891095923918ull);
  EXPECT_EQ(shardHash("caf\xe9.jpg"), 6753385156176391537ull);
  for (const char* key : {"a.jpg", "b.jpg", "2019/c.jpg"}) {
    int shards = 0;
    for (unsigned index = 1; index <= 3; ++index) shards += inShard(key, {index, 3}) ? 1 : 0;
    EXPECT_EQ(shards, 1) << key;
    EXPECT_TRUE(inShard(key, {1, 1}));
  }
}

}  // namespace
}  // namespace velmora
