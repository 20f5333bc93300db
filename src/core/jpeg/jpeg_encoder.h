#pragma once
// The one encoder over libjpeg: a codec error becomes EJPEG with the library's message code.

#include <cstdint>
#include <memory>
#include <vector>

namespace velmora {

// Encodes an RGB picture with the thumbnail encoder settings: the given quality (1 to 100) with
// baseline tables, float DCT, YCbCr 4:2:0, standard Huffman tables, JFIF 1.01 with density unit 0
// and 1 x 1, and no other markers than an embedded profile and those written with writeSegment.
// Rows go in top to bottom; the file is built in memory.
class JpegEncoder {
 public:
  JpegEncoder(std::int32_t width, std::int32_t height, int quality);
  ~JpegEncoder();
  JpegEncoder(const JpegEncoder&) = delete;
  JpegEncoder& operator=(const JpegEncoder&) = delete;

  // Writes an ICC profile's APP2 segments after the JFIF header; call before the first row.
  void embedIccProfile(const std::vector<unsigned char>& profile);
  // Writes a marker segment (an APPn or COM marker code and its payload, at most 65533 bytes)
  // after the JFIF header; only before the first row.
  void writeSegment(int marker, const std::vector<unsigned char>& payload);
  // Takes width * 3 bytes of RGB.
  void writeRow(const unsigned char* rgb);
  // Ends the file after the last row and hands over its bytes.
  std::vector<unsigned char> finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace velmora
