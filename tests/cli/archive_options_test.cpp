// The tool over photo archives: whole trees, re-runs, lists of paths and shards, run as a user
// runs it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>

#include "jpeg_fixtures.h"
#include "thumb_process.h"

namespace velmora {
namespace {

using testing::TempFolder;
namespace fs = std::filesystem;

std::string made(const std::string& source, const std::string& destination) {
  return "缩略图生成:" + source + "-->" + destination + "\n";
}

// Every file below `folder`, as paths relative to it.
std::set<std::string> filesBelow(const std::string& folder) {
  std::set<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) files.insert(fs::relative(entry.path(), folder).string());
  }
  return files;
}

// A folder "in" holding a.jpg, b.jpg and c.jpg.
std::string threePictures(const TempFolder& scratch) {
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
    testing::writeJpeg(scratch / ("in/" + std::string(name)), 64, 48, 1);
  }
  return scratch / "in";
}

bool startsWith(const std::string& text, const std::string& start) {
  return text.compare(0, start.size(), start) == 0;
}

struct TerminalRun {
  int status = -1;
  std::string out;       // standard output, a file
  std::string terminal;  // what standard error's terminal received
};

// Runs the tool with standard error on a pseudo-terminal (`columns` wide, when given) and
// standard output in a file, or on the terminal too when no file is named.
TerminalRun runOnTerminal(const std::vector<std::string>& arguments, const std::string& outFile,
                          unsigned short columns = 0) {
  std::vector<std::string> copies = arguments;
  std::string program = VELMORA_THUMB_EXE;
  std::vector<char*> argv{program.data()};
  for (std::string& argument : copies) argv.push_back(argument.data());
  argv.push_back(nullptr);
  int terminal = -1;
  winsize size{};
  size.ws_row = 24;
  size.ws_col = columns;
  const pid_t child = forkpty(&terminal, nullptr, nullptr, columns > 0 ? &size : nullptr);
  if (child == 0) {
    if (!outFile.empty()) dup2(open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
    execv(argv[0], argv.data());
    _exit(127);
  }
  TerminalRun run;
  char buffer[4096];
  for (ssize_t got; (got = read(terminal, buffer, sizeof buffer)) > 0;)
    run.terminal.append(buffer, got);
  int status = 0;
  if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) {
    run.status = WEXITSTATUS(status);
  }
  close(terminal);
  if (!outFile.empty()) run.out = testing::fileContents(outFile);
  return run;
}

// A chroot or a minimal container may have no pseudo-terminals (/dev/pts).
bool pseudoTerminalAvailable() {
  int terminal = -1;
  int other = -1;
  if (openpty(&terminal, &other, nullptr, nullptr, nullptr) != 0) return false;
  close(terminal);
  close(other);
  return true;
}

TEST(ArchiveOptions, OnlyATerminalGetsTheProgressLineAndTheSummary) {
  if (!pseudoTerminalAvailable()) GTEST_SKIP() << "no pseudo-terminal on this machine";
  TempFolder scratch;
  const std::string in = threePictures(scratch);
  const std::string out = scratch / "out";
  const TerminalRun first = runOnTerminal({"-r", "--out", out, in}, scratch / "log");
  EXPECT_EQ(first.status, 0);
  EXPECT_EQ(first.out, made(in + "/a.jpg", out + "/a.jpg") + made(in + "/b.jpg", out + "/b.jpg") +
                           made(in + "/c.jpg", out + "/c.jpg"));
  EXPECT_NE(first.terminal.find("1/3 ["), std::string::npos) << first.terminal;
  // The line is taken off before the summary is written where it was.
  EXPECT_NE(first.terminal.find("\r\033[K3 made, 0 refused, 0 up to date, "), std::string::npos)
      << first.terminal;
  fs::last_write_time(in + "/b.jpg", fs::last_write_time(out + "/b.jpg") + std::chrono::seconds(5));
  const TerminalRun update = runOnTerminal({"-r", "--update", "--out", out, in}, scratch / "log");
  EXPECT_EQ(update.out, made(in + "/b.jpg", out + "/b.jpg"));
  EXPECT_NE(update.terminal.find("1 made, 0 refused, 2 up to date, "), std::string::npos)
      << update.terminal;
  const TerminalRun quiet = runOnTerminal({"-r", "-q", "--out", out, in}, scratch / "log");
  EXPECT_EQ(quiet.out.size(), first.out.size());
  EXPECT_EQ(quiet.terminal, "");
  // On a terminal too narrow for the line every redraw still fits: a wrapped line's start
  // would stay on the screen.
  const TerminalRun narrow = runOnTerminal({"-r", "--out", out, in}, scratch / "log", 8);
  const std::string redraw = "\r\033[K";
  std::size_t drawn = 0;
  for (std::size_t at = narrow.terminal.find(redraw); at != std::string::npos;) {
    const std::size_t next = narrow.terminal.find(redraw, at + redraw.size());
    const std::string line = narrow.terminal.substr(at + redraw.size(), next - at - redraw.size());
    // The summary is written once, on a line of its own.
    if (!line.empty() && line.back() != '\n') {
      EXPECT_LT(line.size(), 8u) << line;
      ++drawn;
    }
    at = next;
  }
  EXPECT_GT(drawn, 0u) << narrow.terminal;
}

// A name may hold a newline or an escape sequence: on a terminal it is shown escaped, so it can
// neither forge a log line nor drive the terminal; piped, the log keeps its exact bytes.
TEST(ArchiveOptions, NamesAreEscapedOnATerminalOnly) {
  TempFolder scratch;
  const std::string forged = "x\n缩略图失败：important.jpg只能缩小！\n\033[2Jy.jpg";
  testing::writeJpeg(scratch / ("in/" + forged), 64, 48, 1);
  const TerminalRun shown = runOnTerminal({"-q", "--prefix", "tb", scratch / "in"}, "");
  EXPECT_EQ(shown.status, 0);
  const std::string escaped = "x\\n缩略图失败：important.jpg只能缩小！\\n\\033[2Jy.jpg";
  EXPECT_EQ(shown.terminal, "缩略图生成:" + scratch / ("in/" + escaped) + "-->" +
                                scratch / ("in/tb" + escaped) + "\r\n");
  const testing::ThumbRun piped = testing::runThumb({"--prefix", "tc", scratch / ("in/" + forged)});
  EXPECT_EQ(piped.out, made(scratch / ("in/" + forged), scratch / ("in/tc" + forged)));
}

TEST(ArchiveOptions, RecursiveMirrorLeavesOutHiddenFoldersLinksAndTheOutputFolder) {
  TempFolder scratch;
  const std::string tree = scratch / "photos";
  testing::writeJpeg(tree + "/b.jpg", 64, 48, 1);
  testing::writeJpeg(tree + "/2019/Summer/c.jpg", 64, 48, 2);
  testing::writeJpeg(tree + "/2019/a.JPG", 64, 48, 3);
  testing::writeJpeg(tree + "/.hidden/h.jpg", 64, 48, 4);
  fs::create_directory_symlink("..", tree + "/2019/loop");
  const std::string out = tree + "/thumbs";
  for (int run = 0; run < 2; ++run) {
    const testing::ThumbRun mirror = testing::runThumb({"-r", "--out", out, tree});
    EXPECT_EQ(mirror.exitCode, 0);
    EXPECT_EQ(mirror.out, made(tree + "/b.jpg", out + "/b.jpg") +
                              made(tree + "/2019/a.JPG", out + "/2019/a.JPG") +
                              made(tree + "/2019/Summer/c.jpg", out + "/2019/Summer/c.jpg"));
    EXPECT_EQ(mirror.err, "");
  }
  EXPECT_EQ(filesBelow(out), (std::set<std::string>{"b.jpg", "2019/a.JPG", "2019/Summer/c.jpg"}));
  const testing::ThumbRun beside = testing::runThumb({"-r", "-q", "--prefix", "t", tree + "/2019"});
  EXPECT_EQ(beside.exitCode, 0);
  EXPECT_EQ(beside.err, "");
  EXPECT_TRUE(fs::exists(tree + "/2019/Summer/tc.jpg"));
  // The tree under any spelling, through folders that exist or not, with nothing made.
  for (const std::string& spelling :
       {tree + "/2019/..", tree + "/new/../../" + fs::path(tree).filename().string()}) {
    const testing::ThumbRun same = testing::runThumb({"-r", "--out", spelling, tree});
    EXPECT_EQ(same.exitCode, 2) << spelling;
    EXPECT_EQ(same.err, "源目录和目标目录相同!\n");
  }
  EXPECT_FALSE(fs::exists(tree + "/new"));
  // An output folder whose name ends in a blank is taken as chosen when it exists and trimmed
  // otherwise, for every folder of the mirror.
  const std::string in = threePictures(scratch);
  testing::writeJpeg(in + "/sub /d.jpg", 64, 48, 5);
  fs::create_directory(scratch / "kept ");
  fs::create_directory(scratch / "kept");
  EXPECT_EQ(testing::runThumb({"-r", "--out", scratch / "kept ", in}).exitCode, 0);
  EXPECT_EQ(testing::runThumb({"-r", "--out", scratch / "trimmed ", in}).exitCode, 0);
  const std::set<std::string> mirrored{"a.jpg", "b.jpg", "c.jpg", "sub /d.jpg"};
  EXPECT_EQ(filesBelow(scratch / "kept "), mirrored);
  EXPECT_TRUE(fs::is_empty(scratch / "kept"));
  EXPECT_EQ(filesBelow(scratch / "trimmed"), mirrored);
  EXPECT_FALSE(fs::exists(scratch / "trimmed "));
}

TEST(ArchiveOptions, UpdateRedoesOnlySourcesNewerThanTheirThumbnails) {
  TempFolder scratch;
  const std::string in = threePictures(scratch);
  const std::string out = scratch / "out";
  fs::create_directory(out);
  EXPECT_EQ(testing::runThumb({"--out", out, in}).exitCode, 0);
  fs::last_write_time(in + "/b.jpg", fs::last_write_time(out + "/b.jpg") + std::chrono::seconds(5));
  const testing::ThumbRun update = testing::runThumb({"--update", "--out", out, in});
  EXPECT_EQ(update.exitCode, 0);
  EXPECT_EQ(update.out, made(in + "/b.jpg", out + "/b.jpg"));
  EXPECT_EQ(update.err, "");
}

// Several sizing and naming pairs in one run: one log line per output, in the order the pairs
// were given; each output is what a run of its own makes, and each is brought up to date alone.
TEST(ArchiveOptions, SeveralOutputsInOneRunLogInPairOrderAndUpdateOneByOne) {
  TempFolder scratch;
  const std::string in = threePictures(scratch);
  const std::string large = scratch / "web/l";
  const std::string wide = scratch / "web/w";
  const std::string square = scratch / "web/s";
  std::vector<std::string> arguments = {"-r",      "--fit", "32x32", "--out", large,
                                        "--width", "100",   "--out", wide,    "--fill",
                                        "16x16",   "--out", square,  in};
  const std::string refused = "缩略图失败：";
  std::string expected;
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
    const std::string source = in + "/" + name;
    expected += made(source, large + "/" + name) + refused + source + "只能缩小！\n" +
                made(source, square + "/" + name);
  }
  const testing::ThumbRun all = testing::runThumb(arguments);
  EXPECT_EQ(all.exitCode, 0);
  EXPECT_EQ(all.out, expected);
  EXPECT_EQ(testing::runThumb({"-r", "--fill", "16x16", "--out", scratch / "alone", in}).exitCode,
            0);
  EXPECT_EQ(testing::readBytes(square + "/b.jpg"), testing::readBytes(scratch / "alone/b.jpg"));

  fs::remove(large + "/b.jpg");
  arguments.insert(arguments.begin(), "--update");
  const testing::ThumbRun update = testing::runThumb(arguments);
  EXPECT_EQ(update.exitCode, 0);
  EXPECT_EQ(update.out, refused + in + "/a.jpg只能缩小！\n" +
                            made(in + "/b.jpg", large + "/b.jpg") + refused + in +
                            "/b.jpg只能缩小！\n" + refused + in + "/c.jpg只能缩小！\n");
}

TEST(ArchiveOptions, ListedPathsAreTakenByteForByteAndAMissingOneIsAnError) {
  TempFolder scratch;
  testing::writeJpeg(scratch / " blank .jpg", 64, 48, 1);
  fs::copy_file(scratch / " blank .jpg", scratch / "caf\xe9.jpg");
  const std::string blank = scratch / " blank .jpg";
  const std::string latin1 = scratch / "caf\xe9.jpg";
  const std::string lines = scratch.write("lines", blank + "\n\n" + latin1 + "\n");
  const testing::ThumbRun byLine = testing::runThumb({"--files-from", lines, "--prefix", "t"});
  EXPECT_EQ(byLine.exitCode, 0);
  EXPECT_EQ(byLine.out,
            made(blank, scratch / "t blank .jpg") + made(latin1, scratch / "tcaf\xe9.jpg"));
  const std::string nul = scratch.write("nul", latin1 + '\0' + scratch / "gone.jpg" + '\0' + blank);
  const testing::ThumbRun byNul = testing::runThumb({"-0", "--files-from", nul, "--prefix", "u"});
  EXPECT_EQ(byNul.exitCode, 1);
  EXPECT_EQ(byNul.out, made(latin1, scratch / "ucaf\xe9.jpg"));
  EXPECT_TRUE(startsWith(byNul.err, "velmora-thumb: " + scratch / "gone.jpg" +
                                        ": Cannot open file \"" + scratch / "gone.jpg" + "\"."))
      << byNul.err;
  EXPECT_FALSE(fs::exists(scratch / "u blank .jpg"));
}

// b.jpg was deleted and the folder old renamed new; a dry run only names what would go. Each
// output's tree is pruned, the one inside the other as its own.
TEST(ArchiveOptions, PruneRemovesTheThumbnailsOfSourcesThatAreGone) {
  TempFolder scratch;
  const std::string in = threePictures(scratch);
  const std::string out = scratch / "web";
  const std::string small = out + "/s";
  const std::vector<std::string> outputs = {"--rate", "50", "--out", out,
                                            "--rate", "25", "--out", small};
  const auto run = [&](std::vector<std::string> options) {
    options.insert(options.end(), outputs.begin(), outputs.end());
    options.push_back(in);
    return testing::runThumb(options);
  };
  testing::writeJpeg(in + "/old/d.jpg", 64, 48, 1);
  EXPECT_EQ(run({"-r"}).exitCode, 0);
  fs::remove(in + "/b.jpg");
  fs::rename(in + "/old", in + "/new");
  scratch.write("web/notes.txt", "mine");
  for (const std::vector<std::string>& usage :
       {std::vector<std::string>{"--prune", "--out", out, in},
        {"-r", "--prune", in},
        {"-r", "--prune", "--out", out, in + "/a.jpg"}}) {
    const testing::ThumbRun refused = testing::runThumb(usage);
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(startsWith(refused.err, "velmora-thumb: --prune ")) << refused.err;
  }
  const auto pruned = [&](const std::string& said) {
    std::string lines;
    for (const std::string& tree : {out, small}) {
      lines += "velmora-thumb: " + tree + "/b.jpg: " + said + "\nvelmora-thumb: " + tree +
               "/old/d.jpg: " + said + "\nvelmora-thumb: " + tree + "/old: folder " + said + "\n";
    }
    return lines;
  };
  const testing::ThumbRun dry = run({"-r", "-n", "--update", "--prune"});
  EXPECT_EQ(dry.exitCode, 0);
  EXPECT_EQ(dry.err, pruned("would be pruned"));
  const std::set<std::string> before = {"a.jpg",   "b.jpg",   "c.jpg",   "notes.txt",  "old/d.jpg",
                                        "s/a.jpg", "s/b.jpg", "s/c.jpg", "s/old/d.jpg"};
  EXPECT_EQ(filesBelow(out), before);
  const testing::ThumbRun pruning = run({"-r", "--update", "--prune"});
  EXPECT_EQ(pruning.exitCode, 0);
  EXPECT_EQ(pruning.out, made(in + "/new/d.jpg", out + "/new/d.jpg") +
                             made(in + "/new/d.jpg", small + "/new/d.jpg"));
  EXPECT_EQ(pruning.err, pruned("pruned"));
  const std::set<std::string> after = {"a.jpg",   "c.jpg",   "notes.txt",  "new/d.jpg",
                                       "s/a.jpg", "s/c.jpg", "s/new/d.jpg"};
  EXPECT_EQ(filesBelow(out), after);
}

TEST(ArchiveOptions, ShardsTogetherMakeEveryThumbnailExactlyOnce) {
  TempFolder scratch;
  for (const char* name : {"a", "b", "c", "d", "e", "f", "g", "h"}) {
    testing::writeJpeg(scratch / ("tree/" + std::string(name) + "/p.jpg"), 32, 32, 1);
  }
  EXPECT_EQ(testing::runThumb({"-r", "--out", scratch / "whole", scratch / "tree"}).exitCode, 0);
  std::size_t made = 0;
  for (const char* shard : {"1/3", "2/3", "3/3"}) {
    const std::string out = scratch / ("shard" + std::string(1, shard[0]));
    const testing::ThumbRun run =
        testing::runThumb({"-r", "--shard", shard, "--out", out, scratch / "tree"});
    EXPECT_EQ(run.exitCode, 0);
    for (const std::string& file : filesBelow(out)) {
      ++made;
      EXPECT_EQ(testing::fileContents(out + "/" + file),
                testing::fileContents(scratch / ("whole/" + file)));
    }
  }
  EXPECT_EQ(made, 8u);
}

}  // namespace
}  // namespace velmora
