#pragma once
// JPEG inputs made with the cjpeg tool from synthetic pictures, for tests that need real files
// on disk without linking an encoder of their own.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace velmora::testing {

// Writes a width x height JPEG whose pixels depend on `seed`, so that files made with
// different seeds give different thumbnails.
inline void writeJpeg(const std::string& path, int width, int height, unsigned seed) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  const std::string picture = path + ".ppm";
  {
    std::ofstream out(picture, std::ios::binary);
    out << "P6\n" << width << ' ' << height << "\n255\n";
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const unsigned v = (static_cast<unsigned>(x) * (seed + 3) + static_cast<unsigned>(y) * 7 +
                            ((x / 8 + y / 8) % 2) * 90 * seed) &
                           0xFF;
        out.put(static_cast<char>(v))
            .put(static_cast<char>(255 - v))
            .put(static_cast<char>(seed * 40));
      }
    }
  }
  const std::string command = "cjpeg -quality 85 -outfile '" + path + "' '" + picture + "'";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  std::remove(picture.c_str());
}

}  // namespace velmora::testing
