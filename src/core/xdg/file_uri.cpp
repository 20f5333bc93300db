#include "core/xdg/file_uri.h"

#include <glib.h>

#include <memory>
#include <stdexcept>

namespace velmora {

namespace {

struct GFreeDeleter {
  void operator()(gchar* text) const { g_free(text); }
};
using GText = std::unique_ptr<gchar, GFreeDeleter>;

}  // namespace

std::string fileUri(const std::string& path) {
  const GText canonical(g_canonicalize_filename(path.c_str(), nullptr));
  const GText uri(g_filename_to_uri(canonical.get(), nullptr, nullptr));
  // A canonical path is absolute, which is all GLib asks of a file name on this system.
  if (!uri) throw std::invalid_argument("no file URI for \"" + path + "\"");
  return uri.get();
}

std::string cacheEntryName(const std::string& uri) {
  const GText md5(
      g_compute_checksum_for_string(G_CHECKSUM_MD5, uri.c_str(), static_cast<gssize>(uri.size())));
  return std::string(md5.get()) + ".png";
}

}  // namespace velmora
