#include "jpeg_fixtures.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

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

std::vector<unsigned char> testSamples(int width, int height, int components, unsigned seed) {
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

std::vector<unsigned char> encodeJpeg(int width, int height, const EncodeOptions& options,
                                      unsigned seed) {
  return encodeSamples(testSamples(width, height, componentsOf(options.colours), seed), width,
                       height, options);
}

std::vector<unsigned char> encodeSamples(const std::vector<unsigned char>& samples, int width,
                                         int height, const EncodeOptions& options) {
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
    cinfo.comp_info[c].h_samp_factor = 1;
    cinfo.comp_info[c].v_samp_factor = 1;
  }
  cinfo.arith_code = options.arithmetic ? TRUE : FALSE;
  cinfo.restart_interval = static_cast<unsigned>(options.restartInterval);
  if (options.progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  if (options.exifOrientation != 0) {
    const std::vector<unsigned char> exif =
        exifPayload(options.exifOrientation, options.exifLittleEndian);
    jpeg_write_marker(&cinfo, JPEG_APP0 + 1, exif.data(), static_cast<unsigned>(exif.size()));
  }
  const std::size_t rowBytes = static_cast<std::size_t>(width) * components;
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPLE*>(&samples[cinfo.next_scanline * rowBytes]);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::vector<unsigned char> bytes(buffer, buffer + size);
  jpeg_destroy_compress(&cinfo);
  std::free(buffer);
  return bytes;
}

std::vector<unsigned char> exifPayload(int orientation, bool littleEndian) {
  std::vector<unsigned char> p = {'E', 'x', 'i', 'f', 0, 0};
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

RgbImage decodePlain(const std::vector<unsigned char>& jpeg) {
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

std::vector<Segment> headerSegments(const std::vector<unsigned char>& jpeg) {
  std::vector<Segment> segments;
  if (jpeg.size() < 2 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) return segments;
  segments.push_back({0xD8, {}});
  std::size_t at = 2;
  while (at + 4 <= jpeg.size()) {
    if (jpeg[at] != 0xFF) throw std::runtime_error("not a marker");
    const int marker = jpeg[at + 1];
    const std::size_t length = jpeg[at + 2] << 8 | jpeg[at + 3];
    if (length < 2 || at + 2 + length > jpeg.size()) throw std::runtime_error("bad length");
    segments.push_back({marker, std::vector<unsigned char>(jpeg.begin() + at + 4,
                                                           jpeg.begin() + at + 2 + length)});
    at += 2 + length;
    if (marker == 0xDA) break;
  }
  return segments;
}

std::vector<unsigned char> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

bool fileExists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

std::vector<std::string> folderEntries(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
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

}  // namespace velmora::testing
