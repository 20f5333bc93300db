#pragma once
// Work on many threads, results taken strictly in order on the calling thread.
//
// The batch renders thumbnails on worker threads while the caller writes them one by one in
// list order, so that what it leaves behind equals the one-by-one loop's: the first failure in
// list order ends the run with nothing after it committed.

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace velmora {

inline constexpr std::size_t kNoPrerequisite = static_cast<std::size_t>(-1);

struct OrderedWorkPlan {
  unsigned workers = 1;
  // Jobs started but not yet committed, at most; bounds the results held in memory.
  std::size_t lookAhead = 2;
  // Per job: an earlier job that must be committed before this job's work starts (its work
  // reads what that commit writes), or kNoPrerequisite. Empty: no job waits for another.
  std::vector<std::size_t> prerequisites;
};

namespace detail {

template <typename Result, typename Work>
class OrderedWorkers {
 public:
  OrderedWorkers(std::size_t count, const OrderedWorkPlan& plan, Work& work)
      : count_(count),
        plan_(plan),
        lookAhead_(plan.lookAhead > 0 ? plan.lookAhead : 1),
        work_(work),
        slots_(lookAhead_ < count ? lookAhead_ : count) {}

  ~OrderedWorkers() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    canClaim_.notify_all();
    for (std::thread& thread : threads_) thread.join();
  }

  OrderedWorkers(const OrderedWorkers&) = delete;
  OrderedWorkers& operator=(const OrderedWorkers&) = delete;

  // Starts up to the planned number of threads; the system may give fewer.
  std::size_t start() {
    const std::size_t wanted = plan_.workers < count_ ? plan_.workers : count_;
    try {
      while (threads_.size() < wanted) threads_.emplace_back([this] { workLoop(); });
    } catch (const std::system_error&) {
      // Fewer threads only means less parallelism; the caller runs alone when none started.
    }
    return threads_.size();
  }

  // Waits for job `index` and hands over its result, or rethrows its error.
  Result take(std::size_t index) {
    std::unique_lock<std::mutex> lock(mutex_);
    Slot& waited = slotOf(index);
    finished_.wait(lock, [&] { return waited.done; });
    Slot slot = std::move(waited);
    waited = Slot{};
    lock.unlock();
    if (slot.error) std::rethrow_exception(slot.error);
    return std::move(*slot.result);
  }

  void committed(std::size_t index) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      committed_ = index + 1;
    }
    canClaim_.notify_all();
  }

 private:
  struct Slot {
    bool done = false;
    std::optional<Result> result;
    std::exception_ptr error;
  };

  // Only jobs within the look-ahead of the commit are started, and a job's slot is emptied
  // before the commit moves on, so job i and job i + lookAhead never share a slot at once.
  Slot& slotOf(std::size_t index) { return slots_[index % slots_.size()]; }

  bool claimable(std::size_t index) const {
    if (index >= committed_ + lookAhead_) return false;
    if (index >= plan_.prerequisites.size()) return true;
    const std::size_t prerequisite = plan_.prerequisites[index];
    return prerequisite == kNoPrerequisite || prerequisite < committed_;
  }

  void workLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      canClaim_.wait(lock, [&] { return stopping_ || next_ >= count_ || claimable(next_); });
      if (stopping_ || next_ >= count_) return;
      const std::size_t index = next_++;
      lock.unlock();
      Slot slot;
      try {
        slot.result.emplace(work_(index));
      } catch (...) {
        slot.error = std::current_exception();
      }
      slot.done = true;
      lock.lock();
      slotOf(index) = std::move(slot);
      finished_.notify_all();
    }
  }

  const std::size_t count_;
  const OrderedWorkPlan& plan_;
  const std::size_t lookAhead_;
  Work& work_;
  std::vector<Slot> slots_;
  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable canClaim_;
  std::condition_variable finished_;
  std::size_t next_ = 0;       // the next job a worker takes
  std::size_t committed_ = 0;  // jobs committed so far
  bool stopping_ = false;
};

}  // namespace detail

// Runs work(i) for every job i in [0, count) on the plan's worker threads and commit(i, result)
// on the calling thread in increasing i. The first exception in job order, from work or
// commit, ends the run: no later job is committed, every worker is stopped and joined, and
// the exception is rethrown here. With one worker (or none available) work and commit simply
// alternate on the calling thread.
template <typename Result, typename Work, typename Commit>
void runOrdered(std::size_t count, const OrderedWorkPlan& plan, Work work, Commit commit) {
  if (plan.workers > 1 && count > 1) {
    detail::OrderedWorkers<Result, Work> workers(count, plan, work);
    if (workers.start() > 0) {
      for (std::size_t index = 0; index < count; ++index) {
        commit(index, workers.take(index));
        workers.committed(index);
      }
      return;
    }
  }
  for (std::size_t index = 0; index < count; ++index) commit(index, work(index));
}

}  // namespace velmora
