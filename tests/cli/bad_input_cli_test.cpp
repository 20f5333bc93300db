// Malformed files end to end through velmora-thumb, each between two good files of one folder:
// the log lines up to it, its own outcome, and for an error the message naming the file, the
// exit status and the batch stopping there. The engine's tests run the whole table; here
// one row of each outcome, and the claimed huge pictures under a memory ceiling on the tool.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "../support/bad_inputs.h"
#include "core/files/folder_listing.h"
#include "core/thumbnail/thumbnail_writer.h"
#include "jpeg_fixtures.h"
#include "sanitizers.h"
#include "thumb_process.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using testing::BadInput;
using testing::Bytes;
using testing::Outcome;

constexpr rlim_t kMemoryCeiling = testing::kAddressSpaceCanBeCapped ? 64 * 1024 * 1024 : 0;

std::vector<std::string> plus(std::vector<std::string> args, const std::vector<std::string>& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

std::string outcomeLine(const std::string& source, const std::string& destination, bool made) {
  return (made ? successLine(source, destination) : refusalLine(source)) + "\n";
}

class BadInputThroughTool : public ::testing::TestWithParam<BadInput> {};

TEST_P(BadInputThroughTool, EndsInItsOutcomeAndStopsTheBatchOnError) {
  const BadInput& row = GetParam();
  testing::TempFolder scratch;
  const std::string folder = scratch / "pics";
  const std::string good(testing::plain().begin(), testing::plain().end());
  const Bytes bad = row.bytes();
  scratch.write("pics/a.jpg", good);
  scratch.write("pics/b.jpg", std::string(bad.begin(), bad.end()));
  scratch.write("pics/c.jpg", good);

  testing::ThumbRunOptions options;
  options.addressSpaceLimit = kMemoryCeiling;
  const testing::ThumbRun run =
      testing::runThumb(plus(row.cliSizing, {"--prefix", "tb", "-j", "1", folder}), options);

  const bool goodMade = Decide(64, 48, row.sizing).has_value();
  const auto line = [&](const char* name, bool made) {
    return outcomeLine(folder + "/" + name, folder + "/tb" + name, made);
  };
  std::set<std::string> expected = {"a.jpg", "b.jpg", "c.jpg"};
  if (goodMade) expected.insert("tba.jpg");
  switch (row.outcome) {
    case Outcome::Made:
    case Outcome::Refused: {
      const bool made = row.outcome == Outcome::Made;
      EXPECT_EQ(run.out, line("a.jpg", goodMade) + line("b.jpg", made) + line("c.jpg", goodMade));
      // Made, but the tool warns when the picture data ended early.
      const bool cutShort =
          row.name == "cut_inside_scan" || row.name == "progressive_cut_inside_scans";
      EXPECT_EQ(run.err, cutShort ? "velmora-thumb: " + folder +
                                        "/b.jpg: picture data ends early; the rest is grey\n"
                                  : "");
      EXPECT_EQ(run.exitCode, 0);
      if (made) expected.insert("tbb.jpg");
      if (goodMade) expected.insert("tbc.jpg");
      break;
    }
    case Outcome::Failed:
      EXPECT_EQ(run.out, line("a.jpg", goodMade));
      EXPECT_EQ(run.err, "velmora-thumb: " + folder + "/b.jpg: " + row.errorText + "\n");
      EXPECT_EQ(run.exitCode, 1);
      break;
  }
  EXPECT_EQ(testing::folderEntries(folder), expected);
  if (row.outcome == Outcome::Made) {
    const std::string written = testing::fileContents(folder + "/tbb.jpg");
    const testing::FrameInfo frame = testing::readFrame(Bytes(written.begin(), written.end()));
    EXPECT_TRUE(frame.complete);
    EXPECT_EQ(frame.width, static_cast<unsigned>(row.made.width));
    EXPECT_EQ(frame.height, static_cast<unsigned>(row.made.height));
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, BadInputThroughTool,
                         ::testing::ValuesIn(testing::badInputsNamed(
                             {"zero_bytes", "png_named_jpg", "cut_inside_scan",
                              "claims_65000_square", "progressive_claims_65000_square"})),
                         [](const auto& info) { return info.param.name; });

TEST(AwkwardNamesThroughTool, FolderBatchLogsEveryNameByteForByte) {
  testing::TempFolder scratch;
  const std::string folder = scratch / "pics";
  const std::string good(testing::plain().begin(), testing::plain().end());
  for (const std::string& name : testing::kAwkwardNames) scratch.write("pics/" + name, good);
  std::vector<std::string> order = testing::kAwkwardNames;
  sortNamesForList(order);

  const testing::ThumbRun run = testing::runThumb({"--rate", "50", "--prefix", "tb", folder});
  std::string expected;
  for (const std::string& name : order)
    expected += successLine(folder + "/" + name, folder + "/tb" + name) + "\n";
  EXPECT_EQ(run.out, expected);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  for (const std::string& name : testing::kAwkwardNames)
    EXPECT_TRUE(fs::is_regular_file(folder + "/tb" + name)) << name;
}

TEST(AwkwardNamesThroughTool, EachNameAsItsOwnArgument) {
  testing::TempFolder scratch;
  const std::string good(testing::plain().begin(), testing::plain().end());
  for (const std::string& name : testing::kAwkwardNames) {
    const std::string source = scratch.write(name, good);
    const testing::ThumbRun run = testing::runThumb({"--rate", "50", "--prefix", "tb", source});
    EXPECT_EQ(run.out, successLine(source, scratch / ("tb" + name)) + "\n");
    EXPECT_EQ(run.exitCode, 0) << run.err;
  }
}

}  // namespace
}  // namespace velmora
