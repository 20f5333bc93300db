#pragma once
// What a test cannot check in a sanitiser build, so that it skips that part there; the plain
// build carries those checks.

namespace velmora::testing {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The address and thread sanitisers reserve terabytes of shadow memory at start, so no cap on a
// process's address space (RLIMIT_AS) can hold under them.
inline constexpr bool kAddressSpaceCanBeCapped = false;
#else
inline constexpr bool kAddressSpaceCanBeCapped = true;
#endif

inline constexpr const char* kNoCapUnderSanitizer =
    "a sanitiser reserves more address space than the cap";

#if defined(__SANITIZE_ADDRESS__)
// The address sanitiser ends the process at an allocation it cannot make, where a plain build
// throws std::bad_alloc.
inline constexpr bool kFailedAllocationThrows = false;
#else
inline constexpr bool kFailedAllocationThrows = true;
#endif

}  // namespace velmora::testing
