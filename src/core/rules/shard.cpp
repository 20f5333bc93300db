#include "core/rules/shard.h"

namespace velmora {

std::uint64_t shardHash(const std::string& keyPath) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const char byte : keyPath) {
    hash ^= static_cast<unsigned char>(byte);
    hash *= 1099511628211ull;
  }
  return hash;
}

bool inShard(const std::string& keyPath, const Shard& shard) {
  return shard.count <= 1 || shardHash(keyPath) % shard.count == shard.index - 1;
}

}  // namespace velmora
