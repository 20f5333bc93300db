#pragma once
// The decoder budget the tests' decodes draw on, sized as the programs size their own.

#include "core/jpeg/decoder_memory.h"

namespace velmora::testing {

inline DecoderMemoryBudget& testMemory() {
  static DecoderMemoryBudget budget;
  return budget;
}

}  // namespace velmora::testing
