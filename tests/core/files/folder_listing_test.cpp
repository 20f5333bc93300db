#include "core/files/folder_listing.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "jpeg_fixtures.h"

namespace velmora {
namespace {

using Names = std::vector<std::string>;

TEST(FolderListing, ListsJpegFilesSortedWithoutCase) {
  testing::TempFolder scratch;
  for (const char* name : {"c.jpg", "B.JPG", "a.jpeg", "d.JpEg", "e.png", "f.jpg.txt", "g.jpe",
                           ".h.jpg", "jpg", "i.JPG "}) {
    scratch.write(name, "x");
  }
  EXPECT_EQ(listJpegFiles(scratch.path()), Names({"a.jpeg", "B.JPG", "c.jpg", "d.JpEg"}));
}

TEST(FolderListing, LeavesOutFoldersAndOtherEntries) {
  testing::TempFolder scratch;
  scratch.write("real.jpg", "x");
  std::filesystem::create_directories(scratch / "x.jpg");
  std::filesystem::create_symlink(scratch / "real.jpg", scratch / "link.jpg");
  std::filesystem::create_symlink(scratch / "missing.jpg", scratch / "dangling.jpg");
  std::filesystem::create_directory_symlink(scratch / "x.jpg", scratch / "dirlink.jpg");
  ASSERT_EQ(mkfifo((scratch / "pipe.jpg").c_str(), 0600), 0);
  EXPECT_EQ(listJpegFiles(scratch.path()), Names({"link.jpg", "real.jpg"}));
}

TEST(FolderListing, TieOfFoldedNamesHasFixedOrder) {
  Names names = {"b.jpg", "a.jpg", "A.jpg", "_.jpg", "Z.jpg", "[.jpg", "ab.jpg", "a.jpeg"};
  sortNamesForList(names);
  // Letters fold to lower case before comparing, so "[" and "_" sort before every letter.
  EXPECT_EQ(names,
            Names({"[.jpg", "_.jpg", "a.jpeg", "A.jpg", "a.jpg", "ab.jpg", "b.jpg", "Z.jpg"}));
}

TEST(FolderListing, EmptyAndUnreadableFolders) {
  testing::TempFolder scratch;
  EXPECT_EQ(listJpegFiles(scratch.path()), Names());
  EXPECT_EQ(listJpegFiles(scratch / "missing"), std::nullopt);
  EXPECT_EQ(listJpegFiles(scratch.write("file.jpg", "x")), std::nullopt);
  std::filesystem::create_directories(scratch / "closed");
  scratch.write("closed/a.jpg", "x");
  chmod((scratch / "closed").c_str(), 0);
  if (geteuid() != 0) {
    EXPECT_EQ(listJpegFiles(scratch / "closed"), std::nullopt);
  }
}

TEST(FolderListing, FolderEndingInSeparator) {
  testing::TempFolder scratch;
  scratch.write("a.jpg", "x");
  EXPECT_EQ(listJpegFiles(scratch.path() + "/"), Names({"a.jpg"}));
}

}  // namespace
}  // namespace velmora
