// Pruning a mirrored output tree: what goes and, above all, what stays.

#include "core/run/output_prune.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <filesystem>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "jpeg_fixtures.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

std::set<std::string> entriesBelow(const std::string& folder) {
  std::set<std::string> entries;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    entries.insert(entry.path().lexically_relative(folder).string());
  }
  return entries;
}

std::set<std::string> words(const std::string& text) {
  std::istringstream stream(text);
  return {std::istream_iterator<std::string>(stream), std::istream_iterator<std::string>()};
}

std::set<std::string> prunedBelow(const PruneResult& result, const std::string& root) {
  std::set<std::string> paths;
  for (const PrunedPath& pruned : result.pruned) {
    paths.insert(fs::relative(pruned.path, root).string() + (pruned.folder ? "/" : ""));
  }
  return paths;
}

// b.jpg was renamed from old-b.jpg and the folder 2020 from old2020; deleted.jpg and
// 2019/gone.jpg were deleted. Two shards prune the orphans between them, each only its own.
TEST(OutputPrune, OrphansOfDeletedAndRenamedPhotosGoAndNothingElse) {
  TempFolder scratch;
  const testing::Bytes jpeg = testing::encodeJpeg(16, 16);
  for (const char* source : {"photos/a.jpg", "photos/b.jpg", "photos/2019/c.jpg",
                             "photos/2020/d.jpg", "photos/2020/e.jpg", "extra/x.jpg"}) {
    scratch.write(source, jpeg);
  }
  const std::vector<std::string> orphans = {"old-b.jpg", "deleted.jpg", "2019/gone.jpg",
                                            "old2020/d.jpg", "old2020/e.jpg"};
  // What stays: the thumbnails of photos still there, and everything that is no orphan.
  const std::set<std::string> kept = words(
      "a.jpg b.jpg x.jpg 2019 2019/c.jpg 2020 2020/d.jpg 2020/e.jpg notes.txt mine mine/own.jpg "
      "mine/readme.txt fake.jpg planted.jpg planted-dir empty .velmora-1.tmp photos-copy "
      "photos-copy/q.jpg small small/s.jpg album album/big.jpg big.jpg");
  for (const std::string& name : orphans) scratch.write("web/" + name, jpeg);
  for (const char* name : {"a.jpg", "b.jpg", "x.jpg", "2019/c.jpg", "2020/d.jpg", "2020/e.jpg",
                           "mine/own.jpg", ".velmora-1.tmp"}) {
    scratch.write("web/" + std::string(name), jpeg);
  }
  // The user's own photos, of sides no thumbnail of this output has.
  scratch.write("web/album/big.jpg", testing::encodeJpeg(64, 48));
  scratch.write("web/big.jpg", testing::encodeJpeg(64, 48));
  scratch.write("web/notes.txt", "notes");
  scratch.write("web/mine/readme.txt", "mine");
  scratch.write("web/fake.jpg", "not a picture");
  scratch.write("elsewhere/target.jpg", jpeg);
  fs::create_symlink(scratch / "elsewhere/target.jpg", scratch / "web/planted.jpg");
  fs::create_directory_symlink(scratch / "elsewhere", scratch / "web/planted-dir");
  fs::create_directory(scratch / "web/empty");
  // A source tree inside the output tree holds sources, however it is named, and another
  // output's tree its own thumbnails.
  scratch.write("web/photos-copy/q.jpg", jpeg);
  scratch.write("web/small/s.jpg", jpeg);

  const std::string web = scratch / "web";
  PruneRequest request{{scratch / "photos", scratch / "extra", scratch / "web/photos-copy"},
                       {web, std::make_shared<const DirectoryHandle>(openFolder(web))},
                       {openFolder(scratch / "web/small").identity()},
                       {1, 2},
                       false,
                       {SizingMode::Fit, 0, 16, 16}};
  const PruneResult first = pruneOutputTree(request);
  std::set<std::string> firstShard;
  for (const std::string& orphan : orphans) {
    if (inShard(orphan, request.shard)) firstShard.insert(orphan);
  }
  if (firstShard.count("old2020/d.jpg") + firstShard.count("old2020/e.jpg") == 2) {
    firstShard.insert("old2020/");
  }
  EXPECT_EQ(prunedBelow(first, web), firstShard);

  request.shard = {2, 2};
  const PruneResult second = pruneOutputTree(request);
  std::set<std::string> all = prunedBelow(first, web);
  for (const std::string& path : prunedBelow(second, web)) all.insert(path);
  EXPECT_EQ(all, std::set<std::string>({"old-b.jpg", "deleted.jpg", "2019/gone.jpg",
                                        "old2020/d.jpg", "old2020/e.jpg", "old2020/"}));
  EXPECT_TRUE(first.errors.empty() && second.errors.empty());
  EXPECT_EQ(entriesBelow(web), kept);
  EXPECT_TRUE(fs::exists(scratch / "elsewhere/target.jpg"));
}

// A renamed folder's mirror as deep as a tree others fill may go: it goes whole, and the
// pruning holds far fewer descriptors than there are levels.
TEST(OutputPrune, DeepMirrorOfARenamedFolderGoesWithFewDescriptors) {
  TempFolder scratch;
  const testing::Bytes jpeg = testing::encodeJpeg(16, 16);
  scratch.write("photos/renamed/a.jpg", jpeg);
  constexpr int kLevels = 200;
  std::string level = "web/old";
  for (int depth = 0; depth < kLevels; ++depth) {
    scratch.write(level + "/a.jpg", jpeg);
    level += "/d";
  }
  const std::string web = scratch / "web";
  const PruneRequest request{{scratch / "photos"},
                             {web, std::make_shared<const DirectoryHandle>(openFolder(web))},
                             {},
                             {},
                             false,
                             {SizingMode::Fit, 0, 16, 16}};
  rlimit descriptors{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &descriptors), 0);
  const rlimit before = descriptors;
  descriptors.rlim_cur = 32;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &descriptors), 0);
  const PruneResult result = pruneOutputTree(request);
  setrlimit(RLIMIT_NOFILE, &before);
  EXPECT_TRUE(result.errors.empty());
  EXPECT_EQ(result.pruned.size(), 2u * kLevels);
  EXPECT_TRUE(entriesBelow(web).empty());
}

}  // namespace
}  // namespace velmora
