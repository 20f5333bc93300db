#pragma once
// Names shown on a terminal. A file name may hold any byte but "/" and NUL: a newline in one
// would forge a log line, an escape sequence would drive the terminal. On a terminal such
// bytes are shown escaped, as `ls -b` shows them; a pipe or a file gets the exact bytes.

#include <string>

namespace velmora::cli {

// The name with control characters (C0, DEL, and C1 as UTF-8 encodes them) written as
// backslash escapes ("\n", "\033", "\302\233"); a backslash itself becomes "\\", so the
// escaped text reads back unambiguously.
std::string escapedForTerminal(const std::string& name);

// A text holding names as shown on a stream: escaped when the stream is a terminal, exact
// otherwise.
inline std::string shownText(const std::string& text, bool terminal) {
  return terminal ? escapedForTerminal(text) : text;
}

}  // namespace velmora::cli
