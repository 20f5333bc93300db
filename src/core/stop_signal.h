#pragma once
// A run's signal that its remaining work is of no use any more: raised by the runner when the
// run ends early, polled by the decoders, which then end their file at once.

#include <atomic>
#include <stdexcept>

namespace velmora {

class StopSignal {
 public:
  void raise() noexcept { raised_.store(true, std::memory_order_relaxed); }
  bool raised() const noexcept { return raised_.load(std::memory_order_relaxed); }

 private:
  std::atomic<bool> raised_{false};
};

// The end of a decode cut short by its run's stop signal. Only the run that raised the signal
// sees it, and that run has already ended with an error of its own.
class DecodeStopped : public std::runtime_error {
 public:
  DecodeStopped() : std::runtime_error("stopped: the run has ended") {}
};

}  // namespace velmora
