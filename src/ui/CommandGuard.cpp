#include "ui/CommandGuard.h"

#include <QApplication>
#include <algorithm>

#include "core/run/heap_policy.h"
#include "ui/Notices.h"

namespace velmora {

void CommandGuard::runCommand(const std::function<void()>& command) {
  if (busy_ || noticeOpen() || QApplication::activeModalWidget()) return;
  busy_ = true;
  command();
  busy_ = false;
  // A batch leaves its decoders' pages in the heap for the next file; idle, they are waste.
  giveFreedMemoryBack();
  std::vector<std::pair<std::string, std::function<void()>>> waiting;
  waiting.swap(waiting_);
  for (const auto& [name, handler] : waiting) handler();
  if (closeRequested_ && window_) {
    closeRequested_ = false;
    window_->close();
  }
}

void CommandGuard::runWhenIdle(const std::string& name, std::function<void()> handler) {
  if (!busy_) {
    handler();
    return;
  }
  const auto same = std::find_if(waiting_.begin(), waiting_.end(),
                                 [&](const auto& waiting) { return waiting.first == name; });
  if (same != waiting_.end()) waiting_.erase(same);
  waiting_.emplace_back(name, std::move(handler));
}

bool CommandGuard::mayClose() {
  if (!busy_) return true;
  closeRequested_ = true;
  return false;
}

}  // namespace velmora
