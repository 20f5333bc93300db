#include "core/metadata/xmp_rewrite.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace velmora {

namespace {

// The namespace and its terminating zero byte.
constexpr char kXmpSignature[] = "http://ns.adobe.com/xap/1.0/";
constexpr std::size_t kSignatureSize = sizeof kXmpSignature;
constexpr std::size_t kLargestPayload = 0xFFFF - 2;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Replaces the text of `<name>text</name>` whose start tag ends at `close`; returns where the
// search goes on.
std::size_t setElement(std::string& text, std::size_t close, const std::string& value) {
  if (text[close - 1] == '/') return close + 1;  // an empty element holds no text
  const std::size_t start = close + 1;
  const std::size_t end = text.find('<', start);
  if (end == std::string::npos) return text.size();
  text.replace(start, end - start, value);
  return start + value.size();
}

// Replaces the value of `name="value"` (or single quotes) whose name ends before `at`; returns
// where the search goes on.
std::size_t setAttribute(std::string& text, std::size_t at, const std::string& value) {
  while (at < text.size() && isSpace(text[at])) ++at;
  if (at >= text.size() || text[at] != '=') return at;
  ++at;
  while (at < text.size() && isSpace(text[at])) ++at;
  if (at >= text.size() || (text[at] != '"' && text[at] != '\'')) return at;
  const std::size_t start = at + 1;
  const std::size_t end = text.find(text[at], start);
  if (end == std::string::npos) return text.size();
  text.replace(start, end - start, value);
  return start + value.size();
}

// Sets every occurrence of the property `name`, in either form, to `value`.
void setProperty(std::string& text, const std::string& name, const std::string& value) {
  std::size_t from = 0;
  for (;;) {
    const std::size_t at = text.find(name, from);
    if (at == std::string::npos) return;
    const std::size_t after = at + name.size();
    from = after;
    if (at == 0 || after >= text.size()) continue;
    const char before = text[at - 1];
    if (before == '<' && (text[after] == '>' || isSpace(text[after]))) {
      const std::size_t close = text.find('>', after);
      if (close == std::string::npos) return;
      from = setElement(text, close, value);
    } else if (isSpace(before)) {
      from = setAttribute(text, after, value);
    }
  }
}

}  // namespace

bool isXmpBlock(const unsigned char* payload, std::size_t size) {
  return size >= kSignatureSize && std::memcmp(payload, kXmpSignature, kSignatureSize) == 0;
}

RewrittenBlock rewriteXmp(const unsigned char* payload, std::size_t size, std::int32_t width,
                          std::int32_t height, bool coloursMadeSrgb) {
  if (!isXmpBlock(payload, size)) return {{}, "XMP left out: it is not an XMP packet"};
  std::string packet(reinterpret_cast<const char*>(payload) + kSignatureSize,
                     size - kSignatureSize);
  setProperty(packet, "tiff:Orientation", "1");
  setProperty(packet, "tiff:ImageWidth", std::to_string(width));
  setProperty(packet, "tiff:ImageLength", std::to_string(height));
  setProperty(packet, "exif:PixelXDimension", std::to_string(width));
  setProperty(packet, "exif:PixelYDimension", std::to_string(height));
  if (coloursMadeSrgb) {
    setProperty(packet, "exif:ColorSpace", "1");
    setProperty(packet, "photoshop:ICCProfile", "sRGB IEC61966-2.1");
  }
  if (kSignatureSize + packet.size() > kLargestPayload) {
    return {{}, "XMP left out: it does not fit one segment (extended XMP is never kept)"};
  }
  RewrittenBlock result;
  result.payload.resize(kSignatureSize + packet.size());
  std::copy(payload, payload + kSignatureSize, result.payload.begin());
  std::copy(packet.begin(), packet.end(), result.payload.begin() + kSignatureSize);
  return result;
}

}  // namespace velmora
