// The PNG writer: what libpng's own reader gets back, pixels and text chunks.

#include "core/png/png_encoder.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstring>

#include "core/png/png_texts.h"
#include "jpeg_fixtures.h"

namespace velmora {
namespace {

using testing::Bytes;
using testing::TempFolder;

// Decodes with libpng's simplified reader, which shares no code with the writer under test.
Bytes decodeRgb(const Bytes& png, png_uint_32& width, png_uint_32& height) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  EXPECT_NE(png_image_begin_read_from_memory(&image, png.data(), png.size()), 0);
  image.format = PNG_FORMAT_RGB;
  Bytes pixels(PNG_IMAGE_SIZE(image));
  EXPECT_NE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr), 0);
  width = image.width;
  height = image.height;
  return pixels;
}

TEST(PngEncoder, PixelsAndTextsComeBackAsWritten) {
  const int width = 5;
  const int height = 3;
  const Bytes samples = testing::testSamples(width, height, 3);
  const std::vector<PngText> texts = {{"Thumb::URI", "file:///a%20b/%E9.jpg"},
                                      {"Thumb::MTime", "1700000000"},
                                      {"Software", "Velmora"}};
  PngEncoder encoder(width, height, texts);
  for (int y = 0; y < height; ++y) encoder.writeRow(samples.data() + y * width * 3);
  const Bytes png = encoder.finish();

  png_uint_32 decodedWidth = 0;
  png_uint_32 decodedHeight = 0;
  EXPECT_EQ(decodeRgb(png, decodedWidth, decodedHeight), samples);
  EXPECT_EQ(decodedWidth, 5u);
  EXPECT_EQ(decodedHeight, 3u);

  const TempFolder folder;
  folder.write("t.png", png);
  folder.write("cut.png", Bytes(png.begin(), png.begin() + 40));
  const DirectoryHandle held = openFolder(folder.path());
  const std::optional<std::vector<PngText>> read = readPngTexts(held, "t.png");
  ASSERT_TRUE(read);
  ASSERT_EQ(read->size(), texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ((*read)[i].key, texts[i].key);
    EXPECT_EQ((*read)[i].text, texts[i].text);
  }
  EXPECT_FALSE(readPngTexts(held, "cut.png"));
  EXPECT_FALSE(readPngTexts(held, "missing.png"));
}

}  // namespace
}  // namespace velmora
