#include "cli/terminal_text.h"

#include <cstdio>

namespace velmora::cli {

namespace {

void appendEscape(std::string& text, unsigned char byte) {
  switch (byte) {
    case '\a':
      text += "\\a";
      return;
    case '\b':
      text += "\\b";
      return;
    case '\t':
      text += "\\t";
      return;
    case '\n':
      text += "\\n";
      return;
    case '\v':
      text += "\\v";
      return;
    case '\f':
      text += "\\f";
      return;
    case '\r':
      text += "\\r";
      return;
    case '\\':
      text += "\\\\";
      return;
    default: {
      char octal[8];
      std::snprintf(octal, sizeof octal, "\\%03o", byte);
      text += octal;
    }
  }
}

bool isControl(unsigned char byte) { return byte < 0x20 || byte == 0x7f; }

// U+0080 to U+009F in UTF-8: some terminals take them as control sequence introducers.
bool startsC1(const std::string& name, std::size_t at) {
  return static_cast<unsigned char>(name[at]) == 0xc2 && at + 1 < name.size() &&
         static_cast<unsigned char>(name[at + 1]) >= 0x80 &&
         static_cast<unsigned char>(name[at + 1]) <= 0x9f;
}

}  // namespace

std::string escapedForTerminal(const std::string& name) {
  std::string text;
  text.reserve(name.size());
  for (std::size_t at = 0; at < name.size(); ++at) {
    const auto byte = static_cast<unsigned char>(name[at]);
    if (startsC1(name, at)) {
      appendEscape(text, byte);
      appendEscape(text, static_cast<unsigned char>(name[++at]));
    } else if (isControl(byte) || byte == '\\') {
      appendEscape(text, byte);
    } else {
      text += name[at];
    }
  }
  return text;
}

}  // namespace velmora::cli
