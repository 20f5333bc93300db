#pragma once
// One memory budget for every decoder of the process: the batch's workers and the window's
// preview. Progressive files need libjpeg's whole coefficient array at once; each decoder takes
// a share of the budget for it before decoding, waiting until the share is free.

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
  // The budget's size, asked for on every request so that a limit set while the process runs
  // counts.
  explicit DecoderMemoryBudget(std::function<std::uint64_t()> total);

  // The process's budget: about half of usableMemory(), the rest left to everything else.
  static DecoderMemoryBudget& process();

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

 private:
  void giveBack(std::uint64_t bytes);

  std::function<std::uint64_t()> total_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t inUse_ = 0;
  std::uint64_t nextTicket_ = 0;
  std::uint64_t serving_ = 0;
};

}  // namespace velmora
