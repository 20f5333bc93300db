#pragma once
// Work on many threads, results taken strictly in order on the calling thread.
//
// The batch renders thumbnails on worker threads while the caller writes them one by one in
// list order, so that what it leaves behind equals the one-by-one loop's: the first failure in
// list order ends the run with nothing after it committed.

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

#include "core/run/worker_thread.h"
#include "core/stop_signal.h"

namespace velmora {

inline constexpr std::size_t kNoPrerequisite = static_cast<std::size_t>(-1);
// Given by admit for a job whose work is too light to hand to a worker: it is done on the
// calling thread just before its commit.
inline constexpr std::size_t kWorkWhenCommitted = kNoPrerequisite - 1;

struct OrderedWorkPlan {
  unsigned workers = 1;
  // Jobs started but not yet committed, at most; bounds the results held in memory.
  std::size_t lookAhead = 2;
  // Per job: an earlier job that must be committed before this job's work starts (its work
  // reads what that commit writes), or kNoPrerequisite. Empty: no job waits for another.
  std::vector<std::size_t> prerequisites;
  // Raised when the run ends early, before the workers are waited for, so that work in flight
  // can end at once; none: it runs to its end.
  StopSignal* stop = nullptr;
};

namespace detail {

template <typename Result, typename Work>
class OrderedWorkers {
 public:
  OrderedWorkers(std::size_t lookAhead, Work& work)
      : lookAhead_(lookAhead), work_(work), slots_(lookAhead), prerequisites_(lookAhead) {}

  ~OrderedWorkers() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    canClaim_.notify_all();
    threads_.clear();
  }

  OrderedWorkers(const OrderedWorkers&) = delete;
  OrderedWorkers& operator=(const OrderedWorkers&) = delete;

  // Starts up to `wanted` threads; the system may give fewer.
  std::size_t start(std::size_t wanted) {
    threads_.reserve(wanted);
    try {
      while (threads_.size() < wanted) {
        threads_.push_back(std::make_unique<WorkerThread>([this] { workLoop(); }));
      }
    } catch (const std::system_error&) {
      // Fewer threads only means less parallelism; the caller runs alone when none started.
    }
    return threads_.size();
  }

  // Makes the next job available, with the job it waits for (or kNoPrerequisite), or keeps it
  // from the workers (kWorkWhenCommitted).
  void offer(std::size_t prerequisite) {
    std::unique_lock<std::mutex> lock(mutex_);
    prerequisites_[offered_ % lookAhead_] = prerequisite;
    ++offered_;
    wakeIfClaimable(lock);
  }

  // Whether job `index` was kept from the workers.
  bool workedWhenCommitted(std::size_t index) {
    std::lock_guard<std::mutex> lock(mutex_);
    return prerequisites_[index % lookAhead_] == kWorkWhenCommitted;
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
    std::unique_lock<std::mutex> lock(mutex_);
    committed_ = index + 1;
    wakeIfClaimable(lock);
  }

 private:
  struct Slot {
    bool done = false;
    std::optional<Result> result;
    std::exception_ptr error;
  };

  // Only jobs within the look-ahead of the commit are offered and started, and a job's slot is
  // emptied before the commit moves on, so job i and job i + lookAhead never share a slot at once.
  Slot& slotOf(std::size_t index) { return slots_[index % lookAhead_]; }

  // Whether a worker may take the next job, passing over the jobs kept from the workers.
  bool nextClaimable() {
    while (next_ < offered_ && prerequisites_[next_ % lookAhead_] == kWorkWhenCommitted) ++next_;
    if (next_ >= offered_ || next_ >= committed_ + lookAhead_) return false;
    const std::size_t prerequisite = prerequisites_[next_ % lookAhead_];
    return prerequisite == kNoPrerequisite || prerequisite < committed_;
  }

  // Idle workers are woken only for work, so that a stretch of jobs done on the calling
  // thread costs no hand-off.
  void wakeIfClaimable(std::unique_lock<std::mutex>& lock) {
    const bool wake = nextClaimable();
    lock.unlock();
    if (wake) canClaim_.notify_all();
  }

  void workLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      canClaim_.wait(lock, [&] { return stopping_ || nextClaimable(); });
      if (stopping_) return;
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

  const std::size_t lookAhead_;
  Work& work_;
  std::vector<Slot> slots_;
  std::vector<std::size_t> prerequisites_;
  std::vector<std::unique_ptr<WorkerThread>> threads_;
  std::mutex mutex_;
  std::condition_variable canClaim_;
  std::condition_variable finished_;
  std::size_t next_ = 0;       // the next job a worker takes
  std::size_t offered_ = 0;    // jobs made available so far
  std::size_t committed_ = 0;  // jobs committed so far
  bool stopping_ = false;
};

// Admits jobs on the calling thread, keeping at most `lookAhead` admitted and not committed.
// An error of the source is held back until every job admitted before it is committed, so it
// comes in job order like any other.
template <typename Admit>
class Admission {
 public:
  Admission(Admit& admit, std::size_t lookAhead) : admit_(admit), lookAhead_(lookAhead) {}

  std::size_t admitted() const { return admitted_; }

  // Admits the next job if the source has one; its prerequisite, or nothing.
  std::optional<std::size_t> next() {
    if (ended_) return std::nullopt;
    std::optional<std::size_t> prerequisite;
    try {
      prerequisite = admit_(admitted_);
    } catch (...) {
      error_ = std::current_exception();
    }
    if (!prerequisite) {
      ended_ = true;
      return std::nullopt;
    }
    ++admitted_;
    return prerequisite;
  }

  // True while job `index` is one to run; rethrows the source's error once it is reached.
  bool reaches(std::size_t index) const {
    if (index < admitted_) return true;
    if (error_) std::rethrow_exception(error_);
    return false;
  }

  bool roomFor(std::size_t committed) const {
    return !ended_ && admitted_ < committed + lookAhead_;
  }

 private:
  Admit& admit_;
  const std::size_t lookAhead_;
  std::size_t admitted_ = 0;
  bool ended_ = false;
  std::exception_ptr error_;
};

}  // namespace detail

// Runs jobs pulled one by one from a source, in the order it gives them, on the plan's worker
// threads, and commits their results on the calling thread in that order, so the source may
// still be finding jobs while the first ones are done.
//   admit(i):     called on the calling thread for i = 0, 1, ... until it gives nothing; makes
//                 job i ready and gives the earlier job it must wait for, kNoPrerequisite, or
//                 kWorkWhenCommitted.
//                 At most plan.lookAhead jobs (at least one) are admitted and not committed,
//                 so the caller can keep each job's data in a ring of that size.
//   work(i):      on a worker thread (a kWorkWhenCommitted job's on the calling thread); its
//                 data stays valid until commit(i) returns.
//   commit(i, r): on the calling thread, in increasing i.
// The first exception in job order, from admit, work or commit, ends the run: no later job is
// committed, plan.stop is raised, every worker is stopped and joined, and the exception is
// rethrown here. With one worker (or none available) admit, work and commit simply alternate
// on the calling thread.
template <typename Result, typename Admit, typename Work, typename Commit>
void runOrderedStream(const OrderedWorkPlan& plan, Admit admit, Work work, Commit commit) {
  const std::size_t lookAhead = plan.lookAhead > 0 ? plan.lookAhead : 1;
  detail::Admission<Admit> admission(admit, plan.workers > 1 ? lookAhead : 1);
  std::size_t index = 0;
  if (plan.workers > 1 && lookAhead > 1) {
    detail::OrderedWorkers<Result, Work> workers(lookAhead, work);
    while (admission.roomFor(0) && admission.admitted() < 2) {
      if (const auto prerequisite = admission.next()) workers.offer(*prerequisite);
    }
    if (admission.admitted() > 1 && workers.start(plan.workers) > 0) {
      try {
        for (; admission.reaches(index); ++index) {
          while (admission.roomFor(index)) {
            if (const auto prerequisite = admission.next()) workers.offer(*prerequisite);
          }
          commit(index, workers.workedWhenCommitted(index) ? work(index) : workers.take(index));
          workers.committed(index);
        }
      } catch (...) {
        if (plan.stop != nullptr) plan.stop->raise();
        throw;
      }
      return;
    }
    // Alone after all: finish the jobs already admitted, then go on one by one.
    for (; index < admission.admitted(); ++index) commit(index, work(index));
  }
  for (;; ++index) {
    if (index == admission.admitted()) admission.next();
    if (!admission.reaches(index)) return;
    commit(index, work(index));
  }
}

// Runs work(i) for every job i in [0, count) as runOrderedStream does, with the plan's
// prerequisites (per job; empty: no job waits for another).
template <typename Result, typename Work, typename Commit>
void runOrdered(std::size_t count, const OrderedWorkPlan& plan, Work work, Commit commit) {
  runOrderedStream<Result>(
      plan,
      [&](std::size_t index) -> std::optional<std::size_t> {
        if (index >= count) return std::nullopt;
        if (index >= plan.prerequisites.size()) return kNoPrerequisite;
        return plan.prerequisites[index];
      },
      work, commit);
}

}  // namespace velmora
