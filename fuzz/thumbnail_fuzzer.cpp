// libFuzzer target: arbitrary bytes through the whole thumbnail path (read, header, sizing of
// one or three outputs, colour profile, decode, sampling or averaging, colour conversion, the
// kept metadata rewritten, encode to memory). The input lives in an anonymous memory file, so the
// engine reads it exactly as it reads a file on disk and nothing touches the disk.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/errors.h"
#include "core/thumbnail/thumbnail_writer.h"
#include "fuzz_input.h"

namespace {

// The target's one decoder budget, kept well under the fuzzer's memory limit.
velmora::DecoderMemoryBudget decoderMemory([] { return std::uint64_t{512} << 20; });

// Pictures above this many pixels are skipped: their decode takes seconds and teaches the
// fuzzer nothing the small ones do not. The huge-header cases are tests of their own.
constexpr std::uint64_t kMaxPixels = 1u << 21;

bool isFrameMarker(unsigned char code) {
  return code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
}

// Looks at every byte pair that could start a frame header, wherever the decoder might find it.
bool claimsTooManyPixels(const unsigned char* data, std::size_t size) {
  for (std::size_t i = 0; i + 9 <= size; ++i) {
    if (data[i] != 0xFF || !isFrameMarker(data[i + 1])) continue;
    const std::uint64_t height = data[i + 5] << 8 | data[i + 6];
    const std::uint64_t width = data[i + 7] << 8 | data[i + 8];
    if (height * width > kMaxPixels) return true;
  }
  return false;
}

int inputFile() {
  static const int fd = memfd_create("velmora-fuzz-input", 0);
  if (fd < 0) std::abort();
  return fd;
}

void replaceContents(int fd, const unsigned char* data, std::size_t size) {
  if (ftruncate(fd, 0) != 0) std::abort();
  std::size_t done = 0;
  while (done < size) {
    const ssize_t wrote = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
    if (wrote <= 0) std::abort();
    done += static_cast<std::size_t>(wrote);
  }
}

// A success must be a whole JPEG file; an empty or unterminated one would be a failure
// reported as success.
void checkWholeJpeg(const std::vector<unsigned char>& jpeg) {
  const std::size_t n = jpeg.size();
  if (n < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8 || jpeg[n - 2] != 0xFF || jpeg[n - 1] != 0xD9)
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < velmora::fuzzing::kSettingsBytes) return 0;
  const velmora::SizingRequest sizing = velmora::fuzzing::sizingFromSettings(data);
  const velmora::SamplingFilter filter = velmora::fuzzing::filterFromSettings(data);
  const velmora::KeptMetadata keep = velmora::fuzzing::keptFromSettings(data);
  const velmora::ColourHandling colour = velmora::fuzzing::colourFromSettings(data);
  data += velmora::fuzzing::kSettingsBytes;
  size -= velmora::fuzzing::kSettingsBytes;
  if (claimsTooManyPixels(data, size)) return 0;

  const int fd = inputFile();
  replaceContents(fd, data, size);
  velmora::ThumbnailRequest request;
  request.sourcePath = "/proc/self/fd/" + std::to_string(fd);
  request.sizing = sizing;
  request.filter = filter;
  request.keep = keep;
  request.colour = colour;
  request.moreOutputs = velmora::fuzzing::moreOutputsFromSettings(sizing);
  try {
    const velmora::RenderedThumbnail rendered =
        velmora::renderThumbnail(request, velmora::DecodeLimits{decoderMemory});
    for (const velmora::RenderedOutput& output : rendered.outputs) {
      if (!output.refused) checkWholeJpeg(output.jpeg);
    }
  } catch (const velmora::Error&) {
    // The named errors are the expected outcome of a malformed file; anything else escapes
    // and is reported as a crash.
  }
  return 0;
}
