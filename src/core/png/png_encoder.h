#pragma once
// The one PNG encoder over libpng: 8-bit RGB rows in, the file's bytes out, with text chunks.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velmora {

// One tEXt chunk. Both parts are Latin-1; the key is 1 to 79 bytes.
struct PngText {
  std::string key;
  std::string text;
};

// Encodes an 8-bit RGB picture, not interlaced, with the text chunks before the pixels (where a
// reader that stops at the pixels still finds them). Rows go in top to bottom; the file is
// built in memory.
class PngEncoder {
 public:
  // Throws EWriteError when libpng refuses the picture or the texts.
  PngEncoder(std::int32_t width, std::int32_t height, const std::vector<PngText>& texts);
  ~PngEncoder();
  PngEncoder(const PngEncoder&) = delete;
  PngEncoder& operator=(const PngEncoder&) = delete;

  // Takes width * 3 bytes of RGB. Throws EWriteError when libpng fails (out of memory).
  void writeRow(const unsigned char* rgb);
  // Ends the file after the last row and hands over its bytes. Throws EWriteError.
  std::vector<unsigned char> finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace velmora
