#pragma once

#include <string>
#include <vector>

namespace velmora {

// A metadata segment rewritten for a thumbnail, or the reason it was left out.
struct RewrittenBlock {
  std::vector<unsigned char> payload;  // the segment's payload; empty when it is left out
  std::string warning;                 // why it was left out; empty when it was not
};

}  // namespace velmora
