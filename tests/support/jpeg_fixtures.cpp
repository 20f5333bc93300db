#include "jpeg_fixtures.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

namespace velmora::testing {

namespace {

unsigned hashNoise(unsigned x, unsigned y, unsigned seed) {
  unsigned h = x * 374761393u + y * 668265263u + seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return h ^ (h >> 16);
}

// mkdir -p: every missing folder of the path.
void makeFolders(const std::string& path) {
  for (std::size_t at = path.find('/', 1);; at = path.find('/', at + 1)) {
    ::mkdir(path.substr(0, at).c_str(), 0777);
    if (at == std::string::npos) break;
  }
}

int componentsOf(FileColours colours) {
  switch (colours) {
    case FileColours::Grey:
      return 1;
    case FileColours::Cmyk:
    case FileColours::Ycck:
      return 4;
    default:
      return 3;
  }
}

}  // namespace

Bytes testSamples(int width, int height, int components, unsigned seed) {
  std::vector<unsigned char> samples(static_cast<std::size_t>(width) * height * components);
  std::size_t i = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const unsigned noise = hashNoise(x, y, seed);
      for (int c = 0; c < components; ++c) {
        const int gradient =
            c % 2 == 0 ? x * 255 / std::max(width - 1, 1) : y * 255 / std::max(height - 1, 1);
        const int edge = ((x / 7 + y / 5 + c) % 3) * 40;
        const int value = (gradient + edge + static_cast<int>((noise >> (8 * c)) % 24)) % 256;
        samples[i++] = static_cast<unsigned char>(value);
      }
    }
  }
  return samples;
}

Bytes encodeJpeg(int width, int height, const EncodeOptions& options, unsigned seed) {
  return encodeSamples(testSamples(width, height, componentsOf(options.colours), seed), width,
                       height, options);
}

Bytes encodeSamples(const Bytes& samples, int width, int height, const EncodeOptions& options) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = width;
  cinfo.image_height = height;
  const int components = componentsOf(options.colours);
  cinfo.input_components = components;
  cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : (components == 4 ? JCS_CMYK : JCS_RGB);
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, options.quality, TRUE);
  switch (options.colours) {
    case FileColours::Rgb:
      jpeg_set_colorspace(&cinfo, JCS_RGB);
      break;
    case FileColours::Cmyk:
      jpeg_set_colorspace(&cinfo, JCS_CMYK);
      break;
    case FileColours::Ycck:
      jpeg_set_colorspace(&cinfo, JCS_YCCK);
      break;
    default:
      break;
  }
  cinfo.comp_info[0].h_samp_factor = options.lumaH;
  cinfo.comp_info[0].v_samp_factor = options.lumaV;
  for (int c = 1; c < components; ++c) {
    cinfo.comp_info[c].h_samp_factor = options.chromaH;
    cinfo.comp_info[c].v_samp_factor = options.chromaV;
  }
  cinfo.arith_code = options.arithmetic ? TRUE : FALSE;
  cinfo.restart_interval = static_cast<unsigned>(options.restartInterval);
  if (options.progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  const Bytes app1 = !options.app1.empty() ? options.app1
                     : options.exifOrientation != 0
                         ? exifPayload(options.exifOrientation, options.exifLittleEndian)
                         : Bytes{};
  if (!app1.empty())
    jpeg_write_marker(&cinfo, JPEG_APP0 + 1, app1.data(), static_cast<unsigned>(app1.size()));
  for (const auto& [marker, payload] : options.segments)
    jpeg_write_marker(&cinfo, marker, payload.data(), static_cast<unsigned>(payload.size()));
  const std::size_t rowBytes = static_cast<std::size_t>(width) * components;
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPLE*>(&samples[cinfo.next_scanline * rowBytes]);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  Bytes bytes(buffer, buffer + size);
  jpeg_destroy_compress(&cinfo);
  std::free(buffer);
  return bytes;
}

void writeJpeg(const std::string& path, int width, int height, unsigned seed) {
  const std::size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0) makeFolders(path.substr(0, slash));
  writeBytes(path, encodeJpeg(width, height, {}, seed));
}

Bytes exifPayload(int orientation, bool littleEndian) {
  Bytes p = {'E', 'x', 'i', 'f', 0, 0};
  auto u16 = [&](unsigned v) {
    if (littleEndian) {
      p.push_back(v & 0xFF);
      p.push_back(v >> 8);
    } else {
      p.push_back(v >> 8);
      p.push_back(v & 0xFF);
    }
  };
  auto u32 = [&](unsigned v) {
    if (littleEndian) {
      u16(v & 0xFFFF);
      u16(v >> 16);
    } else {
      u16(v >> 16);
      u16(v & 0xFFFF);
    }
  };
  p.push_back(littleEndian ? 'I' : 'M');
  p.push_back(littleEndian ? 'I' : 'M');
  u16(42);
  u32(8);
  u16(1);
  u16(0x0112);
  u16(3);
  u32(1);
  u16(static_cast<unsigned>(orientation));
  u16(0);
  u32(0);
  return p;
}

namespace {

// A big-endian TIFF block behind the EXIF header, written field by field.
class TiffWriter {
 public:
  explicit TiffWriter(std::uint32_t firstIfd = 8) {
    bytes.insert(bytes.end(), {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42});
    u32(firstIfd);
  }
  void u16(unsigned value) {
    bytes.push_back(static_cast<unsigned char>(value >> 8));
    bytes.push_back(static_cast<unsigned char>(value));
  }
  void u32(std::uint32_t value) {
    u16(value >> 16);
    u16(value & 0xFFFF);
  }
  // One 12-byte directory entry whose value (or offset) is a 32-bit field.
  void entry(unsigned tag, unsigned type, std::uint32_t count, std::uint32_t value) {
    u16(tag);
    u16(type);
    u32(count);
    u32(value);
  }
  Bytes bytes;
};

constexpr unsigned kOrientationTag = 0x0112;
constexpr unsigned kExifIfdTag = 0x8769;
constexpr unsigned kShort = 3;
constexpr unsigned kLong = 4;

}  // namespace

Bytes exifLoop() {
  TiffWriter t;
  t.u16(2);
  t.entry(kExifIfdTag, kLong, 1, 8);
  t.entry(kOrientationTag, kShort, 1, 6u << 16);
  t.u32(8);
  return t.bytes;
}

Bytes exifOutOfRange() {
  TiffWriter t;
  t.u16(3);
  t.entry(kOrientationTag, kShort, 0x40000000u, 0xFFFFFFF0u);
  t.entry(kExifIfdTag, kLong, 1, 0x7FFFFFFFu);
  t.entry(0x010F, 2, 0xFFFFFFFFu, 0xFFFFFF00u);
  t.u32(0xFFFFFFFFu);
  return t.bytes;
}

Bytes exifBadFirstDirectory() {
  TiffWriter t(0xFFFFFFF8u);
  t.u16(0xFFFF);
  return t.bytes;
}

namespace {

// TIFF directories in either byte order, each written after the ones it points at, with its
// values right behind it.
class TiffBlock {
 public:
  struct Field {
    unsigned tag;
    unsigned type;
    std::uint32_t count;
    Bytes value;
  };

  explicit TiffBlock(bool littleEndian) : littleEndian_(littleEndian) {
    const unsigned char order = littleEndian ? 'I' : 'M';
    bytes_ = {'E', 'x', 'i', 'f', 0, 0, order, order};
    append(number(42, 2));
    append(number(0, 4));
  }

  Bytes number(std::uint32_t value, std::size_t size) const {
    Bytes b(size);
    for (std::size_t i = 0; i < size; ++i)
      b[i] = static_cast<unsigned char>(value >> (8 * (littleEndian_ ? i : size - 1 - i)));
    return b;
  }
  Field shortField(unsigned tag, unsigned value) const { return {tag, 3, 1, number(value, 2)}; }
  Field longField(unsigned tag, std::uint32_t value) const { return {tag, 4, 1, number(value, 4)}; }
  static Field text(unsigned tag, const std::string& s) {
    Bytes b(s.begin(), s.end());
    b.push_back(0);
    return {tag, 2, static_cast<std::uint32_t>(b.size()), b};
  }

  std::uint32_t data(const Bytes& b) {
    const std::uint32_t at = here();
    append(b);
    return at;
  }

  std::uint32_t directory(const std::vector<Field>& fields, std::uint32_t next = 0) {
    const std::uint32_t at = here();
    std::uint32_t valueAt = at + 2 + 12 * static_cast<std::uint32_t>(fields.size()) + 4;
    Bytes values;
    append(number(static_cast<std::uint32_t>(fields.size()), 2));
    for (const Field& f : fields) {
      append(number(f.tag, 2));
      append(number(f.type, 2));
      append(number(f.count, 4));
      if (f.value.size() <= 4) {
        Bytes inline4 = f.value;
        inline4.resize(4, 0);
        append(inline4);
      } else {
        append(number(valueAt + static_cast<std::uint32_t>(values.size()), 4));
        values.insert(values.end(), f.value.begin(), f.value.end());
      }
    }
    append(number(next, 4));
    append(values);
    return at;
  }

  Bytes finish(std::uint32_t firstDirectory) {
    const Bytes first = number(firstDirectory, 4);
    std::copy(first.begin(), first.end(), bytes_.begin() + 10);
    return bytes_;
  }

 private:
  std::uint32_t here() const { return static_cast<std::uint32_t>(bytes_.size() - 6); }
  void append(const Bytes& b) { bytes_.insert(bytes_.end(), b.begin(), b.end()); }

  bool littleEndian_;
  Bytes bytes_;
};

}  // namespace

Bytes cameraExifPayload(bool littleEndian) {
  TiffBlock t(littleEndian);
  const std::uint32_t thumbnail = t.data(Bytes(200, 0xAB));
  const std::uint32_t ifd1 =
      t.directory({t.longField(0x0201, thumbnail), t.longField(0x0202, 200)});
  const std::uint32_t interop = t.directory({{0x0001, 2, 4, {'R', '0', '3', 0}}});
  const std::uint32_t exif = t.directory({
      t.shortField(0xA001, 0xFFFF),
      t.longField(0xA002, 4000),
      t.longField(0xA003, 3000),
      t.longField(0xA005, interop),
      {0x927C, 7, 40, Bytes(40, 0x5A)},
  });
  const std::uint32_t gps = t.directory({TiffBlock::text(0x0001, "N")});
  const std::uint32_t ifd0 = t.directory(
      {
          t.shortField(0x0100, 4000),
          t.shortField(0x0101, 3000),
          TiffBlock::text(0x010F, "Velmora Camera"),
          t.shortField(0x0112, 6),
          t.longField(0x8769, exif),
          t.longField(0x8825, gps),
      },
      ifd1);
  return t.finish(ifd0);
}

Bytes xmpPayload() {
  const std::string text = std::string("http://ns.adobe.com/xap/1.0/", 29) +
                           "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF><rdf:Description "
                           "tiff:Orientation=\"6\" exif:PixelXDimension=\"4000\"/></rdf:RDF>"
                           "</x:xmpmeta>";
  return Bytes(text.begin(), text.end());
}

RgbImage decodePlain(const Bytes& jpeg) {
  jpeg_decompress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, jpeg.data(), jpeg.size());
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  RgbImage image;
  image.width = static_cast<std::int32_t>(cinfo.output_width);
  image.height = static_cast<std::int32_t>(cinfo.output_height);
  image.pixels.resize(image.rowBytes() * image.height);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = &image.pixels[cinfo.output_scanline * image.rowBytes()];
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return image;
}

std::vector<Segment> headerSegments(const Bytes& jpeg) {
  std::vector<Segment> segments;
  if (jpeg.size() < 2 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) return segments;
  segments.push_back({0xD8, {}});
  std::size_t at = 2;
  while (at + 4 <= jpeg.size()) {
    if (jpeg[at] != 0xFF) throw std::runtime_error("not a marker");
    const int marker = jpeg[at + 1];
    const std::size_t length = jpeg[at + 2] << 8 | jpeg[at + 3];
    if (length < 2 || at + 2 + length > jpeg.size()) throw std::runtime_error("bad length");
    segments.push_back({marker, Bytes(jpeg.begin() + at + 4, jpeg.begin() + at + 2 + length)});
    at += 2 + length;
    if (marker == 0xDA) break;
  }
  return segments;
}

std::size_t findMarker(const Bytes& jpeg, unsigned char code) {
  std::size_t at = 2;
  while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF) {
    if (jpeg[at + 1] == code) return at;
    if (jpeg[at + 1] == 0xDA) break;
    at += 2 + (static_cast<std::size_t>(jpeg[at + 2]) << 8 | jpeg[at + 3]);
  }
  return std::string::npos;
}

std::size_t frameHeader(const Bytes& jpeg) {
  for (unsigned char code : {0xC0, 0xC1, 0xC2, 0xC9, 0xCA}) {
    const std::size_t at = findMarker(jpeg, code);
    if (at != std::string::npos) return at;
  }
  throw std::logic_error("sample has no frame header");
}

std::size_t scanHeaderOffset(const Bytes& jpeg) {
  const std::size_t at = findMarker(jpeg, 0xDA);
  if (at == std::string::npos) throw std::logic_error("sample has no scan");
  return at;
}

FrameInfo readFrame(const Bytes& jpeg) {
  FrameInfo info;
  if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) return info;
  const std::size_t sof = findMarker(jpeg, 0xC0);
  if (sof == std::string::npos || sof + 10 > jpeg.size() ||
      findMarker(jpeg, 0xDA) == std::string::npos)
    return info;
  info.parsed = true;
  info.height = static_cast<unsigned>(jpeg[sof + 5] << 8 | jpeg[sof + 6]);
  info.width = static_cast<unsigned>(jpeg[sof + 7] << 8 | jpeg[sof + 8]);
  info.components = jpeg[sof + 9];
  info.complete = jpeg[jpeg.size() - 2] == 0xFF && jpeg[jpeg.size() - 1] == 0xD9;
  return info;
}

namespace {
void put16(Bytes& bytes, std::size_t at, unsigned value) {
  bytes[at] = static_cast<unsigned char>(value >> 8);
  bytes[at + 1] = static_cast<unsigned char>(value);
}
}  // namespace

Bytes withFrameType(Bytes jpeg, unsigned char sofCode) {
  jpeg[frameHeader(jpeg) + 1] = sofCode;
  return jpeg;
}

Bytes withPrecision(Bytes jpeg, unsigned bits) {
  jpeg[frameHeader(jpeg) + 4] = static_cast<unsigned char>(bits);
  return jpeg;
}

Bytes withFrameSize(Bytes jpeg, unsigned width, unsigned height) {
  const std::size_t sof = frameHeader(jpeg);
  put16(jpeg, sof + 5, height);
  put16(jpeg, sof + 7, width);
  return jpeg;
}

Bytes withSampling(Bytes jpeg, std::initializer_list<unsigned char> factors) {
  const std::size_t sof = frameHeader(jpeg);
  std::size_t component = 0;
  for (unsigned char f : factors) jpeg[sof + 10 + 1 + 3 * component++] = f;
  return jpeg;
}

Bytes cutAt(const Bytes& jpeg, std::size_t length) {
  return Bytes(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(length));
}

Bytes withFrameHeaderAfterScan(const Bytes& jpeg) {
  const std::size_t sof = frameHeader(jpeg);
  const std::size_t length = 2 + (static_cast<std::size_t>(jpeg[sof + 2]) << 8 | jpeg[sof + 3]);
  Bytes out(jpeg.begin(), jpeg.end() - 2);
  out.insert(out.end(), jpeg.begin() + static_cast<std::ptrdiff_t>(sof),
             jpeg.begin() + static_cast<std::ptrdiff_t>(sof + length));
  out.insert(out.end(), {0xFF, 0xD9});
  return out;
}

Bytes withCorruptHuffmanTable(Bytes jpeg) {
  const std::size_t dht = findMarker(jpeg, 0xC4);
  if (dht == std::string::npos) throw std::logic_error("sample has no Huffman table");
  unsigned char* counts = &jpeg[dht + 5];
  int moved = 0;
  for (int length = 15; length > 0 && moved < 3; --length) {
    while (counts[length] > 0 && moved < 3) {
      --counts[length];
      ++moved;
    }
  }
  counts[0] = static_cast<unsigned char>(counts[0] + moved);
  return jpeg;
}

const Bytes& soiEoi() {
  static const Bytes bytes = {0xFF, 0xD8, 0xFF, 0xD9};
  return bytes;
}

const Bytes& pngSignature() {
  static const Bytes bytes = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0,    0,    0,
                              13,   'I', 'H', 'D', 'R',  0,    0,    0,    1,    0,    0,
                              0,    1,   8,   2,   0,    0,    0,    0x90, 0x77, 0x53, 0xDE};
  return bytes;
}

const Bytes& gifSignature() {
  static const Bytes bytes = {'G',  'I', 'F', '8', '9', 'a', 1,   0,   1,   0,
                              0x80, 0,   0,   0,   0,   0,   255, 255, 255, ';'};
  return bytes;
}

const Bytes& bmpSignature() {
  static const Bytes bytes = {'B', 'M', 58, 0, 0, 0, 0, 0, 0,  0, 54, 0, 0, 0, 40, 0, 0,   0, 1, 0,
                              0,   0,   1,  0, 0, 0, 1, 0, 24, 0, 0,  0, 0, 0, 4,  0, 0,   0, 0, 0,
                              0,   0,   0,  0, 0, 0, 0, 0, 0,  0, 0,  0, 0, 0, 0,  0, 255, 0};
  return bytes;
}

Bytes textBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Missing or unreadable files read as empty: the tests compare the text with what they expect.
std::string fileContents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

namespace {
void writeText(const std::string& path, const char* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data, static_cast<std::streamsize>(size));
  if (!out) throw std::runtime_error("cannot write " + path);
}
}  // namespace

void writeBytes(const std::string& path, const Bytes& bytes) {
  writeText(path, reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

bool fileExists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

std::set<std::string> folderEntries(const std::string& folder) {
  std::set<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.insert(name);
  }
  ::closedir(dir);
  return names;
}

TempFolder::TempFolder() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/velmora-test-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

namespace {
void removeTree(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return;
  if (S_ISDIR(info.st_mode)) {
    ::chmod(path.c_str(), 0700);
    for (const std::string& name : folderEntries(path)) removeTree(path + "/" + name);
    ::rmdir(path.c_str());
  } else {
    ::unlink(path.c_str());
  }
}
}  // namespace

TempFolder::~TempFolder() { removeTree(path_); }

std::string TempFolder::write(const std::string& name, const std::string& bytes) const {
  const std::string path = file(name);
  makeFolders(path.substr(0, path.rfind('/')));
  writeText(path, bytes.data(), bytes.size());
  return path;
}

std::string TempFolder::write(const std::string& name, const Bytes& bytes) const {
  return write(name, std::string(bytes.begin(), bytes.end()));
}

}  // namespace velmora::testing
