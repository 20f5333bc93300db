#include "core/run/heap_policy.h"

#include <malloc.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace velmora {

namespace {

constexpr std::size_t kLargeBlock = 256 << 20;
// Below the trim threshold, so that the heap keeps it once freed.
constexpr std::size_t kHugePageHeap = 192 << 20;
constexpr std::uintptr_t kHugePage = 2 << 20;

// Grows the heap by a block that is freed at once, and asks the kernel for 2 MiB pages there
// (where it hands them out on request, as Debian's default does). Nothing is touched, so no
// memory is taken; the first use of the region later faults in 2 MiB at a time instead of
// 4 KiB, and on a virtual machine each fault costs some microseconds whatever its size.
void preferHugePagesForTheHeap() {
  void* block = std::malloc(kHugePageHeap);
  if (block == nullptr) return;
  const auto start = reinterpret_cast<std::uintptr_t>(block);
  const std::uintptr_t begin = (start + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t end = (start + kHugePageHeap) & ~(kHugePage - 1);
  // Refused by kernels without transparent huge pages: then the heap simply keeps small pages.
  madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
  std::free(block);
}

}  // namespace

void keepFreedMemoryForReuse() {
  // All three are needed: a per-thread arena maps large blocks whatever the threshold, and
  // without the higher thresholds the main heap would still unmap or trim them.
  mallopt(M_ARENA_MAX, 1);
  mallopt(M_MMAP_THRESHOLD, static_cast<int>(kLargeBlock));
  mallopt(M_TRIM_THRESHOLD, static_cast<int>(kLargeBlock));
  preferHugePagesForTheHeap();
}

void giveFreedMemoryBack() { malloc_trim(0); }

}  // namespace velmora
