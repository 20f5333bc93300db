// Faults under velmora-thumb and every way a destination can meet its own source: a full or
// read-only destination, a kill in the middle of a batch, the source folder named again under
// another spelling, and destinations that are links to sources.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "../support/private_mounts.h"
#include "core/files/folder_listing.h"
#include "core/thumbnail/thumbnail_writer.h"
#include "jpeg_fixtures.h"
#include "open_gate.h"
#include "thumb_process.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;

std::string picture(int width, int height) {
  const Bytes jpeg = testing::encodeJpeg(width, height);
  return std::string(jpeg.begin(), jpeg.end());
}

// Every file of the folder with its bytes, to prove a run changed nothing.
std::map<std::string, std::string> snapshot(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    files[name] = entry.is_symlink()     ? "link to " + fs::read_symlink(entry.path()).string()
                  : entry.is_directory() ? "folder"
                                         : testing::fileContents(entry.path().string());
  }
  return files;
}

testing::FrameInfo frameOf(const std::string& path) {
  const std::string bytes = testing::fileContents(path);
  return testing::readFrame(Bytes(bytes.begin(), bytes.end()));
}

std::size_t lineCount(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

class ToolFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(pics);
    fs::create_directories(out);
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
      scratch.write(std::string("pics/") + name, photo);
  }

  testing::TempFolder scratch;
  std::string pics = scratch / "pics";
  std::string out = scratch / "out";
  std::string photo = picture(320, 240);
};

TEST_F(ToolFaults, FullDiskStopsTheBatchAndLeavesOnlyWholeFiles) {
  testing::ScopedMount mount;
  if (!mount.tmpfs(out, 64 * 1024)) GTEST_SKIP() << "mounting is not allowed here";
  scratch.write("out/a.jpg", "the thumbnail of an earlier run");
  ASSERT_TRUE(testing::fillUp(out + "/filler"));
  const auto before = snapshot(out);
  const auto sources = snapshot(pics);

  const testing::ThumbRun run = testing::runThumb({"--rate", "50", "--out", out, pics});
  EXPECT_EQ(run.out, "");
  // The destination with the system's reason, beside the window's text.
  EXPECT_EQ(run.err.rfind("velmora-thumb: " + out +
                              "/a.jpg: Stream write error: " + "No space left on device\n",
                          0),
            0u)
      << run.err;
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(snapshot(out), before);
  EXPECT_EQ(snapshot(pics), sources);
}

// Killed after some lines of output: every thumbnail on disk is whole, and whatever else the
// kill left behind is not a name the next run would take for a picture.
TEST(KilledBatch, LeavesOnlyWholeThumbnailsAndNothingTheNextRunLists) {
  const std::string photo = picture(1600, 1200);
  for (std::size_t killAfter : {1u, 4u, 11u}) {
    SCOPED_TRACE("killed after " + std::to_string(killAfter) + " lines");
    testing::TempFolder scratch;
    std::set<std::string> sources;
    for (int i = 0; i < 40; ++i) {
      const std::string name = "p" + std::to_string(100 + i) + ".jpg";
      scratch.write(name, photo);
      sources.insert(name);
    }
    testing::ThumbRunOptions options;
    options.killWhen = [&](const std::string& out) { return lineCount(out) >= killAfter; };
    const testing::ThumbRun run =
        testing::runThumb({"--rate", "50", "--prefix", "tb", scratch.path()}, options);

    std::size_t thumbnails = 0;
    std::size_t leftovers = 0;
    for (const auto& entry : fs::directory_iterator(scratch.path())) {
      const std::string name = entry.path().filename().string();
      if (sources.count(name) != 0) {
        EXPECT_EQ(testing::fileContents(entry.path().string()), photo) << name;
      } else if (matchesJpegPattern(name)) {
        ++thumbnails;
        EXPECT_TRUE(name.rfind("tb", 0) == 0 && sources.count(name.substr(2)) != 0) << name;
        const testing::FrameInfo frame = frameOf(entry.path().string());
        EXPECT_TRUE(frame.complete) << name;
        EXPECT_EQ(frame.width, 800u) << name;
      } else {
        ++leftovers;
      }
    }
    EXPECT_GE(thumbnails, killAfter);
    const auto listed = listJpegFiles(scratch.path());
    ASSERT_TRUE(listed.has_value());
    EXPECT_EQ(listed->size(), sources.size() + thumbnails);

    // The next run into the folder removes the temporaries the killed one left behind.
    const testing::ThumbRun next =
        testing::runThumb({"--rate", "50", "--prefix", "tb", scratch.path() + "/p100.jpg"});
    EXPECT_EQ(next.exitCode, 0) << next.err;
    for (const auto& entry : fs::directory_iterator(scratch.path())) {
      EXPECT_TRUE(matchesJpegPattern(entry.path().filename().string())) << entry.path();
    }
    ::testing::Test::RecordProperty("killed_after_" + std::to_string(killAfter),
                                    std::to_string(run.killedBy) + " signal, " +
                                        std::to_string(thumbnails) + " thumbnails, " +
                                        std::to_string(leftovers) + " other files");
  }
}

// The tool lists every path first, then works through them; what changes on the disk in
// between is found when the file is opened, and ends the run there with the error text. The
// engine's table (bad_input_test) has every kind of change; here, the folder the tool listed.
TEST(ChangedWhileBusy, FolderGoneBeforeItsTurnStopsTheRun) {
  const std::string photo = picture(64, 48);
  testing::TempFolder scratch;
  const std::string first = scratch / "first";
  const std::string later = scratch / "later";
  scratch.write("first/a.jpg", photo);
  for (const char* name : {"x.jpg", "y.jpg"}) scratch.write(std::string("later/") + name, photo);
  testing::OpenGate gate(first + "/a.jpg", [&] { fs::remove_all(later); });
  if (!gate.armed()) GTEST_SKIP() << "fanotify permission events are not available here";

  const testing::ThumbRun run =
      testing::runThumb({"--rate", "50", "--prefix", "tb", "-j", "1", first, later});
  EXPECT_TRUE(gate.opened());
  EXPECT_EQ(run.out, successLine(first + "/a.jpg", first + "/tba.jpg") + "\n");
  EXPECT_EQ(run.err, "velmora-thumb: " + later + "/x.jpg: Cannot open file \"" + later +
                         "/x.jpg\". No such file or directory\n");
  EXPECT_EQ(run.exitCode, 1);
}

// The output folder is the source folder under another name: refused before anything is
// written, whichever way the tool is given the pictures.
TEST_F(ToolFaults, SourceFolderUnderAnotherSpellingIsRefused) {
  fs::create_directory_symlink(pics, scratch / "link");
  fs::create_directories(scratch / "pics/sub");
  // The spellings themselves are the run plan's (run_plan_test); here, one per kind of target.
  const std::vector<std::pair<std::string, std::string>> rows = {
      {pics + "/sub/..", pics},
      {scratch / "link/", pics + "/a.jpg"},
      {" " + pics + " ", scratch / "link"}};
  const auto before = snapshot(pics);
  for (const auto& [spelling, target] : rows) {
    SCOPED_TRACE("--out '" + spelling + "' " + target);
    const testing::ThumbRun run = testing::runThumb({"--rate", "50", "--out", spelling, target});
    EXPECT_NE(run.err.find("源目录和目标目录相同!"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(snapshot(pics), before);
  }
}

TEST_F(ToolFaults, RelativeSpellingsFromTheWorkingFolderAreRefused) {
  const auto before = snapshot(pics);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {".", "."}, {".", "a.jpg"}, {"./", pics}, {"../pics", "."}, {pics, "./a.jpg"}};
  for (const auto& [outFolder, target] : cases) {
    SCOPED_TRACE("--out '" + outFolder + "' " + target);
    testing::ThumbRunOptions options;
    options.workingDirectory = pics;
    const testing::ThumbRun run =
        testing::runThumb({"--rate", "50", "--out", outFolder, target}, options);
    EXPECT_NE(run.err.find("源目录和目标目录相同!"), std::string::npos) << run.err;
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(snapshot(pics), before);
  }
}

TEST_F(ToolFaults, BindMountOfTheSourceFolderIsRefused) {
  if (!testing::privateMountsAvailable() ||
      ::mount(pics.c_str(), out.c_str(), nullptr, MS_BIND, nullptr) != 0)
    GTEST_SKIP() << "mounting is not allowed here";
  const auto before = snapshot(pics);
  const testing::ThumbRun run = testing::runThumb({"--rate", "50", "--out", out, pics});
  umount2(out.c_str(), MNT_DETACH);
  EXPECT_NE(run.err.find("源目录和目标目录相同!"), std::string::npos) << run.err;
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(snapshot(pics), before);
}

// Destinations that are symbolic links to the sources: the link is replaced, the picture behind it
// is not. A hard link is the source itself: that file's error, never replaced.
TEST_F(ToolFaults, DestinationsLinkedToTheSourcesAreReplacedNotFollowed) {
  fs::create_symlink(pics + "/a.jpg", out + "/a.jpg");
  fs::create_symlink("../pics/b.jpg", out + "/b.jpg");
  fs::create_hard_link(pics + "/c.jpg", out + "/c.jpg");
  const auto sources = snapshot(pics);

  const testing::ThumbRun run = testing::runThumb({"--rate", "50", "--out", out, pics});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "velmora-thumb: " + pics + "/c.jpg: 源目录和目标目录相同!\n");
  EXPECT_EQ(lineCount(run.out), 2u);
  EXPECT_EQ(snapshot(pics), sources);
  for (const char* name : {"a.jpg", "b.jpg"}) {
    EXPECT_FALSE(fs::is_symlink(out + "/" + name)) << name;
    EXPECT_EQ(frameOf(out + "/" + name).width, 160u) << name;
  }
}

// A prefixed name that is another listed file is replaced, as earlier thumbnails are refreshed;
// when that name is a link to a source, only the link goes.
TEST_F(ToolFaults, PrefixedNameEqualToAnotherListedFileIsReplaced) {
  scratch.write("pics/tba.jpg", picture(200, 100));
  fs::create_symlink("b.jpg", pics + "/tbb.jpg");

  const testing::ThumbRun run = testing::runThumb({"--rate", "50", "--prefix", "tb", pics});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const auto line = [&](const std::string& name) {
    return successLine(pics + "/" + name, pics + "/tb" + name) + "\n";
  };
  EXPECT_EQ(run.out,
            line("a.jpg") + line("b.jpg") + line("c.jpg") + line("tba.jpg") + line("tbb.jpg"));
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
    EXPECT_EQ(testing::fileContents(pics + "/" + name), photo) << name;
  EXPECT_FALSE(fs::is_symlink(pics + "/tbb.jpg"));
  EXPECT_EQ(frameOf(pics + "/tba.jpg").width, 160u);
  EXPECT_EQ(frameOf(pics + "/tbtba.jpg").width, 80u);
  EXPECT_EQ(frameOf(pics + "/tbtbb.jpg").width, 80u);
}

// The prefixes the check refuses are the run checks' table (run_checks_test).
TEST_F(ToolFaults, PrefixLeadingOutOfTheNameIsRefused) {
  const auto before = snapshot(pics);
  const testing::ThumbRun run = testing::runThumb({"--rate", "50", "--prefix", "../pics/", pics});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(snapshot(pics), before);
}

std::string firstTemporary(const std::string& folder) {
  for (const std::string& name : testing::folderEntries(folder)) {
    if (name.rfind(".velmora-", 0) == 0) return name;
  }
  return "";
}

// One shared folder, two systems: a run in another process-number space (as on another machine,
// with a process number this system does not have) is held still while its thumbnails wait
// staged, and a run here sweeps the folder. The other run's temporaries stay, and it completes.
TEST_F(ToolFaults, LiveRunOfAnotherSystemKeepsItsTemporaries) {
  if (std::system("unshare --pid --fork --mount-proc true >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "no second process-number space here";
  const std::string many = scratch / "many";
  const std::string shared = scratch / "shared";
  fs::create_directories(shared);
  // A large first file keeps the others staged behind it, waiting for their turn.
  testing::writeJpeg(many + "/0.jpg", 4000, 3000, 1);
  for (int i = 1; i <= 12; ++i)
    testing::writeJpeg(many + "/" + std::to_string(i) + ".jpg", 400, 300, i);
  const std::string thumb = VELMORA_THUMB_EXE;
  const pid_t other = fork();
  if (other == 0) {
    setpgid(0, 0);
    const int quiet = open("/dev/null", O_WRONLY);
    dup2(quiet, STDOUT_FILENO);
    execlp("unshare", "unshare", "--pid", "--fork", "--mount-proc", "sh", "-c",
           "echo 3999999 > /proc/sys/kernel/ns_last_pid; \"$0\" \"$@\"", thumb.c_str(), "-j", "2",
           "--rate", "10", "--out", shared.c_str(), many.c_str(), nullptr);
    _exit(127);
  }
  setpgid(other, other);
  std::string staged;
  for (int wait = 0; wait < 20000 && staged.empty(); ++wait) {
    staged = firstTemporary(shared);
    if (staged.empty()) usleep(1000);
  }
  kill(-other, SIGSTOP);
  const testing::ThumbRun sweeping =
      testing::runThumb({"--rate", "10", "--out", shared, pics + "/a.jpg"});
  const bool kept = !staged.empty() && fs::exists(shared + "/" + staged);
  kill(-other, SIGCONT);
  int status = 0;
  waitpid(other, &status, 0);
  ASSERT_FALSE(staged.empty()) << "the other run never staged a thumbnail";
  EXPECT_TRUE(kept) << staged;
  EXPECT_EQ(sweeping.exitCode, 0) << sweeping.err;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(testing::folderEntries(shared).size(), 14u);
  EXPECT_EQ(firstTemporary(shared), "");
}

}  // namespace
}  // namespace velmora
