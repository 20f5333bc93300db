// Faults of the disk under a thumbnail being written, and destinations that are links to a
// source: the error text, no partial or temporary file, the old destination and the source
// untouched.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "../../support/private_mounts.h"
#include "core/errors.h"
#include "core/files/atomic_file.h"
#include "core/thumbnail/thumbnail_writer.h"
#include "decoder_budget.h"
#include "jpeg_fixtures.h"

namespace velmora {
namespace {

using testing::testMemory;

namespace fs = std::filesystem;
using testing::Bytes;

const std::string kOldThumbnail = "the thumbnail of an earlier run";
const SizingRequest kHalf = {SizingMode::Rate, 50, 0, 0};

std::string pictureBytes() {
  const Bytes jpeg = testing::encodeJpeg(640, 480);
  return std::string(jpeg.begin(), jpeg.end());
}

bool isWholeThumbnail(const std::string& path, unsigned width, unsigned height) {
  const std::string bytes = testing::fileContents(path);
  const testing::FrameInfo frame = testing::readFrame(Bytes(bytes.begin(), bytes.end()));
  return frame.complete && frame.width == width && frame.height == height;
}

// The error a request ends with, or "" when it succeeds.
template <typename Expected>
std::string errorOf(const ThumbnailRequest& request) {
  try {
    makeThumbnailFile(request, testMemory());
  } catch (const Expected& e) {
    return e.what();
  } catch (const Error& e) {
    return std::string("another error: ") + e.what();
  }
  return "";
}

class FaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    source = scratch.write("pics/photo.jpg", pictureBytes());
    fs::create_directory(out);
    destination = scratch.write("out/photo.jpg", kOldThumbnail);
  }
  void expectNothingChanged(const std::set<std::string>& outEntries) {
    EXPECT_EQ(testing::fileContents(destination), kOldThumbnail);
    EXPECT_EQ(testing::fileContents(source), pictureBytes());
    EXPECT_EQ(testing::folderEntries(out), outEntries);
  }

  testing::TempFolder scratch;
  std::string out = scratch / "out";
  std::string source;
  std::string destination;
};

TEST_F(FaultTest, FullDiskGivesWriteErrorAndKeepsTheOldThumbnail) {
  testing::ScopedMount mount;
  if (!mount.tmpfs(out, 64 * 1024)) GTEST_SKIP() << "mounting is not allowed here";
  destination = scratch.write("out/photo.jpg", kOldThumbnail);
  ASSERT_TRUE(testing::fillUp(out + "/filler"));
  EXPECT_EQ(errorOf<EWriteError>({source, destination, kHalf}), "Stream write error");
  expectNothingChanged({"photo.jpg", "filler"});
}

TEST_F(FaultTest, NoFreeInodeGivesCreateError) {
  testing::ScopedMount mount;
  // The folder itself and the old thumbnail take both inodes.
  if (!mount.tmpfs(out, 1024 * 1024, 2)) GTEST_SKIP() << "mounting is not allowed here";
  destination = scratch.write("out/photo.jpg", kOldThumbnail);
  EXPECT_EQ(errorOf<EFCreateError>({source, destination, kHalf}),
            "Cannot create file \"" + destination + "\". No space left on device");
  expectNothingChanged({"photo.jpg"});
}

TEST_F(FaultTest, ReadOnlyFolderGivesCreateError) {
  testing::ScopedMount mount;
  std::string reason = "Read-only file system";
  if (!mount.readOnly(out)) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes anywhere and mounting is not allowed here";
    fs::permissions(out, fs::perms::owner_write, fs::perm_options::remove);
    reason = "Permission denied";
  }
  EXPECT_EQ(errorOf<EFCreateError>({source, destination, kHalf}),
            "Cannot create file \"" + destination + "\". " + reason);
  expectNothingChanged({"photo.jpg"});
}

TEST_F(FaultTest, DestinationThatIsAFolderGivesCreateError) {
  fs::remove(destination);
  fs::create_directory(destination);
  EXPECT_EQ(errorOf<EFCreateError>({source, destination, kHalf}),
            "Cannot create file \"" + destination + "\". Is a directory");
  EXPECT_TRUE(fs::is_directory(destination));
  EXPECT_EQ(testing::folderEntries(out), (std::set<std::string>{"photo.jpg"}));
}

// The injected write failures: what a full disk or a failing device does at any point of the
// file, on any machine, root or not.
ssize_t failFullDisk(int, const void*, std::size_t) {
  errno = ENOSPC;
  return -1;
}

int writesBeforeFailure = 0;
ssize_t failLater(int fd, const void* data, std::size_t size) {
  if (writesBeforeFailure-- > 0) return ::write(fd, data, std::min<std::size_t>(size, 100));
  errno = EIO;
  return -1;
}

ssize_t dribble(int fd, const void* data, std::size_t size) {
  return ::write(fd, data, std::min<std::size_t>(size, 7));
}

TEST_F(FaultTest, InjectedWriteFailureAnywhereLeavesNothingBehind) {
  for (int okWrites : {0, 1, 5}) {
    SCOPED_TRACE(std::to_string(okWrites) + " writes before the failure");
    writesBeforeFailure = okWrites;
    ScopedWriteFunction failing(okWrites == 0 ? failFullDisk : failLater);
    EXPECT_EQ(errorOf<EWriteError>({source, destination, kHalf}), "Stream write error");
    expectNothingChanged({"photo.jpg"});
  }
}

TEST_F(FaultTest, ShortWritesStillMakeAWholeFile) {
  ScopedWriteFunction slow(dribble);
  EXPECT_EQ(makeThumbnailFile({source, destination, kHalf}, testMemory()),
            successLine(source, destination));
  EXPECT_TRUE(isWholeThumbnail(destination, 320, 240));
  EXPECT_EQ(testing::folderEntries(out), (std::set<std::string>{"photo.jpg"}));
}

// A destination that is a symbolic link to the source loses that name to the thumbnail, never
// followed; the source keeps its bytes. A hard link is the source itself (see SourceLinkedInto...).
TEST_F(FaultTest, DestinationLinkedToTheSourceIsReplacedNotFollowed) {
  const std::vector<std::pair<std::string, std::function<void()>>> links = {
      {"symbolic link", [&] { fs::create_symlink(source, destination); }},
      {"relative symbolic link", [&] { fs::create_symlink("../pics/photo.jpg", destination); }},
  };
  for (const auto& [kind, makeLink] : links) {
    SCOPED_TRACE(kind);
    fs::remove(destination);
    makeLink();
    EXPECT_EQ(makeThumbnailFile({source, destination, kHalf}, testMemory()),
              successLine(source, destination));
    EXPECT_EQ(testing::fileContents(source), pictureBytes());
    EXPECT_FALSE(fs::is_symlink(destination));
    EXPECT_TRUE(isWholeThumbnail(destination, 320, 240));
    EXPECT_EQ(testing::folderEntries(out), (std::set<std::string>{"photo.jpg"}));
  }
}

TEST_F(FaultTest, DestinationNameTooLongGivesCreateError) {
  const std::string name = std::string(250, 'n') + ".jpg";
  const std::string longSource = scratch.write("pics/" + name, pictureBytes());
  const std::string longDestination = scratch / ("pics/tb" + name);
  EXPECT_EQ(errorOf<EFCreateError>({longSource, longDestination, kHalf}),
            "Cannot create file \"" + longDestination + "\". File name too long");
  EXPECT_EQ(testing::folderEntries(scratch / "pics"), (std::set<std::string>{"photo.jpg", name}));
}

TEST_F(FaultTest, MissingDestinationFolderLeavesNothing) {
  const std::string nowhere = scratch / "missing/photo.jpg";
  EXPECT_EQ(errorOf<EFCreateError>({source, nowhere, kHalf}),
            "Cannot create file \"" + nowhere + "\". No such file or directory");
  EXPECT_FALSE(fs::exists(scratch / "missing"));
  expectNothingChanged({"photo.jpg"});
}

}  // namespace
}  // namespace velmora
