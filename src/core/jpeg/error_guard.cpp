#include "core/jpeg/error_guard.h"

namespace velmora {

namespace {

[[noreturn]] void jumpToGuard(j_common_ptr cinfo) { std::longjmp(errorManagerOf(cinfo).jump, 1); }

void discardMessage(j_common_ptr, int) {}
void discardOutput(j_common_ptr) {}

}  // namespace

void installErrorManager(ErrorManager& err) {
  jpeg_std_error(&err.pub);
  err.pub.error_exit = jumpToGuard;
  err.pub.emit_message = discardMessage;
  err.pub.output_message = discardOutput;
}

}  // namespace velmora
