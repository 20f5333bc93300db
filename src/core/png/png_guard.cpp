#include "core/png/png_guard.h"

namespace velmora {

namespace {

[[noreturn]] void jumpToGuard(png_structp png, png_const_charp) { png_longjmp(png, 1); }

void dropWarning(png_structp, png_const_charp) {}

}  // namespace

png_structp createPngWriter() {
  return png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, jumpToGuard, dropWarning);
}

png_structp createPngReader() {
  return png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, jumpToGuard, dropWarning);
}

}  // namespace velmora
