#pragma once
// Rounded division by a constant as a multiplication and a shift: a division per value was most
// of the area filter's time.

#include <cstddef>
#include <cstdint>

namespace velmora {

// floor((n + total / 2) / total), exactly, for every n below range * total.
//
// With m = ceil(2^k / total), n * m / 2^k exceeds n / total by less than n / 2^k, which stays
// under the 1 / total that parts n / total from the next whole number while 2^k is at least
// range * total^2. While range * 2^bits(total) stays under 2^32, n and m (below 2 * range *
// 2^bits(total)) fit 32 bits each and their product 64, which vectorises; else it takes 128.
class RoundedQuotient {
 public:
  RoundedQuotient(std::uint64_t total, std::uint64_t range) : half_(total / 2) {
    int bits = 0;
    while ((std::uint64_t{1} << bits) < total) ++bits;
    int rangeBits = 0;
    while ((std::uint64_t{1} << rangeBits) < range) ++rangeBits;
    shift_ = rangeBits + 2 * bits;
    narrow_ = rangeBits + bits <= 31;
    const unsigned __int128 power = static_cast<unsigned __int128>(1) << shift_;
    reciprocal_ = static_cast<std::uint64_t>((power + total - 1) / total);
  }

  // out[k] = the quotient of sums[k] * 2^scale, for k below count.
  template <typename Out>
  void divide(const std::uint64_t* sums, int scale, Out* out, std::size_t count) const {
    if (narrow_) {
      const auto half = static_cast<std::uint32_t>(half_);
      const auto reciprocal = static_cast<std::uint32_t>(reciprocal_);
      for (std::size_t k = 0; k < count; ++k) {
        const auto n = static_cast<std::uint32_t>(sums[k] << scale) + half;
        out[k] = static_cast<Out>((std::uint64_t{n} * reciprocal) >> shift_);
      }
      return;
    }
    for (std::size_t k = 0; k < count; ++k) {
      const unsigned __int128 n = (sums[k] << scale) + half_;
      out[k] = static_cast<Out>((n * reciprocal_) >> shift_);
    }
  }

 private:
  std::uint64_t half_;
  std::uint64_t reciprocal_;
  int shift_;
  bool narrow_;
};

}  // namespace velmora
