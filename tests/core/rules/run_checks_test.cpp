#include "core/rules/run_checks.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "jpeg_fixtures.h"

namespace velmora {
namespace {

using R = RunCheckResult;

RunCheckInput input(std::size_t files, NamingMode mode, const std::string& prefix,
                    const std::string& outputFolder, const std::string& sourceFolder) {
  return {files, {mode, prefix, outputFolder}, sourceFolder};
}

constexpr auto kPrefix = NamingMode::PrefixInSourceFolder;
constexpr auto kFolder = NamingMode::SameNameInChosenFolder;

TEST(RunChecks, TestsRunInOrder) {
  // Each row fails every check from its expected one on, so a wrong order shows.
  EXPECT_EQ(checkRunPreconditions(input(0, kPrefix, "", "/pics", "/pics")), R::NoFiles);
  EXPECT_EQ(checkRunPreconditions(input(0, kFolder, "", "", "")), R::NoFiles);
  EXPECT_EQ(checkRunPreconditions(input(1, kPrefix, "", "/pics", "/pics")), R::IndistinctPrefix);
  EXPECT_EQ(checkRunPreconditions(input(1, kFolder, "", " \t", "/pics")), R::NoOutputFolder);
  EXPECT_EQ(checkRunPreconditions(input(1, kFolder, "", "/pics", "/pics")), R::SameFolder);
  EXPECT_EQ(checkRunPreconditions(input(1, kPrefix, "tb", "/out", "/pics")), R::Pass);
  EXPECT_EQ(checkRunPreconditions(input(1, kFolder, "", "/out", "/pics")), R::Pass);
}

TEST(RunChecks, BlankPrefixOrOneLeadingBackIntoSourceFolderRefused) {
  for (const char* prefix : {"  ", "/", "./", "a/"}) {
    EXPECT_EQ(checkRunPreconditions(input(1, kPrefix, prefix, "", "/pics")), R::IndistinctPrefix)
        << prefix;
  }
}

TEST(RunChecks, LeftoverOutputFolderBlocksPrefixRule) {
  EXPECT_EQ(checkRunPreconditions(input(1, kPrefix, "tb", " /pics ", "/pics")), R::SameFolder);
  EXPECT_EQ(checkRunPreconditions(input(1, kPrefix, "tb", "/elsewhere", "/pics")), R::Pass);
}

TEST(RunChecks, DifferentTextsOfMissingFoldersAreDifferent) {
  EXPECT_EQ(checkRunPreconditions(input(1, kFolder, "", "/no/such/Pics", "/no/such/pics")),
            R::Pass);
}

TEST(RunChecks, SameFolderUnderAnySpellingRefused) {
  testing::TempFolder scratch;
  const std::string source = scratch / "pics";
  std::filesystem::create_directories(source);
  std::filesystem::create_directories(scratch / "out");
  std::filesystem::create_directory_symlink(source, scratch / "link");
  for (const std::string& spelling :
       {source + "/", source + "//", source + "/.", scratch / "out/../pics", scratch / "link",
        scratch / "link/", scratch / "new/../pics", scratch / "new/er/../../out/../pics"}) {
    EXPECT_EQ(checkRunPreconditions(input(1, kFolder, "", spelling, source)), R::SameFolder)
        << spelling;
    EXPECT_EQ(checkRunPreconditions(input(1, kPrefix, "tb", spelling, source)), R::SameFolder)
        << spelling;
  }
  EXPECT_EQ(checkRunPreconditions(input(1, kFolder, "", scratch / "out", source)), R::Pass);
  EXPECT_FALSE(std::filesystem::exists(scratch / "new"));
}

TEST(RunChecks, RelativeSpellingOfSourceFolderRefused) {
  testing::TempFolder scratch;
  std::filesystem::create_directories(scratch / "pics");
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(scratch.path());
  const R relative = checkRunPreconditions(input(1, kFolder, "", "pics", scratch / "pics"));
  const R dot = checkRunPreconditions(input(1, kFolder, "", ".", scratch.path()));
  std::filesystem::current_path(previous);
  EXPECT_EQ(relative, R::SameFolder);
  EXPECT_EQ(dot, R::SameFolder);
}

}  // namespace
}  // namespace velmora
