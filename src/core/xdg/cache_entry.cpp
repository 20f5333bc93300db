#include "core/xdg/cache_entry.h"

#include <sys/stat.h>

#include <cerrno>

#include "core/errors.h"
#include "core/png/png_texts.h"
#include "core/version.h"
#include "core/xdg/file_uri.h"

namespace velmora {

namespace {

PngText softwareText() { return {"Software", std::string("Velmora ") + kVersion}; }

}  // namespace

SourceStamp stampOf(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) throw EFOpenError(path, errno);
  SourceStamp stamp;
  stamp.uri = fileUri(path);
  stamp.modified = static_cast<std::int64_t>(status.st_mtim.tv_sec);
  stamp.size = static_cast<std::uint64_t>(status.st_size);
  return stamp;
}

std::vector<PngText> entryTexts(const SourceStamp& source, PixelSize shown) {
  return {
      {"Thumb::URI", source.uri},
      {"Thumb::MTime", std::to_string(source.modified)},
      {"Thumb::Size", std::to_string(source.size)},
      {"Thumb::Mimetype", "image/jpeg"},
      {"Thumb::Image::Width", std::to_string(shown.width)},
      {"Thumb::Image::Height", std::to_string(shown.height)},
      softwareText(),
  };
}

std::vector<unsigned char> failureEntry(const SourceStamp& source) {
  PngEncoder encoder(1, 1,
                     {{"Thumb::URI", source.uri},
                      {"Thumb::MTime", std::to_string(source.modified)},
                      softwareText()});
  const unsigned char pixel[3] = {0, 0, 0};
  encoder.writeRow(pixel);
  return encoder.finish();
}

bool entryIsCurrent(const DirectoryHandle& folder, const std::string& name,
                    const SourceStamp& source) {
  const std::optional<std::vector<PngText>> texts = readPngTexts(folder, name);
  return texts && pngText(*texts, "Thumb::URI") == source.uri &&
         pngText(*texts, "Thumb::MTime") == std::to_string(source.modified);
}

}  // namespace velmora
