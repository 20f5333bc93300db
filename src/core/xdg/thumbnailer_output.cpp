#include "core/xdg/thumbnailer_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>
#include <vector>

#include "core/errors.h"
#include "core/files/directory_handle.h"
#include "core/files/path_text.h"
#include "core/png/png_encoder.h"
#include "core/version.h"
#include "core/xdg/cache_render.h"

namespace velmora {

namespace {

std::vector<unsigned char> encodePicture(const RgbImage& picture, PixelSize shown) {
  PngEncoder encoder(picture.width, picture.height,
                     {{"Thumb::Mimetype", "image/jpeg"},
                      {"Thumb::Image::Width", std::to_string(shown.width)},
                      {"Thumb::Image::Height", std::to_string(shown.height)},
                      {"Software", std::string("Velmora ") + kVersion}});
  for (std::int32_t y = 0; y < picture.height; ++y) {
    encoder.writeRow(picture.pixels.data() + static_cast<std::size_t>(y) * picture.rowBytes());
  }
  return encoder.finish();
}

bool writeAll(int fd, const std::vector<unsigned char>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<std::size_t>(written);
  }
  return true;
}

// The output in its folder, created or emptied; a link in its place is not followed. -1 with
// errno set on failure.
int openOutput(const std::string& output) {
  const DirectoryHandle folder = openFolder(folderOf(output));
  if (!folder.isOpen()) return -1;
  return ::openat(folder.fd(), nameOf(output).c_str(),
                  O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
}

}  // namespace

std::vector<std::string> writeThumbnailerOutput(const std::string& source,
                                                const std::string& output, std::int32_t limit,
                                                DecoderMemoryBudget& memory) {
  std::vector<unsigned char> bytes;
  std::vector<std::string> warnings;
  try {
    CachePictures rendered = renderCachePictures(source, {limit}, DecodeLimits{memory});
    bytes = encodePicture(rendered.pictures.front(), rendered.shown);
    warnings = std::move(rendered.warnings);
  } catch (Error& error) {
    error.setFile(source);
    throw;
  }
  const int fd = openOutput(output);
  if (fd < 0) throw EFCreateError(output, errno);
  const bool written = writeAll(fd, bytes);
  if (!written) (void)::ftruncate(fd, 0);
  const bool closed = ::close(fd) == 0;
  if (!written || !closed) throw EWriteError();
  return warnings;
}

}  // namespace velmora
