// What the tool tells its user about each outcome, on a pipe and on a terminal.

#include "cli/run_report.h"

#include <gtest/gtest.h>

#include <new>
#include <sstream>
#include <system_error>

#include "cli/terminal_text.h"

namespace velmora::cli {
namespace {

FileOutcome outcome(FileResult result, const std::string& source) {
  FileOutcome made;
  made.result = result;
  made.source = source;
  made.failedFile = source;
  return made;
}

TEST(RunReport, NamesEachFileAndCountsEachOutcome) {
  for (const bool terminal : {false, true}) {
    SCOPED_TRACE(terminal ? "terminal" : "pipe");
    std::ostringstream out;
    std::ostringstream err;
    RunReport report({out, err, terminal, terminal}, nullptr);
    FileOutcome made = outcome(FileResult::Made, "p/a\n.jpg");
    made.logLine = "缩略图生成:p/a\n.jpg-->t/a\n.jpg";
    report.record(made);
    made.truncated = true;
    made.source = "p/cut.jpg";
    made.logLine = "缩略图生成:p/cut.jpg-->t/cut.jpg";
    report.record(made);
    FileOutcome refused = outcome(FileResult::Refused, "p/small.jpg");
    refused.logLine = "缩略图失败：p/small.jpg只能缩小！";
    report.record(refused);
    report.record(outcome(FileResult::Skipped, "p/old.jpg"));
    FileOutcome broken = outcome(FileResult::Failed, "p/\033[2Jb.jpg");
    broken.error = "JPEG error #53";
    report.record(broken);
    FileOutcome full = outcome(FileResult::Failed, "p/c.jpg");
    full.failedFile = "t/c.jpg";
    full.error = "Stream write error";
    full.reason = "No space left on device";
    report.record(full);
    report.folderSkipped("p/private", EACCES);
    report.finishLog();

    const std::string newline = terminal ? "\\n" : "\n";
    EXPECT_EQ(out.str(), "缩略图生成:p/a" + newline + ".jpg-->t/a" + newline +
                             ".jpg\n缩略图生成:p/cut.jpg-->t/cut.jpg\n"
                             "缩略图失败：p/small.jpg只能缩小！\n");
    EXPECT_EQ(err.str(),
              "velmora-thumb: p/cut.jpg: picture data ends early; the rest is grey\n"
              "velmora-thumb: p/" +
                  std::string(terminal ? "\\033" : "\033") +
                  "[2Jb.jpg: JPEG error #53\n"
                  "velmora-thumb: t/c.jpg: Stream write error: No space left on device\n"
                  "velmora-thumb: p/private: folder skipped: Permission denied\n");
    const OutcomeCounts& counts = report.counts();
    EXPECT_EQ(summaryText(counts, 2.04),
              "2 made, 1 refused, 1 up to date, 2 failed, 1 cut short, 1 folders skipped, 2.0 s");
    EXPECT_TRUE(report.anyTrouble());
  }
  EXPECT_EQ(summaryText({3, 0, 2, 0, 0, 0}, 1.0),
            "3 made, 0 refused, 2 up to date, 0 failed, 1.0 s");
  EXPECT_EQ(summaryText({0, 0, 5, 0, 0, 0, 4}, 1.0),
            "0 made, 0 refused, 5 up to date, 0 failed, 4 pruned, 1.0 s");
}

TEST(RunReport, ErrorsThatAreNoFilesOwnAndLostLogs) {
  EXPECT_EQ(runErrorText(std::bad_alloc()), "Out of memory");
  EXPECT_EQ(runErrorText(
                std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again))),
            "the workers could not start: Resource temporarily unavailable");
  std::ostringstream out;
  std::ostringstream err;
  out.setstate(std::ios::badbit);
  RunReport report({out, err, false, false}, nullptr);
  report.finishLog();
  EXPECT_EQ(err.str().rfind("velmora-thumb: the log could not be written: ", 0), 0u);
  EXPECT_TRUE(report.anyTrouble());
}

TEST(TerminalText, ControlCharactersAreEscapedAsLsDoes) {
  EXPECT_EQ(escapedForTerminal("a\tb\\c\x7f\x01 é\xc2\x9b[1m.jpg"),
            "a\\tb\\\\c\\177\\001 é\\302\\233[1m.jpg");
  EXPECT_EQ(shownText("a\nb", false), "a\nb");
}

}  // namespace
}  // namespace velmora::cli
