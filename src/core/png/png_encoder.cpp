#include "core/png/png_encoder.h"

#include <new>
#include <utility>

#include "core/errors.h"
#include "core/png/png_guard.h"

namespace velmora {

namespace {

// zlib's level 3 with libpng's adaptive choice among the five filters. Measured over 256-pixel
// thumbnails of photos (about 57 KiB each): level 6, zlib's default, made them 0.9 % smaller in
// 3.7 times the time, level 9 1.6 % smaller in 7 times; levels 1 and 2 made them 1.4 % to 2.3 %
// larger for little gain in time. One filter alone (Paeth) was 1.4 % larger and no faster.
// Entries are read far more often than written, but past level 3 the bytes saved are too few.
constexpr int kCompressionLevel = 3;

// Appends libpng's output to the byte vector. This callback runs inside libpng, and a fatal
// error jumps from it back to the guard: it holds no object with a destructor, and a failure
// to grow is raised as libpng's own error once the try block has ended.
void appendBytes(png_structp png, png_bytep data, png_size_t length) {
  auto& bytes = *static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
  bool grown = true;
  try {
    bytes.insert(bytes.end(), data, data + length);
  } catch (const std::bad_alloc&) {
    grown = false;
  }
  if (!grown) png_error(png, "out of memory");
}

void flushNothing(png_structp) {}

}  // namespace

struct PngEncoder::State {
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::vector<unsigned char> bytes;

  ~State() { png_destroy_write_struct(&png, info ? &info : nullptr); }

  template <typename Call>
  void run(const Call& call) {
    if (!pngGuarded(png, call)) throw EWriteError();
  }
};

PngEncoder::PngEncoder(std::int32_t width, std::int32_t height, const std::vector<PngText>& texts)
    : state_(std::make_unique<State>()) {
  State& s = *state_;
  s.png = createPngWriter();
  if (s.png) s.info = png_create_info_struct(s.png);
  if (!s.png || !s.info) throw std::bad_alloc();
  // libpng copies the texts when they are set; the chunk list only points into `texts`.
  std::vector<png_text> chunks(texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    chunks[i].compression = PNG_TEXT_COMPRESSION_NONE;
    chunks[i].key = const_cast<char*>(texts[i].key.c_str());
    chunks[i].text = const_cast<char*>(texts[i].text.c_str());
    chunks[i].text_length = texts[i].text.size();
  }
  png_text* const chunkList = chunks.data();
  const int chunkCount = static_cast<int>(chunks.size());
  s.run([&] {
    png_set_write_fn(s.png, &s.bytes, appendBytes, flushNothing);
    png_set_IHDR(s.png, s.info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height),
                 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(s.png, kCompressionLevel);
    png_set_filter(s.png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
    if (chunkCount > 0) png_set_text(s.png, s.info, chunkList, chunkCount);
    png_write_info(s.png, s.info);
  });
}

PngEncoder::~PngEncoder() = default;

void PngEncoder::writeRow(const unsigned char* rgb) {
  State& s = *state_;
  s.run([&] { png_write_row(s.png, rgb); });
}

std::vector<unsigned char> PngEncoder::finish() {
  State& s = *state_;
  s.run([&] { png_write_end(s.png, nullptr); });
  return std::move(s.bytes);
}

}  // namespace velmora
