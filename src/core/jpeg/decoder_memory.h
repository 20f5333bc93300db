#pragma once
// One memory budget for every decoder of the process: the batch's workers and the window's
// preview. Progressive files need libjpeg's whole coefficient array at once; each decoder takes
// a share of the budget for it before decoding, waiting until the share is free. The program
// makes one budget and hands it to everything that decodes.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

namespace velmora {

// The memory this process may really use: the least of the physical memory, the memory limit
// of its control group and its address-space limit (RLIMIT_AS, read anew on each call).
std::uint64_t usableMemory();

class DecoderMemoryBudget {
 public:
  // The decoders share about half of the memory the process may use, the rest is left to
  // everything else: the program itself and its workers' stacks and fixed buffers.
  DecoderMemoryBudget();
  // A budget of the given size for the decoders, asked for on every request so that a limit
  // set while the process runs counts.
  explicit DecoderMemoryBudget(std::function<std::uint64_t()> total);
  DecoderMemoryBudget(const DecoderMemoryBudget&) = delete;
  DecoderMemoryBudget& operator=(const DecoderMemoryBudget&) = delete;

  // A share of the budget, given back when it ends.
  class Share {
   public:
    Share() = default;
    ~Share();
    Share(Share&& other) noexcept;
    Share& operator=(Share&& other) noexcept;
    Share(const Share&) = delete;
    Share& operator=(const Share&) = delete;
    std::uint64_t bytes() const { return bytes_; }

   private:
    friend class DecoderMemoryBudget;
    Share(DecoderMemoryBudget* budget, std::uint64_t bytes) : budget_(budget), bytes_(bytes) {}
    DecoderMemoryBudget* budget_ = nullptr;
    std::uint64_t bytes_ = 0;
  };

  // Waits until `bytes` are free and takes them. Requests are served in the order they come, so
  // a large file is not passed over for ever by small ones, and every share is given back once
  // its file is decoded: a waiting file always gets its turn. Gives nothing when `bytes` exceed
  // the whole budget.
  std::optional<Share> take(std::uint64_t bytes);

  // Requests waiting for their share.
  std::size_t waiting() const;

  // How many of `wanted` workers, each with `bytesPerWorker` of its own (its stack and fixed
  // buffers), the rest of the process's memory holds besides the program itself: the part the
  // decoders do not share, as large as theirs. At least one, the thread that runs the work.
  // Starting only these, a run's outcome does not depend on the number of workers asked for.
  unsigned workersThatFit(unsigned wanted, std::uint64_t bytesPerWorker) const;

 private:
  void giveBack(std::uint64_t bytes);

  std::function<std::uint64_t()> total_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t inUse_ = 0;
  std::uint64_t nextTicket_ = 0;
  std::uint64_t serving_ = 0;
};

}  // namespace velmora
