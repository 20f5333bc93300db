#include "core/run/ordered_work.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

namespace velmora {
namespace {

// Uneven amounts of busy work so that later jobs often finish before earlier ones.
int busyWork(std::size_t index) {
  volatile int sink = 0;
  for (std::size_t i = 0; i < ((index * 7919) % 13) * 20000; ++i) sink = sink + 1;
  return static_cast<int>(index);
}

OrderedWorkPlan planFor(unsigned workers) {
  OrderedWorkPlan plan;
  plan.workers = workers;
  plan.lookAhead = 2 * workers;
  return plan;
}

class OrderedWork : public ::testing::TestWithParam<unsigned> {};

TEST_P(OrderedWork, FirstFailureInJobOrderEndsRun) {
  // Job 23 fails quickly while job 17 fails after a while: job 17's error must win.
  std::vector<std::size_t> committed;
  try {
    runOrdered<int>(
        60, planFor(GetParam()),
        [](std::size_t i) {
          if (i == 23) throw std::runtime_error("job 23");
          busyWork(i);
          if (i == 17) throw std::runtime_error("job 17");
          return 0;
        },
        [&](std::size_t i, int) { committed.push_back(i); });
    FAIL() << "no error";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "job 17");
  }
  ASSERT_EQ(committed.size(), 17u);
  EXPECT_EQ(committed.back(), 16u);
}

TEST_P(OrderedWork, CommitFailureStopsWorkBeyondLookAhead) {
  const OrderedWorkPlan plan = planFor(GetParam());
  std::atomic<std::size_t> highestStarted{0};
  std::size_t commits = 0;
  EXPECT_THROW(runOrdered<int>(
                   500, plan,
                   [&](std::size_t i) {
                     std::size_t seen = highestStarted.load();
                     while (i > seen && !highestStarted.compare_exchange_weak(seen, i)) {
                     }
                     return busyWork(i);
                   },
                   [&](std::size_t i, int) {
                     if (i == 5) throw std::runtime_error("disk full");
                     ++commits;
                   }),
               std::runtime_error);
  EXPECT_EQ(commits, 5u);
  EXPECT_LT(highestStarted.load(), 5 + plan.lookAhead + 1);
}

TEST_P(OrderedWork, JobsInFlightStayWithinLookAhead) {
  const OrderedWorkPlan plan = planFor(GetParam());
  std::atomic<std::size_t> started{0};
  std::atomic<std::size_t> committed{0};
  std::atomic<std::size_t> mostInFlight{0};
  runOrdered<int>(
      300, plan,
      [&](std::size_t i) {
        const std::size_t inFlight = ++started - committed.load();
        std::size_t most = mostInFlight.load();
        while (inFlight > most && !mostInFlight.compare_exchange_weak(most, inFlight)) {
        }
        return busyWork(i);
      },
      [&](std::size_t, int) { ++committed; });
  EXPECT_EQ(committed.load(), 300u);
  EXPECT_LE(mostInFlight.load(), std::max<std::size_t>(plan.lookAhead, 1));
}

TEST_P(OrderedWork, JobWaitsForItsPrerequisiteCommit) {
  OrderedWorkPlan plan = planFor(GetParam());
  plan.prerequisites.assign(100, kNoPrerequisite);
  for (std::size_t i = 3; i < 100; i += 3) plan.prerequisites[i] = i - 2;
  std::vector<std::atomic<bool>> done(100);
  runOrdered<bool>(
      100, plan,
      [&](std::size_t i) {
        busyWork(i);
        return plan.prerequisites[i] == kNoPrerequisite || done[plan.prerequisites[i]].load();
      },
      [&](std::size_t i, bool prerequisiteWasDone) {
        EXPECT_TRUE(prerequisiteWasDone) << "job " << i;
        done[i] = true;
      });
}

// Every third job is too light for a worker: it is worked on the calling thread, in order.
TEST_P(OrderedWork, StreamIsAdmittedWithinLookAheadAndItsErrorComesInJobOrder) {
  const OrderedWorkPlan plan = planFor(GetParam());
  const std::thread::id caller = std::this_thread::get_id();
  std::size_t admitted = 0;
  std::size_t committed = 0;
  try {
    runOrderedStream<int>(
        plan,
        [&](std::size_t i) -> std::optional<std::size_t> {
          EXPECT_EQ(i, admitted);
          EXPECT_LT(admitted - committed, std::max<std::size_t>(plan.lookAhead, 1));
          if (i == 40) throw std::runtime_error("source broke");
          ++admitted;
          return i % 3 == 0 ? kWorkWhenCommitted : kNoPrerequisite;
        },
        [&](std::size_t i) {
          if (i % 3 == 0) {
            EXPECT_EQ(std::this_thread::get_id(), caller) << i;
          }
          return busyWork(i);
        },
        [&](std::size_t i, int result) {
          EXPECT_EQ(static_cast<std::size_t>(result), i);
          committed = i + 1;
        });
    FAIL() << "no error";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "source broke");
  }
  EXPECT_EQ(committed, 40u);
}

INSTANTIATE_TEST_SUITE_P(Workers, OrderedWork, ::testing::Values(1u, 2u, 4u, 16u));

}  // namespace
}  // namespace velmora
