// Shards as the machines of a cluster see them: which shard a file falls in does not depend on
// where each machine mounts the archive. (The hash itself is pinned in the engine's tests.)

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "../support/private_mounts.h"
#include "jpeg_fixtures.h"
#include "thumb_process.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

using FileSet = std::set<std::string>;

const FileSet kArchive = {
    "a.jpg",   "b.jpg", "c.jpg", "d.jpg", "2019/e.jpg", "2019/f.jpg", "2019/Summer/g.jpg",
    "照片.jpg"};

// The thumbnails one shard of three makes, as paths below its output folder.
FileSet shardOfThree(int index, const std::string& tree, const std::string& out) {
  const testing::ThumbRun run =
      testing::runThumb({"-r", "--shard", std::to_string(index) + "/3", "--out", out, tree});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  FileSet made;
  for (const auto& entry : fs::recursive_directory_iterator(out)) {
    if (entry.is_regular_file()) made.insert(fs::relative(entry.path(), out).string());
  }
  return made;
}

TEST(Shards, TwoMountPointsOfOneArchiveSplitItAlike) {
  TempFolder scratch;
  const std::string tree = scratch / "photos";
  for (const std::string& file : kArchive) testing::writeJpeg(tree + "/" + file, 32, 32);
  const std::string elsewhere = scratch / "mnt/archive";
  fs::create_directories(elsewhere);
  testing::ScopedMount mount;
  if (!mount.bind(tree, elsewhere)) GTEST_SKIP() << "mounting is not allowed here";
  FileSet all;
  for (int index = 1; index <= 3; ++index) {
    const std::string suffix = std::to_string(index);
    const FileSet here = shardOfThree(index, tree, scratch / ("here" + suffix));
    EXPECT_EQ(shardOfThree(index, elsewhere, scratch / ("there" + suffix)), here)
        << "shard " << index;
    all.insert(here.begin(), here.end());
  }
  EXPECT_EQ(all, kArchive);
}

}  // namespace
}  // namespace velmora
