#include "core/jpeg/error_guard.h"

#include <jerror.h>

namespace velmora {

namespace {

[[noreturn]] void jumpToGuard(j_common_ptr cinfo) { std::longjmp(errorManagerOf(cinfo).jump, 1); }

void noteWarning(j_common_ptr cinfo, int level) {
  if (level >= 0) return;
  ErrorManager& err = errorManagerOf(cinfo);
  if (err.pub.msg_code == JWRN_JPEG_EOF) err.inputEnded = true;
  if (err.pub.msg_code == JWRN_HIT_MARKER && err.inputEnded) err.dataEndedEarly = true;
}
void discardOutput(j_common_ptr) {}

}  // namespace

void installErrorManager(ErrorManager& err) {
  jpeg_std_error(&err.pub);
  err.pub.error_exit = jumpToGuard;
  err.pub.emit_message = noteWarning;
  err.pub.output_message = discardOutput;
}

}  // namespace velmora
