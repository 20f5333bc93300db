#pragma once
// Holds every open of one file by another process until the test has changed the disk, so a
// change "while the tool is busy with an earlier file" happens at a known point instead of by
// timing. Needs fanotify's permission events (root); armed() says whether it is in place.

#include <fcntl.h>
#include <poll.h>
#include <sys/fanotify.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace velmora::testing {

class OpenGate {
 public:
  // whileHeld runs once, at the first open of the file, before that open goes on.
  OpenGate(const std::string& file, std::function<void()> whileHeld)
      : whileHeld_(std::move(whileHeld)) {
    notify_ = fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC, O_RDONLY | O_CLOEXEC);
    if (notify_ < 0) return;
    if (fanotify_mark(notify_, FAN_MARK_ADD, FAN_OPEN_PERM, AT_FDCWD, file.c_str()) != 0 ||
        pipe2(stop_, O_CLOEXEC) != 0) {
      close(notify_);
      notify_ = -1;
      return;
    }
    watcher_ = std::thread([this] { answerOpens(); });
  }
  ~OpenGate() {
    if (notify_ < 0) return;
    close(stop_[1]);
    watcher_.join();
    close(stop_[0]);
    close(notify_);
  }
  OpenGate(const OpenGate&) = delete;
  OpenGate& operator=(const OpenGate&) = delete;

  bool armed() const { return notify_ >= 0; }
  bool opened() const { return opened_; }

 private:
  void answerOpens() {
    pollfd fds[2] = {{notify_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
    while (poll(fds, 2, -1) >= 0 && fds[1].revents == 0) {
      alignas(fanotify_event_metadata) char buffer[4096];
      const ssize_t got = read(notify_, buffer, sizeof buffer);
      if (got <= 0) continue;
      auto* event = reinterpret_cast<fanotify_event_metadata*>(buffer);
      for (ssize_t left = got; FAN_EVENT_OK(event, left); event = FAN_EVENT_NEXT(event, left)) {
        if (!opened_) whileHeld_();
        opened_ = true;
        const fanotify_response allow{event->fd, FAN_ALLOW};
        (void)!write(notify_, &allow, sizeof allow);
        close(event->fd);
      }
    }
  }

  std::function<void()> whileHeld_;
  int notify_ = -1;
  int stop_[2] = {-1, -1};
  std::atomic<bool> opened_{false};
  std::thread watcher_;
};

}  // namespace velmora::testing
