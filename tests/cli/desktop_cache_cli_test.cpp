// The desktop's thumbnail cache as its readers see it: GLib's own file URIs and its own check
// of an entry, after velmora-thumb --xdg-cache filled it.

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

#include "core/files/path_text.h"
#include "core/png/png_texts.h"
#include "core/version.h"
#include "jpeg_fixtures.h"
#include "thumb_process.h"

namespace velmora {
namespace {

using testing::Bytes;
using testing::runThumb;
using testing::TempFolder;
using testing::ThumbRun;

// The cache of this test process. GLib reads the variable once, so it is set before GLib's
// first look and kept for every test of the process.
const std::string& cacheHome() {
  static const TempFolder folder;
  setenv("XDG_CACHE_HOME", folder.path().c_str(), 1);
  return folder.path();
}

template <typename T>
struct GObjectPtr {
  T* object;
  ~GObjectPtr() { g_object_unref(object); }
};

std::string glibUri(const std::string& path) {
  GObjectPtr<GFile> file{g_file_new_for_path(path.c_str())};
  gchar* uri = g_file_get_uri(file.object);
  std::string result = uri;
  g_free(uri);
  return result;
}

// "normal", "large" or the failure folder, "fail/velmora-<version>".
std::string entryPath(const std::string& folder, const std::string& uri) {
  gchar* md5 = g_compute_checksum_for_string(G_CHECKSUM_MD5, uri.c_str(), -1);
  const std::string path = cacheHome() + "/thumbnails/" + folder + "/" + md5 + ".png";
  g_free(md5);
  return path;
}

bool glibFindsValidThumbnail(const std::string& path) {
  GObjectPtr<GFile> file{g_file_new_for_path(path.c_str())};
  GFileInfo* info = g_file_query_info(file.object, G_FILE_ATTRIBUTE_THUMBNAIL_IS_VALID,
                                      G_FILE_QUERY_INFO_NONE, nullptr, nullptr);
  if (!info) return false;
  const bool valid = g_file_info_get_attribute_boolean(info, G_FILE_ATTRIBUTE_THUMBNAIL_IS_VALID);
  g_object_unref(info);
  return valid;
}

struct Picture {
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  Bytes pixels;
};

Picture readPng(const std::string& path) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  Picture picture;
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0) return picture;
  image.format = PNG_FORMAT_RGB;
  picture.pixels.resize(PNG_IMAGE_SIZE(image));
  png_image_finish_read(&image, nullptr, picture.pixels.data(), 0, nullptr);
  picture.width = image.width;
  picture.height = image.height;
  return picture;
}

std::string text(const std::string& entry, const std::string& key) {
  const std::optional<std::vector<PngText>> texts =
      readPngTexts(openFolder(folderOf(entry)), nameOf(entry));
  return texts ? pngText(*texts, key).value_or("(none)") : "(not a PNG)";
}

mode_t modeOf(const std::string& path) {
  struct stat status {};
  stat(path.c_str(), &status);
  return status.st_mode & 07777;
}

std::int64_t modifiedOf(const std::string& path) {
  struct stat status {};
  stat(path.c_str(), &status);
  return status.st_mtim.tv_sec;
}

TEST(DesktopCache, EntriesAreFoundByGlibUnderAwkwardNames) {
  const std::string& cache = cacheHome();
  const TempFolder photos;
  testing::EncodeOptions upright;
  upright.exifOrientation = 6;
  struct Row {
    std::string name;
    Bytes bytes;
    png_uint_32 normalWidth, normalHeight, largeWidth, largeHeight;
  };
  const std::vector<Row> rows = {
      {"a b#%[];中.jpg", testing::encodeJpeg(300, 200), 128, 85, 256, 171},
      {"\xe9t\xe9 small.jpg", testing::encodeJpeg(100, 80), 100, 80, 100, 80},
      {"sideways.jpg", testing::encodeJpeg(300, 200, upright), 85, 128, 171, 256},
  };
  for (const Row& row : rows) photos.write(row.name, row.bytes);
  const ThumbRun run = runThumb({"--xdg-cache", "normal,large", photos.path()});
  ASSERT_EQ(run.exitCode, 0) << run.err;

  for (const Row& row : rows) {
    const std::string source = photos / row.name;
    const std::string uri = glibUri(source);
    EXPECT_TRUE(glibFindsValidThumbnail(source)) << uri;
    for (const bool large : {false, true}) {
      const std::string entry = entryPath(large ? "large" : "normal", uri);
      const Picture picture = readPng(entry);
      EXPECT_EQ(picture.width, large ? row.largeWidth : row.normalWidth) << entry;
      EXPECT_EQ(picture.height, large ? row.largeHeight : row.normalHeight) << entry;
      EXPECT_EQ(text(entry, "Thumb::URI"), uri);
      EXPECT_EQ(text(entry, "Thumb::MTime"), std::to_string(modifiedOf(source)));
      EXPECT_EQ(text(entry, "Thumb::Size"), std::to_string(row.bytes.size()));
      EXPECT_EQ(text(entry, "Thumb::Mimetype"), "image/jpeg");
      EXPECT_EQ(text(entry, "Software"), std::string("Velmora ") + kVersion);
      EXPECT_EQ(modeOf(entry), 0600u);
    }
  }
  EXPECT_EQ(text(entryPath("large", glibUri(photos / "sideways.jpg")), "Thumb::Image::Width"),
            "200");
  for (const char* folder : {"/thumbnails", "/thumbnails/normal", "/thumbnails/large"}) {
    EXPECT_EQ(modeOf(cache + folder), 0700u) << folder;
  }

  // The desktop's thumbnailer call gives the very pixels of the cache's entry.
  const std::string direct = photos / "direct.png";
  const ThumbRun call = runThumb({"--thumbnailer", "256", photos / "sideways.jpg", direct});
  ASSERT_EQ(call.exitCode, 0) << call.err;
  EXPECT_EQ(readPng(direct).pixels,
            readPng(entryPath("large", glibUri(photos / "sideways.jpg"))).pixels);
}

TEST(DesktopCache, UpdateRemakesOnlyStaleEntriesAndNeverRetriesAFailure) {
  const TempFolder photos;
  photos.write("a.jpg", testing::encodeJpeg(64, 48));
  photos.write("b.jpg", testing::encodeJpeg(64, 48, {}, 2));
  photos.write("z broken.jpg", testing::textBytes("not a picture"));
  const std::string normal = entryPath("normal", glibUri(photos / "b.jpg"));
  const std::string failure =
      entryPath(std::string("fail/velmora-") + kVersion, glibUri(photos / "z broken.jpg"));

  const ThumbRun first = runThumb({"--xdg-cache", "normal", photos.path()});
  EXPECT_EQ(first.exitCode, 1);
  const Picture failed = readPng(failure);
  EXPECT_EQ(failed.width, 1u);
  EXPECT_EQ(failed.height, 1u);
  EXPECT_EQ(text(failure, "Thumb::MTime"), std::to_string(modifiedOf(photos / "z broken.jpg")));
  EXPECT_EQ(text(failure, "Thumb::URI"), glibUri(photos / "z broken.jpg"));

  const ThumbRun unchanged = runThumb({"--xdg-cache", "normal", "--update", photos.path()});
  EXPECT_EQ(unchanged.exitCode, 0) << unchanged.err;
  EXPECT_EQ(unchanged.out, "");

  const struct timespec later[2] = {{0, UTIME_OMIT}, {modifiedOf(photos / "a.jpg") + 100, 0}};
  utimensat(AT_FDCWD, (photos / "a.jpg").c_str(), later, 0);
  struct stat before {};
  stat(normal.c_str(), &before);
  const ThumbRun touched = runThumb({"--xdg-cache", "normal", "--update", photos.path()});
  EXPECT_EQ(touched.exitCode, 0) << touched.err;
  EXPECT_EQ(touched.out, "缩略图生成:" + (photos / "a.jpg") + "-->" +
                             entryPath("normal", glibUri(photos / "a.jpg")) + "\n");
  struct stat after {};
  stat(normal.c_str(), &after);
  EXPECT_EQ(after.st_ino, before.st_ino);
}

}  // namespace
}  // namespace velmora
