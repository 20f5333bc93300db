#pragma once
// The errors a user can see. Each carries the exact text the error box shows; nothing else
// formats these messages.

#include <stdexcept>
#include <string>

namespace velmora {

class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;

  // The source picture whose thumbnail failed, when the error is about one (empty otherwise).
  // Kept beside the text, which stays as it is: a report may name the file without a message
  // of its own.
  const std::string& file() const noexcept { return file_; }
  void setFile(const std::string& path) { file_ = path; }

 private:
  std::string file_;
};

// "Cannot open file "<absolute source path>". <system text>"
class EFOpenError : public Error {
 public:
  EFOpenError(const std::string& path, int errnum);
};

// "Stream read error": the source could not be read to its end.
class EReadError : public Error {
 public:
  EReadError();
};

// "Stream write error": the thumbnail could not be written completely (disk full, I/O error).
// The system's error number rides along for reports that name the reason; the text stays the
// window's.
class EWriteError : public Error {
 public:
  explicit EWriteError(int errnum = 0);
  int systemError() const noexcept { return errnum_; }

 private:
  int errnum_;
};

// "JPEG error #<code>" with libjpeg's message code (6b numbering).
class EJPEG : public Error {
 public:
  explicit EJPEG(int code);
  int code() const noexcept { return code_; }

 private:
  int code_;
};

// "Cannot create file "<absolute destination path>". <system text>"
class EFCreateError : public Error {
 public:
  EFCreateError(const std::string& path, int errnum);
};

// "源目录和目标目录相同!": the destination is the source itself (the same file on the disk,
// whatever the spellings), which a thumbnail must never replace.
class ESameFile : public Error {
 public:
  ESameFile();
};

// "Cannot create file "<destination>" of "<source>": it is already the thumbnail of
// "<earlier source>"": one run would write one destination twice.
class EDestinationTaken : public Error {
 public:
  EDestinationTaken(const std::string& destination, const std::string& source,
                    const std::string& earlierSource);
};

// The system's text for an errno value.
std::string systemErrorText(int errnum);

// The path made absolute against the current directory, as error texts show it.
std::string expandedPath(const std::string& path);

}  // namespace velmora
