#pragma once
// libjpeg's fatal errors as C++ exceptions. libjpeg reports a fatal error by calling
// error_exit, which must not return: it jumps back to the guard that entered the library, and
// the guard throws there, outside libjpeg's C frames. Warnings and trace messages are dropped
// (only picture data ending early is noted): a damaged stream decodes as far as it can, and
// libjpeg never ends the process.
//
// The jump passes over every frame between the guard and the failing call: libjpeg's own, and
// those of the callbacks we hand it (sources, destinations, the progress monitor). None of
// those frames may hold an object with a destructor.

#include <csetjmp>
#include <cstdio>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

#include "core/errors.h"
#include "core/stop_signal.h"

namespace velmora {

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  bool readFailed = false;  // the stop came from the source file, not from the codec
  bool stopped = false;     // the stop came from the run's stop signal
  // The source ended (JWRN_JPEG_EOF), and then the entropy decoder ran out of data
  // (JWRN_HIT_MARKER): the rest of the picture decodes grey. A file that lacks only its end
  // marker is whole, and does not count.
  bool inputEnded = false;
  bool dataEndedEarly = false;
};

// Points the codec object's error handling at `err`: a fatal error jumps to the current guard.
void installErrorManager(ErrorManager& err);

// The error manager of a codec object whose error handling installErrorManager set up.
inline ErrorManager& errorManagerOf(j_common_ptr cinfo) {
  return *reinterpret_cast<ErrorManager*>(cinfo->err);
}

// Runs one libjpeg call sequence; a fatal codec error comes out as EJPEG (EReadError when the
// source file failed, DecodeStopped when the run stopped). The callable must not own objects with
// destructors, since the jump passes over them.
template <typename Call>
void guarded(ErrorManager& err, const Call& call) {
  if (setjmp(err.jump) != 0) {
    if (err.stopped) throw DecodeStopped();
    if (err.readFailed) throw EReadError();
    throw EJPEG(err.pub.msg_code);
  }
  call();
}

}  // namespace velmora
