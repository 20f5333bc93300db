#include "core/jpeg/decoder_memory.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <limits>
#include <string>
#include <utility>

namespace velmora {

namespace {

constexpr std::uint64_t kUnlimited = std::numeric_limits<std::uint64_t>::max();

// The address space the command-line tool itself takes (code, libraries, main stack, heap of
// a run) with one worker and no decoder share: about 20 MiB, measured under ulimit -v.
constexpr std::uint64_t kProgramBytes = 24 << 20;

std::uint64_t physicalMemory() {
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long pageSize = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return kUnlimited;
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

// A limit file's number; "max" and anything unreadable mean no limit.
std::uint64_t limitIn(const std::string& file) {
  std::ifstream in(file);
  std::uint64_t value = 0;
  if (in >> value) return value;
  return kUnlimited;
}

// The least memory limit of the control groups this process is in, with their ancestors (the
// unified hierarchy's memory.max, or the older memory controller's limit_in_bytes).
std::uint64_t controlGroupMemory() {
  std::uint64_t least = kUnlimited;
  std::ifstream groups("/proc/self/cgroup");
  std::string line;
  while (std::getline(groups, line)) {
    const std::string::size_type first = line.find(':');
    const std::string::size_type second = line.find(':', first + 1);
    if (first == std::string::npos || second == std::string::npos) continue;
    const std::string controllers = line.substr(first + 1, second - first - 1);
    std::string path = line.substr(second + 1);
    std::string root;
    std::string file;
    if (controllers.empty()) {
      root = "/sys/fs/cgroup";
      file = "/memory.max";
    } else if (controllers == "memory" || controllers.find("memory,") != std::string::npos ||
               controllers.find(",memory") != std::string::npos) {
      root = "/sys/fs/cgroup/memory";
      file = "/memory.limit_in_bytes";
    } else {
      continue;
    }
    // The group's own folder may not be visible inside a container; its mount root then is.
    for (;;) {
      least = std::min(least, limitIn(root + path + file));
      if (path.empty() || path == "/") break;
      path.erase(path.rfind('/'));
    }
  }
  return least;
}

std::uint64_t addressSpaceLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kUnlimited;
  return static_cast<std::uint64_t>(limit.rlim_cur);
}

}  // namespace

std::uint64_t usableMemory() {
  static const std::uint64_t fixed = std::min(physicalMemory(), controlGroupMemory());
  return std::min(fixed, addressSpaceLimit());
}

DecoderMemoryBudget::DecoderMemoryBudget() : total_([] { return usableMemory() / 2; }) {}

DecoderMemoryBudget::DecoderMemoryBudget(std::function<std::uint64_t()> total)
    : total_(std::move(total)) {}

std::optional<DecoderMemoryBudget::Share> DecoderMemoryBudget::take(std::uint64_t bytes) {
  const std::uint64_t total = total_();
  if (bytes > total) return std::nullopt;
  std::unique_lock<std::mutex> lock(mutex_);
  const std::uint64_t ticket = nextTicket_++;
  changed_.wait(lock, [&] { return serving_ == ticket && inUse_ + bytes <= total; });
  inUse_ += bytes;
  ++serving_;
  lock.unlock();
  changed_.notify_all();
  return Share(this, bytes);
}

std::size_t DecoderMemoryBudget::waiting() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<std::size_t>(nextTicket_ - serving_);
}

unsigned DecoderMemoryBudget::workersThatFit(unsigned wanted, std::uint64_t bytesPerWorker) const {
  const std::uint64_t rest = total_();
  const std::uint64_t room = rest > kProgramBytes ? rest - kProgramBytes : 0;
  const std::uint64_t fit = bytesPerWorker > 0 ? room / bytesPerWorker : wanted;
  return static_cast<unsigned>(std::max<std::uint64_t>(1, std::min<std::uint64_t>(wanted, fit)));
}

void DecoderMemoryBudget::giveBack(std::uint64_t bytes) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    inUse_ -= bytes;
  }
  changed_.notify_all();
}

DecoderMemoryBudget::Share::~Share() {
  if (budget_ != nullptr) budget_->giveBack(bytes_);
}

DecoderMemoryBudget::Share::Share(Share&& other) noexcept
    : budget_(std::exchange(other.budget_, nullptr)), bytes_(std::exchange(other.bytes_, 0)) {}

DecoderMemoryBudget::Share& DecoderMemoryBudget::Share::operator=(Share&& other) noexcept {
  if (this != &other) {
    if (budget_ != nullptr) budget_->giveBack(bytes_);
    budget_ = std::exchange(other.budget_, nullptr);
    bytes_ = std::exchange(other.bytes_, 0);
  }
  return *this;
}

}  // namespace velmora
