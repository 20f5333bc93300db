#pragma once
// What a decoder may spend, handed to it by whoever runs it: the memory budget it shares with
// every other decoder of the program, and its run's stop signal.

#include "core/jpeg/decoder_memory.h"
#include "core/stop_signal.h"

namespace velmora {

struct DecodeLimits {
  DecoderMemoryBudget& memory;
  const StopSignal* stop = nullptr;  // none: the decode always runs to its end
};

}  // namespace velmora
