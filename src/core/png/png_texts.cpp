#include "core/png/png_texts.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <new>

#include "core/png/png_guard.h"

namespace velmora {

namespace {

struct ReadState {
  int fd = -1;
  png_structp png = nullptr;
  png_infop info = nullptr;

  ~ReadState() {
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    if (fd >= 0) ::close(fd);
  }
};

// Fills libpng's buffer from the file. This callback runs inside libpng, and a fatal error
// jumps from it back to the guard: it holds no object with a destructor.
void readBytes(png_structp png, png_bytep data, png_size_t length) {
  const int fd = *static_cast<int*>(png_get_io_ptr(png));
  png_size_t done = 0;
  while (done < length) {
    const ssize_t got = ::read(fd, data + done, length - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) png_error(png, "read failed");
    done += static_cast<png_size_t>(got);
  }
}

}  // namespace

std::optional<std::vector<PngText>> readPngTexts(const DirectoryHandle& folder,
                                                 const std::string& name) {
  ReadState state;
  state.fd = ::openat(folder.fd(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (state.fd < 0) return std::nullopt;
  state.png = createPngReader();
  if (state.png) state.info = png_create_info_struct(state.png);
  if (!state.png || !state.info) throw std::bad_alloc();
  png_textp chunks = nullptr;
  int count = 0;
  const bool read = pngGuarded(state.png, [&] {
    png_set_read_fn(state.png, &state.fd, readBytes);
    png_read_info(state.png, state.info);
    count = png_get_text(state.png, state.info, &chunks, nullptr);
  });
  if (!read) return std::nullopt;
  std::vector<PngText> texts;
  for (int i = 0; i < count; ++i) {
    texts.push_back({chunks[i].key, chunks[i].text ? chunks[i].text : ""});
  }
  return texts;
}

std::optional<std::string> pngText(const std::vector<PngText>& texts, const std::string& key) {
  for (const PngText& text : texts) {
    if (text.key == key) return text.text;
  }
  return std::nullopt;
}

}  // namespace velmora
