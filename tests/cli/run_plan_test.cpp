// Planning a run: what each path becomes, and the run checks over all of them before anything
// is written.

#include "cli/run_plan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "jpeg_fixtures.h"

namespace velmora::cli {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

RunPlan plan(std::vector<std::string> arguments, const std::string& standardInput = "") {
  std::istringstream in(standardInput);
  return planCommand(parseCommandLine(arguments, 1), in);
}

TEST(RunPlan, EachPathBecomesTheRunOfAFileAFolderOrATree) {
  TempFolder scratch;
  testing::writeJpeg(scratch / "pics/b.jpg", 32, 32);
  testing::writeJpeg(scratch / "pics/A.JPEG", 32, 32);
  scratch.write("pics/notes.txt", "x");
  const RunPlan folders = plan({scratch / "pics/", scratch / "pics//b.jpg"}, "");
  ASSERT_EQ(folders.runs.size(), 2u);
  EXPECT_EQ(folders.runs[0].kind, SourceKind::Folder);
  EXPECT_EQ(folders.runs[0].sourceFolder, scratch / "pics");
  EXPECT_EQ(folders.runs[0].listedNames, (std::vector<std::string>{"A.JPEG", "b.jpg"}));
  EXPECT_EQ(folders.runs[1].kind, SourceKind::File);
  EXPECT_EQ(folders.runs[1].sourceFolder, scratch / "pics");
  EXPECT_EQ(folders.runs[1].selectedPath, scratch / "pics/b.jpg");
  EXPECT_EQ(folders.check, RunCheckResult::Pass);

  const RunPlan tree = plan({"-r", "-0", "--files-from", "-", scratch / "pics"},
                            std::string("a.jpg\0\0", 7) + scratch / "pics/b.jpg");
  EXPECT_EQ(tree.runs[0].kind, SourceKind::Tree);
  EXPECT_EQ(tree.listedFiles, (std::vector<std::string>{"a.jpg", scratch / "pics/b.jpg"}));
  EXPECT_EQ(planFileRun("a.jpg").sourceFolder, ".");
  EXPECT_EQ(planFileRun("/a.jpg").sourceFolder, "/");
}

TEST(RunPlan, PathsThatCannotBeRunAreUsageErrors) {
  TempFolder scratch;
  const auto message = [](std::vector<std::string> arguments) {
    try {
      plan(std::move(arguments));
    } catch (const UsageError& error) {
      return std::string(error.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(message({scratch / "missing"}),
            "\"" + scratch / "missing" + "\": No such file or directory");
  EXPECT_EQ(message({"/dev/null"}), "\"/dev/null\" is neither a file nor a folder");
  EXPECT_EQ(message({"--files-from", scratch / "missing"}),
            "cannot read the list \"" + scratch / "missing" + "\": No such file or directory");
}

// The checks of every run, with the output folder named under many spellings of the source.
TEST(RunPlan, RunChecksRefuseBeforeAnythingIsWritten) {
  TempFolder scratch;
  testing::writeJpeg(scratch / "pics/a.jpg", 32, 32);
  fs::create_directories(scratch / "pics/sub");
  fs::create_directories(scratch / "empty");
  fs::create_directory_symlink(scratch / "pics", scratch / "link");
  const std::string pics = scratch / "pics";
  struct Row {
    std::vector<std::string> arguments;
    RunCheckResult check;
  };
  const std::vector<Row> rows = {
      {{scratch / "empty"}, RunCheckResult::NoFiles},
      {{"--prefix", "./", pics}, RunCheckResult::IndistinctPrefix},
      {{"--out", pics + "/sub/..", pics}, RunCheckResult::SameFolder},
      {{"--out", scratch / "link/", pics + "/a.jpg"}, RunCheckResult::SameFolder},
      {{"--out", " " + pics + "/. ", scratch / "link"}, RunCheckResult::SameFolder},
      {{"--out", pics + "//", "-r", scratch / "link"}, RunCheckResult::SameFolder},
      {{"--out", scratch / "empty", "--files-from", "-"}, RunCheckResult::SameFolder},
      // A tree mirrored into a folder above it could land on its own pictures.
      {{"-r", "--out", scratch.path(), pics}, RunCheckResult::SameFolder},
      {{"--out", scratch.path(), pics}, RunCheckResult::Pass},
      {{"-r", "--out", pics + "/sub", pics}, RunCheckResult::Pass},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(plan(row.arguments, scratch / "empty/x.jpg\n").check, row.check)
        << ::testing::PrintToString(row.arguments);
  }
}

}  // namespace
}  // namespace velmora::cli
