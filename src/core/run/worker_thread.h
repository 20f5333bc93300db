#pragma once
// A worker thread with a stack of its own size. std::thread takes the process default (8 MiB
// under the usual limits), all of which counts against an address-space limit: eight workers
// would hold 64 MiB of stacks they never touch. The memory a worker really uses lives on the
// heap, where the decoder budget counts it.

#include <pthread.h>

#include <cstddef>
#include <functional>

namespace velmora {

// The stack of every worker thread: far more than libjpeg's and the engine's deepest calls use.
inline constexpr std::size_t kWorkerStackBytes = 1 << 20;

class WorkerThread {
 public:
  // Starts `body` on a new thread; throws std::system_error when the system gives none.
  explicit WorkerThread(std::function<void()> body);
  // Waits for the body to end.
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

 private:
  std::function<void()> body_;
  pthread_t thread_{};
};

}  // namespace velmora
