#pragma once
// Test inputs made with libjpeg: synthetic pictures encoded with chosen settings, and helpers
// to read back what the engine wrote.

#include <cstdint>
#include <string>
#include <vector>

#include "core/rgb_image.h"

namespace velmora::testing {

enum class FileColours { YCbCr, Rgb, Grey, Cmyk, Ycck };

struct EncodeOptions {
  FileColours colours = FileColours::YCbCr;
  int quality = 90;
  int lumaH = 2;  // sampling factors of the first component; the others are 1 x 1
  int lumaV = 2;
  bool progressive = false;
  bool arithmetic = false;
  int restartInterval = 0;  // in MCUs
  int exifOrientation = 0;  // 0: no EXIF block
  bool exifLittleEndian = true;
};

// A picture with smooth gradients, sharp edges and noise, so that every row and column differs.
// For Grey the samples are one byte a pixel, for Cmyk and Ycck four (stored inverted, as Adobe
// software writes them), otherwise RGB.
std::vector<unsigned char> testSamples(int width, int height, int components, unsigned seed = 1);

std::vector<unsigned char> encodeJpeg(int width, int height, const EncodeOptions& options = {},
                                      unsigned seed = 1);
std::vector<unsigned char> encodeSamples(const std::vector<unsigned char>& samples, int width,
                                         int height, const EncodeOptions& options);

// An APP1 payload with an EXIF IFD0 holding only the orientation tag.
std::vector<unsigned char> exifPayload(int orientation, bool littleEndian);

// Decodes a file to RGB with libjpeg's plain defaults (for reading back written thumbnails).
RgbImage decodePlain(const std::vector<unsigned char>& jpeg);

struct Segment {
  int marker;                          // the byte after 0xFF
  std::vector<unsigned char> payload;  // without the length bytes
};
// The marker segments from SOI up to and including SOS.
std::vector<Segment> headerSegments(const std::vector<unsigned char>& jpeg);

std::vector<unsigned char> readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::vector<unsigned char>& bytes);
bool fileExists(const std::string& path);
std::vector<std::string> folderEntries(const std::string& folder);

// A fresh folder, removed with its contents at the end of the test.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace velmora::testing
