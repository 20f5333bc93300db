#pragma once
// libpng's fatal errors, caught where the library was entered. libpng reports a fatal error by
// calling its error function, which must not return: ours jumps back to the guard, and the
// guard reports the failure there, outside libpng's C frames. Warnings are dropped.
//
// The jump passes over every frame between the guard and the failing call: libpng's own, and
// those of the callbacks we hand it (the byte sink and source). None of those frames may hold
// an object with a destructor, and nothing may be thrown through them.

#include <png.h>

#include <csetjmp>

namespace velmora {

// Creates libpng's write or read structure with the error and warning functions above; null
// when libpng cannot allocate it.
png_structp createPngWriter();
png_structp createPngReader();

// Runs one libpng call sequence; false when libpng ended it with a fatal error. The callable
// must not own objects with destructors, since the jump passes over them.
template <typename Call>
bool pngGuarded(png_structp png, const Call& call) {
  if (setjmp(png_jmpbuf(png)) != 0) return false;
  call();
  return true;
}

}  // namespace velmora
