// Folders other people can write, and one folder many machines write into: links planted in
// the output tree, folders swapped mid-run, private sources, the temporaries of other systems,
// two sources of one thumbnail, and sources that are links into the output folder.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/files/atomic_file.h"
#include "core/files/destination_folders.h"
#include "core/files/path_text.h"
#include "core/files/source_file.h"
#include "core/files/temporary_files.h"
#include "core/files/tree_walk.h"
#include "jpeg_fixtures.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using testing::folderEntries;
using testing::TempFolder;

const std::vector<unsigned char> kThumbnail(1000, 't');

MirrorRoot mirrorRootAt(const std::string& path) {
  return {path, std::make_shared<const DirectoryHandle>(openFolder(path))};
}

std::string errorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& error) {
    return error.what();
  }
  return "";
}

mode_t modeOf(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// A mirrored folder another user replaced by a link is that folder's files' error: nothing is
// written where the link points.
TEST(SharedFolders, LinkPlantedForAMirroredFolderIsNotFollowed) {
  TempFolder scratch;
  fs::create_directories(scratch / "out");
  fs::create_directories(scratch / "private");
  fs::create_directory_symlink(scratch / "private", scratch / "out/2019");
  DestinationFolders folders({mirrorRootAt(scratch / "out")});
  EXPECT_EQ(errorOf([&] { StagedFile(folders, scratch / "out/2019/a.jpg", {}, kThumbnail); }),
            "Cannot create file \"" + scratch / "out/2019/a.jpg" + "\". Not a directory");
  EXPECT_EQ(folderEntries(scratch / "private"), std::set<std::string>());
}

// A mirrored folder is made when its first thumbnail goes in, and goes again when the run ends
// before any thumbnail of it was put in place.
TEST(SharedFolders, MirroredFoldersAreMadeForTheirFirstThumbnailOnly) {
  TempFolder scratch;
  fs::create_directories(scratch / "out");
  {
    DestinationFolders folders({mirrorRootAt(scratch / "out")});
    StagedFile kept(folders, scratch / "out/2019/summer/a.jpg", {}, kThumbnail);
    StagedFile dropped(folders, scratch / "out/2020/b.jpg", {}, kThumbnail);
    kept.putInPlace();
    EXPECT_TRUE(fs::is_directory(scratch / "out/2020"));
  }
  EXPECT_EQ(folderEntries(scratch / "out"), std::set<std::string>{"2019"});
  EXPECT_EQ(folderEntries(scratch / "out/2019/summer"), std::set<std::string>{"a.jpg"});
}

// What the walk listed is what is read: a folder swapped for a link after its parent was listed
// is not entered, and a listed folder's files are read from it, whatever its name leads to now.
TEST(SharedFolders, WalkedFolderSwappedForALinkIsNotFollowed) {
  TempFolder scratch;
  scratch.write("photos/a.jpg", "listed");
  scratch.write("photos/zz/z.jpg", "listed");
  scratch.write("private/z.jpg", "private");
  scratch.write("private/a.jpg", "private");
  std::vector<std::string> unreadable;
  TreeWalk walk(scratch / "photos", {},
                [&](const std::string& folder, int) { unreadable.push_back(folder); });
  const std::optional<WalkedFolder> root = walk.next();
  ASSERT_TRUE(root);
  fs::rename(scratch / "photos", scratch / "photos.old");
  fs::create_directory_symlink(scratch / "private", scratch / "photos");
  fs::rename(scratch / "photos.old/zz", scratch / "zz.old");
  fs::create_directory_symlink(scratch / "private", scratch / "photos.old/zz");

  SourceFile source(*root->handle, "a.jpg", scratch / "photos/a.jpg");
  unsigned char bytes[16] = {};
  EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes),
                        static_cast<std::size_t>(source.readSome(bytes, sizeof bytes))),
            "listed");
  EXPECT_FALSE(walk.next());
  EXPECT_EQ(unreadable, std::vector<std::string>{scratch / "photos/zz"});
}

// A deep tree with a folder waiting at every level walks whole on few descriptors; deep down a
// waiting folder is re-entered along the way it was listed, and when a folder on that way has
// been swapped for a look-alike, what waited below it is reported unread, never walked there;
// a folder whose path no system call takes is reported, not entered.
TEST(SharedFolders, DeepTreeWalksOnFewDescriptorsNeverThroughASwappedFolderNorPastPathMax) {
  TempFolder scratch;
  constexpr int kLevels = 200;
  std::vector<std::string> chain{"photos"};
  for (int depth = 0; depth < kLevels; ++depth) {
    scratch.write(chain.back() + "/b/x.jpg", "listed");
    chain.push_back(chain.back() + "/a");
  }
  fs::create_directories(scratch / chain.back());
  const auto walkAll = [&](int swapAtDepth) {
    std::vector<std::string> unreadable;
    TreeWalk walk(scratch / "photos", {},
                  [&](const std::string& folder, int) { unreadable.push_back(folder); });
    int walked = 0;
    while (const std::optional<WalkedFolder> folder = walk.next()) {
      ++walked;
      EXPECT_EQ(folder->names.size(), nameOf(folder->path) == "b" ? 1u : 0u) << folder->path;
      if (folder->path == scratch / chain[80] && swapAtDepth > 0) {
        fs::rename(scratch / chain[swapAtDepth], scratch / "moved");
        scratch.write(chain[swapAtDepth] + "/b/impostor.jpg", "private");
        for (int depth = swapAtDepth + 1; depth < 80; ++depth) {
          scratch.write(chain[depth] + "/b/impostor.jpg", "private");
        }
      }
    }
    return std::make_pair(walked, unreadable);
  };

  rlimit descriptors{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &descriptors), 0);
  const rlimit before = descriptors;
  descriptors.rlim_cur = 96;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &descriptors), 0);
  const auto [walked, unreadable] = walkAll(0);
  setrlimit(RLIMIT_NOFILE, &before);
  EXPECT_EQ(walked, 2 * kLevels + 1);
  EXPECT_TRUE(unreadable.empty());

  const auto [walkedAfterSwap, unreadableAfterSwap] = walkAll(75);
  std::vector<std::string> waitingBelowTheSwap;
  for (int depth = 79; depth >= 75; --depth) {
    waitingBelowTheSwap.push_back(scratch / (chain[depth] + "/b"));
  }
  EXPECT_EQ(unreadableAfterSwap, waitingBelowTheSwap);
  EXPECT_EQ(walkedAfterSwap, 2 * kLevels + 1 - 5);

  // Made through handles: no system call takes the last folder's path.
  const std::string name(200, 'n');
  fs::create_directory(scratch / "long");
  std::string longWay = scratch / "long";
  DirectoryHandle deepest = openFolder(longWay);
  for (;;) {
    longWay = joinPath(longWay, name);
    ASSERT_EQ(::mkdirat(deepest.fd(), name.c_str(), 0755), 0);
    if (longWay.size() >= PATH_MAX) break;
    deepest = openSubFolder(deepest, name);
  }
  const std::string firstTooLong = longWay;
  std::vector<std::pair<std::string, int>> refused;
  TreeWalk walkLong(scratch / "long", {}, [&](const std::string& folder, int error) {
    refused.push_back({folder, error});
  });
  int walkedLong = 0;
  while (walkLong.next()) ++walkedLong;
  EXPECT_EQ(refused, (std::vector<std::pair<std::string, int>>{{firstTooLong, ENAMETOOLONG}}));
  EXPECT_EQ(walkedLong, static_cast<int>((firstTooLong.size() - (scratch / "long").size()) / 201));
  ::unlinkat(deepest.fd(), name.c_str(), AT_REMOVEDIR);
}

// A new thumbnail is never more readable than its source; a replaced one keeps its old mode
// but never the set-user-ID, set-group-ID and sticky bits.
TEST(SharedFolders, ThumbnailIsNeverMoreReadableThanItsSource) {
  TempFolder scratch;
  const mode_t previous = ::umask(022);
  struct Row {
    mode_t source;
    mode_t thumbnail;
  };
  for (const Row row :
       {Row{0600, 0600}, Row{0640, 0640}, Row{0644, 0644}, Row{0666, 0644}, Row{0604, 0604}}) {
    const std::string destination = scratch / ("new" + std::to_string(row.source) + ".jpg");
    StagedSource source;
    source.mode = S_IFREG | row.source;
    DestinationFolders folders;
    StagedFile(folders, destination, source, kThumbnail).putInPlace();
    EXPECT_EQ(modeOf(destination), row.thumbnail) << std::oct << row.source;
  }
  const std::string replaced = scratch.write("old.jpg", "old");
  ASSERT_EQ(::chmod(replaced.c_str(), 07755), 0);
  replaceFileAtomically(replaced, kThumbnail);
  ::umask(previous);
  EXPECT_EQ(modeOf(replaced), 0755u);
}

// The sweep removes only what is surely dead: this machine's temporaries of an earlier boot,
// and those of this boot and process-number space whose process is gone. Another machine's or
// another space's are never removed, live or not.
TEST(SharedFolders, SweepLeavesOtherSystemsTemporaries) {
  TempFolder scratch;
  const std::string ours = temporaryName();
  const std::string machine = ours.substr(0, 9 + 8);
  const std::string boot = ours.substr(9 + 8, 8);
  const std::string space = ours.substr(9 + 16, 8);
  const std::string otherPart = boot == "00000000" ? "11111111" : "00000000";
  // A process number above the kernel's largest (4194304) never exists.
  const std::string dead = "-4194305-0-0000abcd.tmp";
  const std::string deadHere = machine + boot + space + dead;
  const std::string earlierBoot = machine + otherPart + space + dead;
  const std::string otherMachine = ".velmora-" + otherPart + boot + space + dead;
  const std::string otherSpace = machine + boot + otherPart + dead;
  const std::string liveHere =
      machine + boot + space + "-" + std::to_string(::getppid()) + "-0-0000abcd.tmp";
  for (const std::string& name : {deadHere, earlierBoot, otherMachine, otherSpace, liveHere}) {
    scratch.write(name, "x");
  }
  sweepStaleTemporaries(openFolder(scratch.path()));
  EXPECT_EQ(folderEntries(scratch.path()),
            (std::set<std::string>{otherMachine, otherSpace, liveHere}));
}

// One run never writes one destination twice, whatever its spelling, nor under another case of
// its name where the file system ignores case (both names are then one file, as a hard link
// shows it here): the second source's error names both.
TEST(SharedFolders, SecondSourceOfOneDestinationIsAnError) {
  for (const std::string spelling : {"out/./IMG_0001.JPG", "out/img_0001.jpg"}) {
    TempFolder scratch;
    const std::string destination = scratch / spelling;
    fs::create_directories(scratch / "out");
    DestinationFolders folders;
    StagedSource first;
    first.path = "family/2019/IMG_0001.JPG";
    StagedSource second;
    second.path = "studio/2019/img_0001.jpg";
    StagedFile(folders, scratch / "out/IMG_0001.JPG", first, kThumbnail).putInPlace();
    if (!fs::exists(destination)) fs::create_hard_link(scratch / "out/IMG_0001.JPG", destination);
    StagedFile again(folders, destination, second, {'2'});
    EXPECT_EQ(errorOf([&] { again.putInPlace(); }),
              "Cannot create file \"" + destination + "\" of \"" + expandedPath(second.path) +
                  "\": it is already the thumbnail of \"" + expandedPath(first.path) + "\"");
    EXPECT_EQ(testing::readBytes(scratch / "out/IMG_0001.JPG"), kThumbnail);
  }
}

// A source reached through a link into the output folder (or a hard link there) is the file at
// its destination: that file's error, never replaced.
TEST(SharedFolders, SourceLinkedIntoTheOutputFolderIsNeverReplaced) {
  TempFolder scratch;
  const std::string photo = scratch.write("Nature/Aqua.jpg", "the real photo");
  fs::create_directories(scratch / "Favs");
  fs::create_symlink("../Nature/Aqua.jpg", scratch / "Favs/Aqua.jpg");
  fs::create_hard_link(photo, scratch / "Favs/Hard.jpg");
  for (const std::string& link : {scratch / "Favs/Aqua.jpg", scratch / "Favs/Hard.jpg"}) {
    const SourceFile opened(link);
    StagedSource source;
    source.path = link;
    source.identity = opened.identity();
    DestinationFolders folders;
    EXPECT_EQ(errorOf([&] { StagedFile(folders, photo, source, kThumbnail).putInPlace(); }),
              "源目录和目标目录相同!");
  }
  EXPECT_EQ(testing::fileContents(photo), "the real photo");
  EXPECT_EQ(folderEntries(scratch / "Nature"), std::set<std::string>{"Aqua.jpg"});
}

}  // namespace
}  // namespace velmora
