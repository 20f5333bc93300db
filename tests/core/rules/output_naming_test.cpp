#include "core/rules/output_naming.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "jpeg_fixtures.h"

namespace velmora {
namespace {

NamingSettings prefixNaming(const std::string& prefix) {
  return {NamingMode::PrefixInSourceFolder, prefix, ""};
}
NamingSettings folderNaming(const std::string& folder) {
  return {NamingMode::SameNameInChosenFolder, "tb", folder};
}

struct SingleCase {
  const char* name;
  const char* selectedPath;
  const char* treePath;
  const char* sourceFolder;
  NamingSettings naming;
  const char* expected;
};

std::ostream& operator<<(std::ostream& out, const SingleCase& c) { return out << c.name; }

class SingleImageNaming : public ::testing::TestWithParam<SingleCase> {};

TEST_P(SingleImageNaming, FormsDestination) {
  const SingleCase& c = GetParam();
  EXPECT_EQ(singleImageDestination(c.selectedPath, c.treePath, c.sourceFolder, c.naming),
            c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SingleImageNaming,
    ::testing::Values(
        SingleCase{"PrefixKeepsNameAndCase", "/pics/a.JPG", "/pics", "/pics", prefixNaming("tb"),
                   "/pics/tba.JPG"},
        SingleCase{"PrefixTrimmed", "/pics/a.jpg", "/pics", "/pics", prefixNaming(" s\t"),
                   "/pics/sa.jpg"},
        SingleCase{"RootLikeDriveRoot", "/a.jpg", "/", "/", prefixNaming("s"), "/sa.jpg"},
        SingleCase{"TreePathGoesFirst", "/pics/a.jpg", "/other", "/pics", prefixNaming("tb"),
                   "/other/tba.jpg"},
        SingleCase{"ChosenFolder", "/pics/a.jpg", "/pics", "/pics", folderNaming("/out"),
                   "/out/a.jpg"},
        SingleCase{"ChosenFolderEndingInSeparator", "/pics/a.jpg", "/pics", "/pics",
                   folderNaming("/out/"), "/out/a.jpg"},
        SingleCase{"ChosenRoot", "/pics/a.jpg", "/pics", "/pics", folderNaming("/"), "/a.jpg"},
        SingleCase{"MissingChosenFolderTrimmed", "/pics/a.jpg", "/pics", "/pics",
                   folderNaming("/out "), "/out/a.jpg"},
        SingleCase{"NameWithSpaces", "/pics/my photo.jpeg", "/pics", "/pics", prefixNaming("tb"),
                   "/pics/tbmy photo.jpeg"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SingleImageNaming, PathOutsideSourceFolderKeepsOnlyItsName) {
  EXPECT_EQ(singleImageDestination("/elsewhere/deep/a.jpg", "/pics", "/pics", prefixNaming("tb")),
            "/pics/tba.jpg");
}

TEST(BatchNaming, DirectoryLosesOneTrailingSeparator) {
  EXPECT_EQ(batchDirectory("/pics"), "/pics");
  EXPECT_EQ(batchDirectory("/pics/"), "/pics");
  EXPECT_EQ(batchDirectory("/"), "");
}

struct Pair {
  std::string source, destination;
  friend bool operator==(const Pair& a, const Pair& b) {
    return a.source == b.source && a.destination == b.destination;
  }
  friend std::ostream& operator<<(std::ostream& out, const Pair& p) {
    return out << p.source << " -> " << p.destination;
  }
};

std::vector<Pair> pairsOf(const std::vector<ThumbnailRequest>& requests) {
  std::vector<Pair> pairs;
  for (const ThumbnailRequest& r : requests) pairs.push_back({r.sourcePath, r.destinationPath});
  return pairs;
}

TEST(BatchNaming, PrefixRuleInListOrder) {
  const SizingRequest sizing{SizingMode::Fit, 0, 200, 300};
  const auto requests = batchRequests("/pics", {"b.jpg", "A.JPEG"}, prefixNaming(" tb "), sizing);
  EXPECT_EQ(pairsOf(requests), (std::vector<Pair>{{"/pics/b.jpg", "/pics/tbb.jpg"},
                                                  {"/pics/A.JPEG", "/pics/tbA.JPEG"}}));
  EXPECT_EQ(requests[1].sizing.mode, SizingMode::Fit);
  EXPECT_EQ(requests[1].sizing.heightValue, 200);
  EXPECT_EQ(requests[1].sizing.widthValue, 300);
}

TEST(BatchNaming, RootFolderGivesSingleSeparator) {
  EXPECT_EQ(pairsOf(batchRequests("/", {"a.jpg"}, prefixNaming("s"), {})),
            (std::vector<Pair>{{"/a.jpg", "/sa.jpg"}}));
}

TEST(BatchNaming, ChosenFolderTrimmedAndNotTestedForSeparator) {
  EXPECT_EQ(pairsOf(batchRequests("/pics/", {"a.jpg"}, folderNaming(" /out "), {})),
            (std::vector<Pair>{{"/pics/a.jpg", "/out/a.jpg"}}));
  EXPECT_EQ(pairsOf(batchRequests("/pics", {"a.jpg"}, folderNaming("/out/"), {})),
            (std::vector<Pair>{{"/pics/a.jpg", "/out//a.jpg"}}));
}

TEST(ChosenFolder, ExistingNameEndingInABlankIsKeptByBothCommands) {
  testing::TempFolder folder;
  const std::string blank = folder.file("out ");
  ASSERT_EQ(::mkdir(blank.c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(folder.file("out").c_str(), 0755), 0);
  EXPECT_EQ(singleImageDestination("/pics/a.jpg", "/pics", "/pics", folderNaming(blank)),
            blank + "/a.jpg");
  EXPECT_EQ(pairsOf(batchRequests("/pics", {"a.jpg"}, folderNaming(blank), {})),
            (std::vector<Pair>{{"/pics/a.jpg", blank + "/a.jpg"}}));
  const std::string missing = folder.file("gone ");
  EXPECT_EQ(chosenOutputFolder(missing), folder.file("gone"));
}

}  // namespace
}  // namespace velmora
