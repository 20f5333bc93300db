#include "core/jpeg/decoder_memory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <stdexcept>
#include <thread>

namespace velmora {
namespace {

DecoderMemoryBudget::Share takeShare(DecoderMemoryBudget& budget, std::uint64_t bytes) {
  std::optional<DecoderMemoryBudget::Share> share = budget.take(bytes);
  if (!share) throw std::logic_error("no share");
  return std::move(*share);
}

void waitUntilWaiting(const DecoderMemoryBudget& budget, std::size_t count) {
  while (budget.waiting() < count) std::this_thread::yield();
}

TEST(DecoderMemoryBudget, ServesRequestsInTheOrderTheyCome) {
  DecoderMemoryBudget budget([] { return std::uint64_t{100}; });
  std::optional<DecoderMemoryBudget::Share> held = budget.take(60);
  std::atomic<bool> largeServed{false};
  std::atomic<bool> smallServed{false};
  std::thread large([&] {
    const auto share = budget.take(50);
    largeServed = true;
  });
  waitUntilWaiting(budget, 1);
  // 10 bytes are free for the small request, but the large one came first.
  std::thread small([&] {
    const auto share = budget.take(10);
    smallServed = true;
  });
  while (budget.waiting() < 2 && !smallServed) std::this_thread::yield();
  EXPECT_FALSE(smallServed);
  EXPECT_FALSE(largeServed);
  held.reset();
  large.join();
  small.join();
  EXPECT_TRUE(largeServed && smallServed);
}

TEST(DecoderMemoryBudget, AShareLargerThanTheWholeIsRefusedAtOnce) {
  DecoderMemoryBudget budget([] { return std::uint64_t{100}; });
  const auto held = budget.take(100);
  EXPECT_FALSE(budget.take(101));
  EXPECT_EQ(budget.waiting(), 0u);
}

TEST(DecoderMemoryBudget, AShareIsGivenBackWhenAnExceptionEndsItsDecode) {
  DecoderMemoryBudget budget([] { return std::uint64_t{100}; });
  EXPECT_THROW(
      {
        const DecoderMemoryBudget::Share share = takeShare(budget, 100);
        throw std::runtime_error("decode failed");
      },
      std::runtime_error);
  // Were the share still held, this would wait for ever.
  EXPECT_EQ(takeShare(budget, 100).bytes(), 100u);
}

}  // namespace
}  // namespace velmora
