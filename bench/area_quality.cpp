// How close area-averaged thumbnails come to an ideal reduction: for each file, the thumbnail
// that `velmora-thumb --filter area` writes (rendered in memory by the engine) against a
// reference made here independently: the whole file decoded at full size by plain libjpeg and
// box-filtered in floating point to the same size. Prints the PSNR of every file and the
// lowest. Beside it: the nearest-neighbour thumbnail's PSNR against the same reference, the
// format limit (the reference itself written as a thumbnail file, quality 90 with 4:2:0
// chroma, and read back: no thumbnail file can come closer), and the averaged pixels before
// encoding.
//
//   area_quality [--fit WxH | --fill WxH | --rate N] [--beside WxH]... FILE...
//                                                                  (default --fit 200x200)
//
// --beside WxH also renders each thumbnail as the last output of a run whose first outputs are
// --fit WxH, in the order given (one decode, at the scale the largest output needs), and prints
// how much further from the reference it comes than the thumbnail made alone. A --fill
// thumbnail's reference is the centre cut of the full decode, box-filtered.
//
// Four-component (CMYK) files are skipped: libjpeg has no RGB conversion of its own for them.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// jpeglib.h relies on size_t and FILE being declared before it.
#include <jpeglib.h>

#include "core/image/exif_orientation.h"
#include "core/image/nearest_sampling.h"
#include "core/image/pixel_region.h"
#include "core/jpeg/jpeg_decoder.h"
#include "core/jpeg/jpeg_encoder.h"
#include "core/rules/thumbnail_request.h"
#include "core/thumbnail/averaged_decode.h"
#include "core/thumbnail/thumbnail_writer.h"

namespace {

// The program's one decoder budget.
velmora::DecoderMemoryBudget decoderMemory;

struct Picture {
  int width = 0;
  int height = 0;
  int components = 0;
  std::vector<unsigned char> samples;  // RGB
};

std::vector<unsigned char> readWholeFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A plain full-size decode to RGB (greyscale repeated in the three channels).
bool decodeFull(const std::vector<unsigned char>& bytes, Picture& picture) {
  jpeg_decompress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&cinfo, TRUE);
  picture.components = cinfo.num_components;
  if (cinfo.num_components == 4) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  picture.width = static_cast<int>(cinfo.output_width);
  picture.height = static_cast<int>(cinfo.output_height);
  picture.samples.resize(static_cast<std::size_t>(picture.width) * picture.height * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row =
        &picture.samples[static_cast<std::size_t>(cinfo.output_scanline) * picture.width * 3];
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

// For each output sample, the source samples it covers with the covered length of each.
std::vector<std::vector<std::pair<int, double>>> coverage(int source, int output) {
  std::vector<std::vector<std::pair<int, double>>> result(static_cast<std::size_t>(output));
  const double step = static_cast<double>(source) / output;
  for (int i = 0; i < output; ++i) {
    const double begin = i * step;
    const double end = (i + 1) * step;
    for (int j = static_cast<int>(std::floor(begin)); j < source && j < end; ++j) {
      const double covered = std::min(end, j + 1.0) - std::max(begin, static_cast<double>(j));
      if (covered > 0) result[static_cast<std::size_t>(i)].push_back({j, covered / step});
    }
  }
  return result;
}

Picture boxFilter(const Picture& source, int width, int height) {
  const auto across = coverage(source.width, width);
  const auto down = coverage(source.height, height);
  std::vector<double> rows(static_cast<std::size_t>(source.height) * width * 3);
  for (int y = 0; y < source.height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (const auto& [j, w] : across[static_cast<std::size_t>(x)]) {
        for (int c = 0; c < 3; ++c) {
          rows[(static_cast<std::size_t>(y) * width + x) * 3 + c] +=
              w * source.samples[(static_cast<std::size_t>(y) * source.width + j) * 3 + c];
        }
      }
    }
  }
  Picture result{width, height, 3,
                 std::vector<unsigned char>(static_cast<std::size_t>(width) * height * 3)};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < 3; ++c) {
        double sum = 0;
        for (const auto& [j, w] : down[static_cast<std::size_t>(y)]) {
          sum += w * rows[(static_cast<std::size_t>(j) * width + x) * 3 + c];
        }
        result.samples[(static_cast<std::size_t>(y) * width + x) * 3 + c] =
            static_cast<unsigned char>(std::lround(std::clamp(sum, 0.0, 255.0)));
      }
    }
  }
  return result;
}

// The stored picture turned as displayed (equal sizes: the sampling plan only reorders).
Picture orient(const Picture& stored, int orientation) {
  const bool swap = velmora::orientationSwapsSides(orientation);
  const int width = swap ? stored.height : stored.width;
  const int height = swap ? stored.width : stored.height;
  const velmora::SamplingPlan plan(stored.width, stored.height, orientation, width, height);
  Picture shown{width, height, 3, std::vector<unsigned char>(stored.samples.size())};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int line = plan.transposed() ? x : y;
      const int sample = plan.transposed() ? y : x;
      const int sy = plan.storedRowOfLine()[static_cast<std::size_t>(line)];
      const int sx = plan.storedColumnOfSample()[static_cast<std::size_t>(sample)];
      std::memcpy(&shown.samples[(static_cast<std::size_t>(y) * width + x) * 3],
                  &stored.samples[(static_cast<std::size_t>(sy) * stored.width + sx) * 3], 3);
    }
  }
  return shown;
}

double psnr(const Picture& a, const Picture& b) {
  double squares = 0;
  for (std::size_t k = 0; k < a.samples.size(); ++k) {
    const double d = static_cast<double>(a.samples[k]) - b.samples[k];
    squares += d * d;
  }
  const double mse = squares / static_cast<double>(a.samples.size());
  return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

// The reference through the thumbnail's own output format: how close any thumbnail file of
// this size can come.
Picture encodedAndDecoded(const Picture& picture) {
  velmora::JpegEncoder encoder(picture.width, picture.height, velmora::kDefaultQuality);
  for (int y = 0; y < picture.height; ++y) {
    encoder.writeRow(&picture.samples[static_cast<std::size_t>(y) * picture.width * 3]);
  }
  Picture result;
  decodeFull(encoder.finish(), result);
  return result;
}

// The part of a stored picture that a thumbnail of stored sides width x height averages.
Picture kept(const Picture& full, bool fill, int width, int height) {
  if (!fill) return full;
  const velmora::PixelRegion region = velmora::centreCut(full.width, full.height, width, height);
  Picture cut{region.width, region.height, 3, {}};
  for (int y = region.top; y < region.top + region.height; ++y) {
    const auto row =
        full.samples.begin() + (static_cast<std::ptrdiff_t>(y) * full.width + region.left) * 3;
    cut.samples.insert(cut.samples.end(), row, row + static_cast<std::ptrdiff_t>(region.width) * 3);
  }
  return cut;
}

// The thumbnail of `sizing`, alone or made after outputs of the sizes `beside`.
Picture thumbnail(const std::string& path, const velmora::SizingRequest& sizing,
                  velmora::SamplingFilter filter,
                  const std::vector<velmora::SizingRequest>& beside = {}) {
  velmora::ThumbnailRequest request{path, "", sizing, filter};
  if (!beside.empty()) {
    request.sizing = beside.front();
    for (std::size_t i = 1; i < beside.size(); ++i) request.moreOutputs.push_back({"", beside[i]});
    request.moreOutputs.push_back({"", sizing});
  }
  const velmora::RenderedThumbnail rendered =
      velmora::renderThumbnail(request, velmora::DecodeLimits{decoderMemory});
  const velmora::RenderedOutput& output = rendered.outputs.back();
  Picture result;
  if (!output.refused) decodeFull(output.jpeg, result);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  velmora::SizingRequest sizing{velmora::SizingMode::Fit, 0, 200, 200};
  int first = 1;
  if (argc > 2 && (std::strcmp(argv[1], "--fit") == 0 || std::strcmp(argv[1], "--fill") == 0)) {
    int w = 0, h = 0;
    std::sscanf(argv[2], "%dx%d", &w, &h);
    const bool fill = std::strcmp(argv[1], "--fill") == 0;
    sizing = {fill ? velmora::SizingMode::Fill : velmora::SizingMode::Fit, 0, h, w,
              velmora::kLargestSourceSide};
    first = 3;
  } else if (argc > 2 && std::strcmp(argv[1], "--rate") == 0) {
    sizing = {velmora::SizingMode::Rate, std::atoi(argv[2]), 0, 0};
    first = 3;
  }
  const bool fill = sizing.mode == velmora::SizingMode::Fill;
  std::vector<velmora::SizingRequest> beside;
  std::string besideNames;
  while (argc > first + 1 && std::strcmp(argv[first], "--beside") == 0) {
    int w = 0, h = 0;
    std::sscanf(argv[first + 1], "%dx%d", &w, &h);
    beside.push_back({velmora::SizingMode::Fit, 0, h, w, velmora::kLargestSourceSide});
    besideNames += std::string(besideNames.empty() ? "" : ", ") + argv[first + 1];
    first += 2;
  }
  double largestLoss = -99;
  double lowest = 99;
  double lowestUnencoded = 99;
  int measured = 0;
  for (int i = first; i < argc; ++i) {
    Picture area;
    try {
      area = thumbnail(argv[i], sizing, velmora::SamplingFilter::Area);
    } catch (const std::exception& error) {
      std::printf("%-40s %s\n", argv[i], error.what());
      continue;
    }
    const std::vector<unsigned char> bytes = readWholeFile(argv[i]);
    Picture full;
    if (!decodeFull(bytes, full)) {
      std::printf("%-40s skipped (four components)\n", argv[i]);
      continue;
    }
    velmora::JpegDecoder decoder(bytes.data(), bytes.size(), velmora::DecodeLimits{decoderMemory});
    decoder.readHeader();
    const int orientation = decoder.exifOrientation();
    if (area.samples.empty()) {
      std::printf("%-40s refused\n", argv[i]);
      continue;
    }
    const Picture nearest = thumbnail(argv[i], sizing, velmora::SamplingFilter::Nearest);
    const bool swap = velmora::orientationSwapsSides(orientation);
    const int storedWidth = swap ? area.height : area.width;
    const int storedHeight = swap ? area.width : area.height;
    const Picture reference =
        orient(boxFilter(kept(full, fill, storedWidth, storedHeight), storedWidth, storedHeight),
               orientation);
    const double score = psnr(area, reference);
    // The averaged pixels before the thumbnail's own encoding.
    velmora::ImageSink unencoded(area.width, area.height);
    velmora::decodeAveraged(decoder, orientation, area.width, area.height, unencoded,
                            fill ? velmora::Framing::CentreCut : velmora::Framing::Whole);
    const Picture averaged{area.width, area.height, 3, unencoded.take().pixels};
    lowestUnencoded = std::min(lowestUnencoded, psnr(averaged, reference));
    lowest = std::min(lowest, score);
    ++measured;
    if (!beside.empty()) {
      const Picture shared = thumbnail(argv[i], sizing, velmora::SamplingFilter::Area, beside);
      const double loss = score - psnr(shared, reference);
      largestLoss = std::max(largestLoss, loss);
      std::printf("%-40.40s beside %s: %6.2f dB further than alone\n", argv[i], besideNames.c_str(),
                  loss);
    }
    std::printf(
        "%-40.40s %5dx%-5d -> %4dx%-4d area %6.2f  nearest %6.2f  format limit %6.2f  "
        "area unencoded %6.2f dB\n",
        argv[i] +
            std::max<std::ptrdiff_t>(0, static_cast<std::ptrdiff_t>(std::strlen(argv[i])) - 40),
        full.width, full.height, area.width, area.height, score, psnr(nearest, reference),
        psnr(encodedAndDecoded(reference), reference), psnr(averaged, reference));
  }
  std::printf("files measured: %d, lowest area PSNR: %.2f dB (before encoding: %.2f dB)\n",
              measured, lowest, lowestUnencoded);
  if (!beside.empty())
    std::printf("beside a larger output: at most %.2f dB further\n", largestLoss);
  return 0;
}
