#include "cli/desktop_options.h"

#include <algorithm>
#include <optional>

#include "core/rules/integer_reading.h"

namespace velmora::cli {

namespace {

UsageError badUsage(const std::string& message) { return UsageError(message, true); }

void finishThumbnailer(CommandLine& command, const std::vector<std::string>& shaping) {
  if (!shaping.empty()) throw badUsage(shaping.front() + " is not allowed with --thumbnailer");
  if (!command.xdgCache.empty() || command.recursive || command.update || command.filesFrom ||
      command.shard.count > 1) {
    throw badUsage("--thumbnailer takes no other option that chooses files");
  }
  if (command.paths.size() != 3) throw badUsage("--thumbnailer needs SIZE INPUT OUTPUT");
  const std::optional<std::int32_t> size = readInteger(command.paths.front());
  if (!size || *size < 1 || *size > kLargestCachePixels) {
    throw badUsage("--thumbnailer needs a SIZE from 1 to " + std::to_string(kLargestCachePixels) +
                   ", not \"" + command.paths.front() + "\"");
  }
  command.thumbnailerSize = *size;
  command.paths.erase(command.paths.begin());
}

}  // namespace

std::vector<CacheSize> cacheSizesValue(const std::string& text) {
  std::vector<CacheSize> sizes;
  for (std::size_t start = 0;;) {
    const std::size_t comma = text.find(',', start);
    const std::string name = text.substr(start, comma - start);
    const std::optional<CacheSize> size = cacheSizeNamed(name);
    if (!size) {
      throw badUsage("--xdg-cache takes normal, large, x-large or xx-large, not \"" + name + "\"");
    }
    if (std::find(sizes.begin(), sizes.end(), *size) == sizes.end()) sizes.push_back(*size);
    if (comma == std::string::npos) return sizes;
    start = comma + 1;
  }
}

void finishDesktopOptions(CommandLine& command, const std::vector<std::string>& shaping) {
  if (command.action == Action::Thumbnailer) {
    finishThumbnailer(command, shaping);
  } else if (!command.xdgCache.empty() && !shaping.empty()) {
    throw badUsage("--xdg-cache makes the desktop's own sizes and names; " + shaping.front() +
                   " is not allowed with it");
  }
}

}  // namespace velmora::cli
