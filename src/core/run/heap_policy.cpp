#include "core/run/heap_policy.h"

#include <malloc.h>

namespace velmora {

void keepFreedMemoryForReuse() {
  // All three are needed: a per-thread arena maps large blocks whatever the threshold, and
  // without the higher thresholds the main heap would still unmap or trim them.
  constexpr int kLargeBlock = 256 << 20;
  mallopt(M_ARENA_MAX, 1);
  mallopt(M_MMAP_THRESHOLD, kLargeBlock);
  mallopt(M_TRIM_THRESHOLD, kLargeBlock);
}

void giveFreedMemoryBack() { malloc_trim(0); }

}  // namespace velmora
