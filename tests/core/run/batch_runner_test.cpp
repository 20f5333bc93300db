#include "core/run/batch_runner.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "core/errors.h"
#include "core/files/folder_listing.h"
#include "core/rules/output_naming.h"
#include "core/run/heap_policy.h"
#include "core/thumbnail/thumbnail_writer.h"
#include "decoder_budget.h"
#include "jpeg_fixtures.h"
#include "sanitizers.h"

namespace velmora {
namespace {

using testing::testMemory;

using testing::TempFolder;

class LinesLog : public LogSink {
 public:
  void record(const FileOutcome& outcome) override {
    if (!outcome.logLine.empty()) lines.push_back(outcome.logLine);
  }
  std::vector<std::string> lines;
};

class CountingProgress : public ProgressSink {
 public:
  void advance() override { ++steps; }
  int steps = 0;
};

// Everything a run leaves behind: the log, the progress, the error and every output file.
struct RunOutcome {
  std::vector<std::string> log;
  int progressSteps = 0;
  std::string error;
  std::string errorFile;
  std::map<std::string, std::string> outputs;  // name -> bytes
};

RunOutcome runInto(const std::vector<ThumbnailRequest>& requests, const std::string& outputFolder,
                   unsigned workers) {
  std::filesystem::remove_all(outputFolder);
  std::filesystem::create_directories(outputFolder);
  LinesLog log;
  CountingProgress progress;
  RunOutcome outcome;
  try {
    runThumbnails(requests, log, progress, RunOptions{testMemory(), workers});
  } catch (const Error& error) {
    outcome.error = error.what();
    outcome.errorFile = error.file();
  }
  outcome.log = log.lines;
  outcome.progressSteps = progress.steps;
  for (const auto& entry : std::filesystem::directory_iterator(outputFolder)) {
    outcome.outputs[entry.path().filename().string()] =
        testing::fileContents(entry.path().string());
  }
  return outcome;
}

constexpr SizingRequest kHeight40{SizingMode::Height, 0, 40, 0};

// Twelve pictures of different sizes and contents; "f.jpg" is too small to shrink to 40 rows.
std::vector<std::string> makePictures(const TempFolder& scratch) {
  const char* names[] = {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg", "f.jpg",
                         "g.jpg", "h.jpg", "i.jpg", "j.jpg", "k.jpg", "l.jpg"};
  unsigned seed = 1;
  for (const char* name : names) {
    const int height = std::string(name) == "f.jpg" ? 30 : 60 + static_cast<int>(seed) * 13;
    testing::writeJpeg(scratch / ("in/" + std::string(name)), 50 + static_cast<int>(seed) * 21,
                       height, seed);
    ++seed;
  }
  return *listJpegFiles(scratch / "in");
}

TEST(BatchRunner, RefusalDoesNotStopRun) {
  TempFolder scratch;
  std::filesystem::create_directories(scratch / "in");
  const auto names = makePictures(scratch);
  const NamingSettings naming{NamingMode::SameNameInChosenFolder, "", scratch / "out"};
  const RunOutcome outcome =
      runInto(batchRequests(scratch / "in", names, naming, kHeight40), scratch / "out", 1);
  EXPECT_EQ(outcome.error, "");
  ASSERT_EQ(outcome.log.size(), 12u);
  EXPECT_EQ(outcome.log[5], "缩略图失败：" + (scratch / "in/f.jpg") + "只能缩小！");
  EXPECT_EQ(outcome.log[6],
            "缩略图生成:" + (scratch / "in/g.jpg") + "-->" + (scratch / "out/g.jpg"));
  EXPECT_EQ(outcome.progressSteps, 12);
  EXPECT_EQ(outcome.outputs.size(), 11u);
  EXPECT_EQ(outcome.outputs.count("f.jpg"), 0u);
}

class ParallelBatch : public ::testing::TestWithParam<unsigned> {};

TEST_P(ParallelBatch, EqualsOneWorkerRunByteForByte) {
  TempFolder scratch;
  std::filesystem::create_directories(scratch / "in");
  const auto names = makePictures(scratch);
  const NamingSettings naming{NamingMode::SameNameInChosenFolder, "", scratch / "out"};
  const auto requests = batchRequests(scratch / "in", names, naming, kHeight40);
  const RunOutcome serial = runInto(requests, scratch / "out", 1);
  const RunOutcome parallel = runInto(requests, scratch / "out", GetParam());
  EXPECT_EQ(parallel.error, serial.error);
  EXPECT_EQ(parallel.log, serial.log);
  EXPECT_EQ(parallel.progressSteps, serial.progressSteps);
  EXPECT_TRUE(parallel.outputs == serial.outputs);
  EXPECT_EQ(parallel.outputs.size(), 11u);
}

TEST_P(ParallelBatch, StopsAtBrokenFileInTheMiddleLikeOneWorkerRun) {
  TempFolder scratch;
  std::filesystem::create_directories(scratch / "in");
  makePictures(scratch);
  scratch.write("in/g.jpg", "this is no picture");
  const auto names = *listJpegFiles(scratch / "in");
  const NamingSettings naming{NamingMode::SameNameInChosenFolder, "", scratch / "out"};
  const auto requests = batchRequests(scratch / "in", names, naming, kHeight40);
  const RunOutcome serial = runInto(requests, scratch / "out", 1);
  const RunOutcome parallel = runInto(requests, scratch / "out", GetParam());

  EXPECT_EQ(serial.error, "JPEG error #53");
  EXPECT_EQ(serial.errorFile, scratch / "in/g.jpg");
  ASSERT_EQ(serial.log.size(), 6u);
  EXPECT_EQ(serial.progressSteps, 6);
  EXPECT_EQ(serial.outputs.size(), 5u);  // a to e; f was refused
  EXPECT_EQ(serial.outputs.count("h.jpg"), 0u);

  EXPECT_EQ(parallel.error, serial.error);
  EXPECT_EQ(parallel.errorFile, serial.errorFile);
  EXPECT_EQ(parallel.log, serial.log);
  EXPECT_EQ(parallel.progressSteps, serial.progressSteps);
  EXPECT_TRUE(parallel.outputs == serial.outputs);
}

TEST_P(ParallelBatch, ReadsFileAnEarlierRequestWroteLikeOneWorkerRun) {
  // With the prefix "tb", making a.jpg's thumbnail replaces tba.jpg, which the batch then reads.
  TempFolder scratch;
  testing::writeJpeg(scratch / "a.jpg", 300, 200, 1);
  testing::writeJpeg(scratch / "tba.jpg", 200, 300, 2);
  testing::writeJpeg(scratch / "tbtba.jpg", 90, 90, 3);
  const auto names = *listJpegFiles(scratch.path());
  const NamingSettings naming{NamingMode::PrefixInSourceFolder, "tb", ""};
  const auto requests = batchRequests(scratch.path(), names, naming, {SizingMode::Rate, 50, 0, 0});
  const std::string original = testing::fileContents(scratch / "tbtba.jpg");

  std::map<std::string, std::string> results[2];
  std::vector<std::string> logs[2];
  const unsigned workers[2] = {1, GetParam()};
  for (int run = 0; run < 2; ++run) {
    testing::writeJpeg(scratch / "tba.jpg", 200, 300, 2);
    testing::writeJpeg(scratch / "tbtba.jpg", 90, 90, 3);
    LinesLog log;
    CountingProgress progress;
    runThumbnails(requests, log, progress, RunOptions{testMemory(), workers[run]});
    logs[run] = log.lines;
    for (const char* name : {"tba.jpg", "tbtba.jpg", "tbtbtba.jpg"}) {
      results[run][name] = testing::fileContents(scratch / name);
    }
    std::filesystem::remove(scratch / "tbtbtba.jpg");
  }
  EXPECT_NE(results[0]["tbtba.jpg"], original);
  EXPECT_EQ(logs[1], logs[0]);
  EXPECT_TRUE(results[1] == results[0]);
}

// Progressive files need their whole coefficient array (about 75 MB for a claimed 5000 x 5000
// picture). Four at once would not fit in the capped address space; drawing from one budget
// of half of it, they take turns and every one is made.
TEST(BatchRunner, ProgressiveFilesTakeTurnsInOneMemoryBudget) {
  if (!testing::kAddressSpaceCanBeCapped) GTEST_SKIP() << testing::kNoCapUnderSanitizer;
  TempFolder scratch;
  testing::EncodeOptions options;
  options.progressive = true;
  const testing::Bytes claimed =
      testing::withFrameSize(testing::encodeJpeg(64, 48, options), 5000, 5000);
  std::vector<ThumbnailRequest> requests;
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"}) {
    const std::string source = scratch.write(name, std::string(claimed.begin(), claimed.end()));
    requests.push_back(
        {source, scratch / (std::string("tb") + name), {SizingMode::Fit, 0, 100, 100}});
  }
  const pid_t child = ::fork();
  if (child == 0) {
    // On top of what the test process already holds (heap arenas the threads of earlier tests
    // reserved stay reserved here): room for one of the four coefficient arrays at a time.
    std::ifstream statm("/proc/self/statm");
    rlim_t pages = 0;
    statm >> pages;
    const rlim_t limit = pages * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + (192u << 20);
    const rlimit cap{limit, limit};
    ::setrlimit(RLIMIT_AS, &cap);
    keepFreedMemoryForReuse();  // as the tool does: no heap reserved per thread
    // Half of the room above, as the programs' budget is half of what they may use.
    DecoderMemoryBudget memory([] { return std::uint64_t{96} << 20; });
    LinesLog log;
    CountingProgress progress;
    try {
      runThumbnails(requests, log, progress, RunOptions{memory, 4});
    } catch (...) {
      std::_Exit(2);
    }
    std::_Exit(log.lines.size() == requests.size() ? 0 : 3);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// After the budget test: the threads of these runs leave address space behind that would
// count against the budget test's cap when the whole binary runs in one process.
// Every outcome a run reports, in order, with the file and the cause.
class OutcomesLog : public LogSink {
 public:
  void record(const FileOutcome& outcome) override { outcomes.push_back(outcome); }
  std::vector<FileOutcome> outcomes;
};

INSTANTIATE_TEST_SUITE_P(Workers, ParallelBatch, ::testing::Values(2u, 3u, 8u));

// A made, b broken, c cut short, d too small, e's destination a folder, f up to date.
void runPastFailures(unsigned workers) {
  SCOPED_TRACE(std::to_string(workers) + " workers");
  TempFolder scratch;
  const testing::Bytes good = testing::encodeJpeg(120, 90);
  scratch.write("in/a.jpg", good);
  scratch.write("in/b.jpg", "this is no picture");
  scratch.write("in/c.jpg", testing::cutAt(good, testing::scanHeaderOffset(good) + 40));
  scratch.write("in/d.jpg", testing::encodeJpeg(20, 20));
  scratch.write("in/e.jpg", good);
  scratch.write("in/f.jpg", good);
  std::filesystem::create_directories(scratch / "out/e.jpg");  // a folder where e.jpg goes
  scratch.write("out/f.jpg", "made earlier");
  std::filesystem::last_write_time(
      scratch / "out/f.jpg",
      std::filesystem::last_write_time(scratch / "in/f.jpg") + std::chrono::seconds(5));
  const NamingSettings naming{NamingMode::SameNameInChosenFolder, "", scratch / "out"};
  const auto requests =
      batchRequests(scratch / "in", *listJpegFiles(scratch / "in"), naming, kHeight40);
  RunOptions options{testMemory()};
  options.workers = workers;
  options.keepGoing = true;
  options.skipUpToDate = true;
  OutcomesLog log;
  CountingProgress progress;
  runThumbnails(requests, log, progress, options);

  using R = FileResult;
  const std::vector<R> results = {R::Made, R::Failed, R::Made, R::Refused, R::Failed, R::Skipped};
  ASSERT_EQ(log.outcomes.size(), results.size());
  for (std::size_t i = 0; i < results.size(); ++i) {
    EXPECT_EQ(log.outcomes[i].result, results[i]) << i;
    EXPECT_EQ(log.outcomes[i].source, requests[i].sourcePath);
    EXPECT_EQ(log.outcomes[i].truncated, i == 2) << i;
  }
  EXPECT_EQ(log.outcomes[0].logLine, successLine(scratch / "in/a.jpg", scratch / "out/a.jpg"));
  EXPECT_EQ(log.outcomes[1].failedFile, scratch / "in/b.jpg");
  EXPECT_EQ(log.outcomes[1].error, "JPEG error #53");
  EXPECT_EQ(log.outcomes[3].logLine, refusalLine(scratch / "in/d.jpg"));
  EXPECT_EQ(log.outcomes[4].failedFile, scratch / "out/e.jpg");
  EXPECT_EQ(log.outcomes[4].error.rfind("Cannot create file \"" + (scratch / "out/e.jpg"), 0), 0u);
  EXPECT_EQ(progress.steps, 6);
  EXPECT_EQ(testing::fileContents(scratch / "out/f.jpg"), "made earlier");
}

TEST(BatchRunner, KeepsGoingPastFailuresAndReportsEachOutcome) {
  for (const unsigned workers : {1u, 3u}) runPastFailures(workers);
}

}  // namespace
}  // namespace velmora
