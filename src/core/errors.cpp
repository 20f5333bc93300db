#include "core/errors.h"

#include <unistd.h>

#include <cstring>
#include <vector>

#include "core/files/path_text.h"

namespace velmora {

namespace {
std::string fileErrorText(const char* verb, const std::string& path, int errnum) {
  return std::string("Cannot ") + verb + " file \"" + expandedPath(path) + "\". " +
         systemErrorText(errnum);
}
}  // namespace

EFOpenError::EFOpenError(const std::string& path, int errnum)
    : Error(fileErrorText("open", path, errnum)) {}

EReadError::EReadError() : Error("Stream read error") {}

EWriteError::EWriteError(int errnum) : Error("Stream write error"), errnum_(errnum) {}

EJPEG::EJPEG(int code) : Error("JPEG error #" + std::to_string(code)), code_(code) {}

EFCreateError::EFCreateError(const std::string& path, int errnum)
    : Error(fileErrorText("create", path, errnum)) {}

ESameFile::ESameFile() : Error("源目录和目标目录相同!") {}

EDestinationTaken::EDestinationTaken(const std::string& destination, const std::string& source,
                                     const std::string& earlierSource)
    : Error("Cannot create file \"" + expandedPath(destination) + "\" of \"" +
            expandedPath(source) + "\": it is already the thumbnail of \"" +
            expandedPath(earlierSource) + "\"") {}

// Workers of a parallel batch raise these errors too, so the text comes from the thread-safe
// variant (GNU strerror_r returns its text, which may or may not be the buffer).
std::string systemErrorText(int errnum) {
  char buffer[256];
  return strerror_r(errnum, buffer, sizeof buffer);
}

std::string expandedPath(const std::string& path) {
  if (!path.empty() && path.front() == kPathSeparator) return path;
  std::vector<char> buffer(4096);
  if (getcwd(buffer.data(), buffer.size()) == nullptr) return path;
  std::string cwd(buffer.data());
  return joinPath(cwd, path);
}

}  // namespace velmora
