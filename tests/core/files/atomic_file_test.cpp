#include "core/files/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "core/errors.h"
#include "jpeg_fixtures.h"

namespace velmora {
namespace {

using testing::folderEntries;
using testing::readBytes;
using testing::TempFolder;
using testing::writeBytes;

const std::vector<unsigned char> kOld = {'o', 'l', 'd'};
const std::vector<unsigned char> kNew(100000, 'n');

ssize_t diskFull(int, const void*, std::size_t) {
  errno = ENOSPC;
  return -1;
}

// Writes a part, then finds the disk full.
ssize_t fillsUpHalfway(int fd, const void* data, std::size_t size) {
  static bool wrotePart = false;
  wrotePart = !wrotePart;
  if (wrotePart) return ::write(fd, data, size / 2);
  errno = ENOSPC;
  return -1;
}

ssize_t writesNothing(int, const void*, std::size_t) { return 0; }

ssize_t oneKilobyteAtATime(int fd, const void* data, std::size_t size) {
  return ::write(fd, data, std::min<std::size_t>(size, 1024));
}

std::string temporaryPath;
ssize_t recordsItsFile(int fd, const void* data, std::size_t size) {
  char target[PATH_MAX] = {};
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  if (::readlink(link.c_str(), target, sizeof target - 1) > 0) temporaryPath = target;
  return ::write(fd, data, size);
}

TEST(AtomicFile, ReplacesTheFileAndLeavesNothingElse) {
  TempFolder folder;
  const std::string destination = folder.file("tba.jpg");
  writeBytes(destination, kOld);
  replaceFileAtomically(destination, kNew);
  EXPECT_EQ(readBytes(destination), kNew);
  EXPECT_EQ(folderEntries(folder.path()), std::set<std::string>{"tba.jpg"});
}

TEST(AtomicFile, TemporaryFileIsHiddenAndNotAJpegName) {
  TempFolder folder;
  ScopedWriteFunction hook(recordsItsFile);
  replaceFileAtomically(folder.file("tba.jpeg"), kNew);
  const std::string name = temporaryPath.substr(temporaryPath.rfind('/') + 1);
  EXPECT_EQ(temporaryPath.substr(0, temporaryPath.rfind('/')), folder.path());
  EXPECT_EQ(name.front(), '.');
  EXPECT_EQ(name.find(".jpg"), std::string::npos);
  EXPECT_EQ(name.find(".jpeg"), std::string::npos);
}

TEST(AtomicFile, ShortWritesAreCompleted) {
  TempFolder folder;
  ScopedWriteFunction hook(oneKilobyteAtATime);
  replaceFileAtomically(folder.file("t.jpg"), kNew);
  EXPECT_EQ(readBytes(folder.file("t.jpg")), kNew);
}

TEST(AtomicFile, FailedWriteKeepsTheOldFileAndRemovesTheTemporary) {
  for (WriteFunction failing : {diskFull, fillsUpHalfway, writesNothing}) {
    TempFolder folder;
    const std::string destination = folder.file("tba.jpg");
    writeBytes(destination, kOld);
    ScopedWriteFunction hook(failing);
    try {
      replaceFileAtomically(destination, kNew);
      ADD_FAILURE() << "no error";
    } catch (const EWriteError& e) {
      EXPECT_EQ(std::string(e.what()), "Stream write error");
    }
    EXPECT_EQ(readBytes(destination), kOld);
    EXPECT_EQ(folderEntries(folder.path()), std::set<std::string>{"tba.jpg"});
  }
}

TEST(AtomicFile, FailedWriteOfANewFileLeavesNoFile) {
  TempFolder folder;
  ScopedWriteFunction hook(diskFull);
  EXPECT_THROW(replaceFileAtomically(folder.file("t.jpg"), kNew), EWriteError);
  EXPECT_TRUE(folderEntries(folder.path()).empty());
}

TEST(AtomicFile, UncreatableDestinationsNameTheDestination) {
  TempFolder folder;
  const std::string inMissingFolder = folder.file("missing/t.jpg");
  const std::string aFolder = folder.file("sub.jpg");
  ASSERT_EQ(::mkdir(aFolder.c_str(), 0700), 0);
  const std::pair<std::string, std::string> cases[] = {
      {inMissingFolder, "No such file or directory"}, {aFolder, "Is a directory"}};
  for (const auto& [destination, reason] : cases) {
    try {
      replaceFileAtomically(destination, kNew);
      ADD_FAILURE() << "no error for " << destination;
    } catch (const EFCreateError& e) {
      EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + destination + "\". " + reason);
    }
  }
}

TEST(AtomicFile, ReadOnlyDestinationIsNotReplaced) {
  if (::geteuid() == 0) GTEST_SKIP() << "the superuser may write any file";
  TempFolder folder;
  const std::string destination = folder.file("t.jpg");
  writeBytes(destination, kOld);
  ASSERT_EQ(::chmod(destination.c_str(), 0444), 0);
  EXPECT_THROW(replaceFileAtomically(destination, kNew), EFCreateError);
  EXPECT_EQ(readBytes(destination), kOld);
}

TEST(AtomicFile, NewFileTakesTheUsualMode) {
  TempFolder folder;
  const mode_t previous = ::umask(022);
  replaceFileAtomically(folder.file("t.jpg"), kNew);
  ::umask(previous);
  struct stat info {};
  ASSERT_EQ(::stat(folder.file("t.jpg").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
}

// A private thumbnail stays private, and one the superuser replaces stays its owner's.
TEST(AtomicFile, ReplacedFileKeepsItsModeOwnerAndGroup) {
  TempFolder folder;
  const std::string destination = folder.file("t.jpg");
  writeBytes(destination, kOld);
  ASSERT_EQ(::chmod(destination.c_str(), 0600), 0);
  const bool mayGiveAway = ::geteuid() == 0 && ::chown(destination.c_str(), 1234, 4321) == 0;
  replaceFileAtomically(destination, kNew);
  struct stat info {};
  ASSERT_EQ(::stat(destination.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  if (mayGiveAway) {
    EXPECT_EQ(info.st_uid, 1234u);
    EXPECT_EQ(info.st_gid, 4321u);
  }
  EXPECT_EQ(readBytes(destination), kNew);
}

}  // namespace
}  // namespace velmora
