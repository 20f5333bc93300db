#pragma once
// Rounded division by a constant as a multiplication and a shift: a division per value was most
// of the area filter's time.

#include <cstdint>

namespace velmora {

// floor((n + total / 2) / total), exactly, for every n below range * total.
//
// With m = ceil(2^k / total), n * m / 2^k exceeds n / total by less than n / 2^k, which stays
// under the 1 / total that parts n / total from the next whole number while 2^k is at least
// range * total^2. The product, below range * (2^k + total), takes 64 bits while range^2 *
// 4^bits(total) stays under 2^63, else 128.
class RoundedQuotient {
 public:
  RoundedQuotient(std::uint64_t total, std::uint64_t range) : half_(total / 2) {
    int bits = 0;
    while ((std::uint64_t{1} << bits) < total) ++bits;
    int rangeBits = 0;
    while ((std::uint64_t{1} << rangeBits) < range) ++rangeBits;
    shift_ = rangeBits + 2 * bits;
    narrow_ = 2 * rangeBits + 2 * bits <= 62;
    const unsigned __int128 power = static_cast<unsigned __int128>(1) << shift_;
    reciprocal_ = static_cast<std::uint64_t>((power + total - 1) / total);
  }

  std::uint64_t operator()(std::uint64_t n) const {
    if (narrow_) return ((n + half_) * reciprocal_) >> shift_;
    return static_cast<std::uint64_t>((static_cast<unsigned __int128>(n + half_) * reciprocal_) >>
                                      shift_);
  }

 private:
  std::uint64_t half_;
  std::uint64_t reciprocal_;
  int shift_;
  bool narrow_;
};

}  // namespace velmora
