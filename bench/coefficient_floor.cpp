// The entropy-decoding floor: reads each file into memory and decodes its DCT coefficients
// with jpeg_read_coefficients, and nothing else (no inverse DCT, no colour conversion, no
// sampling, no encoding). A thumbnailer that must look at every coefficient cannot use less
// CPU than this, so its CPU time is measured against this program's.
//
//   coefficient_floor FILE...          decode every file's coefficients, one after another
//   coefficient_floor --modes FILE...  print "baseline|progressive WIDTHxHEIGHT FILE" per file
//
// libjpeg's standard error handler is kept on purpose: the photo set is known to be readable,
// and an unreadable file should stop the measurement loudly rather than be skipped.

#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

// jpeglib.h relies on size_t and FILE being declared before it.
#include <jpeglib.h>

namespace {

std::vector<unsigned char> readWholeFile(const char* path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) {
    std::fprintf(stderr, "coefficient_floor: cannot open %s\n", path);
    std::exit(1);
  }
  std::vector<unsigned char> bytes(static_cast<std::size_t>(in.tellg()));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

// Returns whether the file is progressive; decodes its coefficients when asked to. The frame's
// size is left in cinfo.
bool decodeFile(jpeg_decompress_struct& cinfo, const char* path, bool readCoefficients) {
  const std::vector<unsigned char> bytes = readWholeFile(path);
  jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&cinfo, TRUE);
  const bool progressive = jpeg_has_multiple_scans(&cinfo);
  if (readCoefficients) {
    jpeg_read_coefficients(&cinfo);
    jpeg_finish_decompress(&cinfo);
  } else {
    jpeg_abort_decompress(&cinfo);
  }
  return progressive;
}

}  // namespace

int main(int argc, char** argv) {
  int first = 1;
  const bool modes = argc > 1 && std::strcmp(argv[1], "--modes") == 0;
  if (modes) {
    ++first;
  }
  if (first >= argc) {
    std::fprintf(stderr, "usage: coefficient_floor [--modes] FILE...\n");
    return 2;
  }

  // libjpeg keeps a whole-picture coefficient array; allocated afresh for every file, its pages
  // would be mapped and zeroed by the kernel each time, a cost that belongs to this program's
  // way of decoding, not to entropy decoding. Keeping freed memory in the heap reuses the pages.
  mallopt(M_MMAP_THRESHOLD, 1 << 30);
  mallopt(M_TRIM_THRESHOLD, -1);

  jpeg_decompress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&cinfo);
  for (int i = first; i < argc; ++i) {
    const bool progressive = decodeFile(cinfo, argv[i], !modes);
    if (modes) {
      std::printf("%s %ux%u %s\n", progressive ? "progressive" : "baseline", cinfo.image_width,
                  cinfo.image_height, argv[i]);
    }
  }
  jpeg_destroy_decompress(&cinfo);
  return 0;
}
