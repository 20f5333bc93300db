// Malformed and hostile inputs through the whole thumbnail path: each ends in its one outcome
// (a thumbnail, a refusal, or the error text), and nothing else changes on disk.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "../../support/bad_inputs.h"
#include "core/errors.h"
#include "core/files/folder_listing.h"
#include "core/rules/output_naming.h"
#include "core/run/batch_runner.h"
#include "core/thumbnail/thumbnail_writer.h"
#include "decoder_budget.h"
#include "jpeg_fixtures.h"

namespace velmora {
namespace {

using testing::testMemory;

namespace fs = std::filesystem;
using testing::BadInput;
using testing::Bytes;
using testing::Outcome;

const std::string kPreviousThumbnail = "an earlier thumbnail";

class BadInputTest : public ::testing::TestWithParam<BadInput> {};

TEST_P(BadInputTest, EndsInItsOneOutcomeAndChangesNothingElse) {
  const BadInput& row = GetParam();
  testing::TempFolder scratch;
  const Bytes input = row.bytes();
  const std::string source = scratch.write("in.jpg", std::string(input.begin(), input.end()));
  const std::string destination = scratch.write("tbin.jpg", kPreviousThumbnail);

  std::optional<std::string> line;
  std::string error;
  try {
    line = makeThumbnailFile({source, destination, row.sizing}, testMemory());
  } catch (const Error& e) {
    error = e.what();
    // A codec error carries libjpeg's own code, the number its text shows.
    if (const auto* codec = dynamic_cast<const EJPEG*>(&e)) {
      EXPECT_EQ(error, "JPEG error #" + std::to_string(codec->code()));
    }
  }

  const std::string written = testing::fileContents(destination);
  switch (row.outcome) {
    case Outcome::Made: {
      ASSERT_EQ(error, "");
      EXPECT_EQ(line, successLine(source, destination));
      const testing::FrameInfo frame = testing::readFrame(Bytes(written.begin(), written.end()));
      EXPECT_TRUE(frame.complete);
      EXPECT_EQ(frame.components, 3u);
      EXPECT_EQ(frame.width, static_cast<unsigned>(row.made.width));
      EXPECT_EQ(frame.height, static_cast<unsigned>(row.made.height));
      break;
    }
    case Outcome::Refused:
      ASSERT_EQ(error, "");
      EXPECT_EQ(line, refusalLine(source));
      EXPECT_EQ(written, kPreviousThumbnail);
      break;
    case Outcome::Failed:
      EXPECT_FALSE(line.has_value()) << *line;
      EXPECT_EQ(error, row.errorText);
      EXPECT_EQ(written, kPreviousThumbnail);
      break;
  }
  EXPECT_EQ(testing::fileContents(source), std::string(input.begin(), input.end()));
  EXPECT_EQ(testing::folderEntries(scratch.path()), (std::set<std::string>{"in.jpg", "tbin.jpg"}));
}

INSTANTIATE_TEST_SUITE_P(Table, BadInputTest, ::testing::ValuesIn(testing::badInputs()),
                         [](const auto& info) { return info.param.name; });

TEST(AwkwardNames, ThumbnailsMadeAndLoggedByteForByte) {
  testing::TempFolder scratch;
  const std::string picture(testing::plain().begin(), testing::plain().end());
  for (const std::string& name : testing::kAwkwardNames) {
    const std::string source = scratch.write(name, picture);
    const std::string destination = scratch / ("tb" + name);
    EXPECT_EQ(makeThumbnailFile({source, destination, {SizingMode::Rate, 50, 0, 0}}, testMemory()),
              successLine(source, destination));
    const std::string written = testing::fileContents(destination);
    EXPECT_TRUE(testing::readFrame(Bytes(written.begin(), written.end())).complete) << name;
  }
}

TEST(AwkwardNames, OpenErrorNamesTheFileByteForByte) {
  testing::TempFolder scratch;
  for (const std::string& name : testing::kAwkwardNames) {
    const std::string source = scratch / name;
    try {
      makeThumbnailFile({source, scratch / ("tb" + name), {SizingMode::Rate, 50, 0, 0}},
                        testMemory());
      ADD_FAILURE() << "no error for a missing " << name;
    } catch (const EFOpenError& e) {
      EXPECT_EQ(std::string(e.what()),
                "Cannot open file \"" + source + "\". No such file or directory");
    }
  }
}

class RecordingLog : public LogSink, public ProgressSink {
 public:
  void record(const FileOutcome& outcome) override {
    if (!outcome.logLine.empty()) lines.push_back(outcome.logLine);
  }
  void advance() override { ++steps; }
  std::vector<std::string> lines;
  int steps = 0;
};

// A folder listed, then changed under the batch before it reaches the files.
struct ChangedFolder {
  std::string name;
  std::function<void(const std::string& folder)> change;
  std::string errorAfterFolder;  // the error text, after the expanded folder path
  std::size_t linesBefore;       // log lines written before the error
};

TEST(ChangedAfterListing, BatchStopsAtTheFirstMissingOrUnreadableFile) {
  const std::vector<ChangedFolder> rows = {
      {"folder vanished", [](const std::string& f) { fs::remove_all(f); },
       "/a.jpg\". No such file or directory", 0},
      {"file vanished", [](const std::string& f) { fs::remove(f + "/b.jpg"); },
       "/b.jpg\". No such file or directory", 1},
      {"file replaced by a folder",
       [](const std::string& f) {
         fs::remove(f + "/b.jpg");
         fs::create_directory(f + "/b.jpg");
       },
       "/b.jpg\". Is a directory", 1},
  };
  for (const ChangedFolder& row : rows) {
    SCOPED_TRACE(row.name);
    testing::TempFolder scratch;
    const std::string folder = scratch / "pics";
    const std::string picture(testing::plain().begin(), testing::plain().end());
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
      scratch.write(std::string("pics/") + name, picture);
    const auto listed = listJpegFiles(folder);
    ASSERT_TRUE(listed.has_value());
    const NamingSettings naming{NamingMode::SameNameInChosenFolder, "", scratch / "out"};
    fs::create_directory(scratch / "out");
    const auto requests = batchRequests(folder, *listed, naming, {SizingMode::Rate, 50, 0, 0});
    row.change(folder);

    RecordingLog log;
    try {
      runThumbnails(requests, log, log, RunOptions{testMemory()});
      ADD_FAILURE() << "the batch ran to its end";
    } catch (const EFOpenError& e) {
      EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + folder + row.errorAfterFolder);
    }
    EXPECT_EQ(log.lines.size(), row.linesBefore);
    EXPECT_EQ(static_cast<std::size_t>(log.steps), row.linesBefore);
    EXPECT_FALSE(fs::exists(scratch / "out/c.jpg"));
  }
}

}  // namespace
}  // namespace velmora
