#pragma once
// Splitting one archive over many machines: each file belongs to exactly one shard.

#include <cstdint>
#include <string>

namespace velmora {

// Shard `index` of `count` (1 <= index <= count); 1 of 1 takes every file.
struct Shard {
  unsigned index = 1;
  unsigned count = 1;
};

// FNV-1a over the key's bytes: fixed by its definition, so machines on different builds and
// versions split an archive the same way.
std::uint64_t shardHash(const std::string& keyPath);

// Whether a file belongs to the shard. The key is the file's path below its walked root (the
// path as given for a file named on its own), so two mount points of one archive agree.
bool inShard(const std::string& keyPath, const Shard& shard);

}  // namespace velmora
