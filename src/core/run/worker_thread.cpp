#include "core/run/worker_thread.h"

#include <system_error>
#include <utility>

namespace velmora {

namespace {

void* runBody(void* body) {
  (*static_cast<std::function<void()>*>(body))();
  return nullptr;
}

// Frees the attributes on every way out of the constructor.
struct ThreadAttributes {
  pthread_attr_t attributes{};
  ThreadAttributes() { pthread_attr_init(&attributes); }
  ~ThreadAttributes() { pthread_attr_destroy(&attributes); }
};

}  // namespace

WorkerThread::WorkerThread(std::function<void()> body) : body_(std::move(body)) {
  ThreadAttributes attributes;
  int failure = pthread_attr_setstacksize(&attributes.attributes, kWorkerStackBytes);
  if (failure == 0) failure = pthread_create(&thread_, &attributes.attributes, runBody, &body_);
  if (failure != 0) throw std::system_error(failure, std::generic_category(), "pthread_create");
}

WorkerThread::~WorkerThread() { pthread_join(thread_, nullptr); }

}  // namespace velmora
