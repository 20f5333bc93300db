#include "core/jpeg/file_source.h"

#include <jerror.h>

#include <utility>

#include "core/jpeg/error_guard.h"

namespace velmora {

namespace {

FileSource& sourceOf(j_decompress_ptr cinfo) { return *reinterpret_cast<FileSource*>(cinfo->src); }

// libjpeg's callbacks. A fatal error here jumps straight back to the guard that entered the
// library, over these frames: they hold no object with a destructor, only references and
// numbers, and must stay that way.
boolean fill(j_decompress_ptr cinfo) {
  FileSource& s = sourceOf(cinfo);
  const ssize_t got = s.refill();
  if (got < 0) {
    errorManagerOf(reinterpret_cast<j_common_ptr>(cinfo)).readFailed = true;
    ERREXIT(cinfo, JERR_FILE_READ);
  }
  if (got == 0) {
    if (s.bytesRead == 0) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    WARNMS(cinfo, JWRN_JPEG_EOF);
    s.buffer[0] = 0xFF;
    s.buffer[1] = JPEG_EOI;
    s.pub.bytes_in_buffer = 2;
  }
  return TRUE;
}

void skip(j_decompress_ptr cinfo, long count) {
  FileSource& s = sourceOf(cinfo);
  while (count > static_cast<long>(s.pub.bytes_in_buffer)) {
    count -= static_cast<long>(s.pub.bytes_in_buffer);
    fill(cinfo);
  }
  if (count > 0) {
    s.pub.next_input_byte += count;
    s.pub.bytes_in_buffer -= static_cast<std::size_t>(count);
  }
}

}  // namespace

FileSource::FileSource(SourceFile opened) : file(std::move(opened)) {
  pub.init_source = [](j_decompress_ptr) {};
  pub.fill_input_buffer = fill;
  pub.skip_input_data = skip;
  pub.resync_to_restart = jpeg_resync_to_restart;
  pub.term_source = [](j_decompress_ptr) {};
}

ssize_t FileSource::refill() noexcept {
  primed = true;
  const ssize_t got = file.readSome(buffer.data(), buffer.size());
  pub.next_input_byte = buffer.data();
  pub.bytes_in_buffer = got > 0 ? static_cast<std::size_t>(got) : 0;
  if (got > 0) bytesRead += static_cast<std::size_t>(got);
  return got;
}

}  // namespace velmora
