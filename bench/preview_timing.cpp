// Times the main window's preview loading (the same read, decode and sampling as a thumbnail)
// on given photographs, to check that clicking through a folder of large photos stays quick.
//
//   preview_timing [--area WxH] [--repeat N] FILE...
//
// The default area is about what the preview box of an 800 x 600 window offers.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <vector>

#include "core/run/heap_policy.h"
#include "core/thumbnail/preview.h"

namespace {

// The program's one decoder budget.
velmora::DecoderMemoryBudget decoderMemory;

struct Options {
  int areaWidth = 179;
  int areaHeight = 236;
  int repeat = 5;
  int firstFile = 1;
};

bool parseOptions(int argc, char** argv, Options& options) {
  int i = 1;
  for (; i < argc && argv[i][0] == '-'; ++i) {
    if (std::strcmp(argv[i], "--area") == 0 && i + 1 < argc) {
      if (std::sscanf(argv[++i], "%dx%d", &options.areaWidth, &options.areaHeight) != 2) {
        return false;
      }
    } else if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
      options.repeat = std::atoi(argv[++i]);
    } else {
      return false;
    }
  }
  options.firstFile = i;
  return i < argc && options.repeat > 0;
}

double millisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

}  // namespace

int main(int argc, char** argv) {
  // The desktop program sets this heap policy first thing; without it every progressive preview
  // would also pay for fresh pages.
  velmora::keepFreedMemoryForReuse();
  Options options;
  if (!parseOptions(argc, argv, options)) {
    std::fprintf(stderr, "usage: preview_timing [--area WxH] [--repeat N] FILE...\n");
    return 2;
  }
  std::printf("%-12s %-10s %8s %8s  %s\n", "source", "preview", "min ms", "median", "file");
  for (int f = options.firstFile; f < argc; ++f) {
    std::vector<double> times;
    velmora::Preview preview;
    try {
      for (int r = 0; r < options.repeat; ++r) {
        const auto start = std::chrono::steady_clock::now();
        preview =
            velmora::loadPreview(argv[f], options.areaWidth, options.areaHeight, decoderMemory);
        times.push_back(millisecondsSince(start));
      }
    } catch (const std::exception& error) {
      std::fprintf(stderr, "%s: %s\n", argv[f], error.what());
      return 1;
    }
    std::sort(times.begin(), times.end());
    char source[32];
    char picture[32];
    std::snprintf(source, sizeof source, "%dx%d", preview.sourceWidth, preview.sourceHeight);
    std::snprintf(picture, sizeof picture, "%dx%d", preview.picture.width, preview.picture.height);
    const char* name = std::strrchr(argv[f], '/');
    std::printf("%-12s %-10s %8.1f %8.1f  %s\n", source, picture, times.front(),
                times[times.size() / 2], name ? name + 1 : argv[f]);
  }
  return 0;
}
