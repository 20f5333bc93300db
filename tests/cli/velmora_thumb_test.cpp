// The command-line tool run as a user runs it: arguments in, exit status, standard output and
// standard error out.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "core/image/exif_orientation.h"
#include "core/version.h"
#include "jpeg_fixtures.h"
#include "sanitizers.h"
#include "thumb_process.h"

namespace velmora {
namespace {

using testing::runThumb;
using testing::TempFolder;
using testing::ThumbRun;

std::string made(const std::string& source, const std::string& destination) {
  return "缩略图生成:" + source + "-->" + destination + "\n";
}

TEST(VelmoraThumb, VersionAndHelp) {
  const ThumbRun version = runThumb({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, std::string("velmora-thumb ") + kVersion + "\n");
  const ThumbRun help = runThumb({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(help.out.rfind("Usage: velmora-thumb", 0), 0u);
  EXPECT_EQ(help.err, "");
}

struct UsageCase {
  std::vector<std::string> arguments;
  const char* err;  // the whole of standard error
};

std::ostream& operator<<(std::ostream& out, const UsageCase& c) {
  for (const std::string& argument : c.arguments) out << argument << ' ';
  return out;
}

class BadUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(BadUsage, ExitsWithStatus2AndMessage) {
  TempFolder scratch;
  testing::writeJpeg(scratch / "a.jpg", 64, 48, 1);
  std::vector<std::string> arguments = GetParam().arguments;
  arguments.push_back(scratch.path());
  const ThumbRun run = runThumb(arguments);
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, GetParam().err);
  EXPECT_FALSE(std::filesystem::exists(scratch / "tba.jpg"));
}

// The messages themselves are the parser's (command_line_test); here, how they reach the user.
INSTANTIATE_TEST_SUITE_P(Values, BadUsage,
                         ::testing::Values(UsageCase{{"--rate", "150"},
                                                     "本程序只提供缩小图片功能！\n"},
                                           UsageCase{{"--bogus"},
                                                     "velmora-thumb: unknown option --bogus\n"
                                                     "Try 'velmora-thumb --help'.\n"}));

// The checks themselves are the run plan's (run_plan_test); here, how their refusals reach the
// user: before anything is written, with exit status 2.
TEST(VelmoraThumb, MissingPathsAndRunChecks) {
  TempFolder scratch;
  std::filesystem::create_directories(scratch / "empty");
  const ThumbRun missing = runThumb({scratch / "missing"});
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_EQ(missing.err, "\"" + (scratch / "missing") + "\": No such file or directory\n");
  const ThumbRun empty = runThumb({scratch / "empty"});
  EXPECT_EQ(empty.exitCode, 2);
  EXPECT_EQ(empty.err, "没有任何jpg图片需要生成缩略图!\n");
}

TEST(VelmoraThumb, FolderRunLogsEveryFileInListOrder) {
  TempFolder scratch;
  testing::writeJpeg(scratch / "B.JPG", 120, 80, 1);
  testing::writeJpeg(scratch / "a.jpeg", 80, 120, 2);
  testing::writeJpeg(scratch / "c.jpg", 20, 20, 3);
  scratch.write("notes.txt", "x");
  const ThumbRun run = runThumb({"--fit", "0x20x40", scratch.path() + "/"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, made(scratch / "a.jpeg", scratch / "tba.jpeg") +
                         made(scratch / "B.JPG", scratch / "tbB.JPG") + "缩略图失败：" +
                         (scratch / "c.jpg") + "只能缩小！\n");
  EXPECT_TRUE(std::filesystem::exists(scratch / "tbB.JPG"));
  EXPECT_FALSE(std::filesystem::exists(scratch / "tbc.jpg"));
}

TEST(VelmoraThumb, FileRunsOneAfterAnother) {
  TempFolder scratch;
  testing::writeJpeg(scratch / "in/a.jpg", 120, 80, 1);
  testing::writeJpeg(scratch / "in/b.jpg", 120, 80, 2);
  std::filesystem::create_directories(scratch / "out");
  const ThumbRun run =
      runThumb({"--out", scratch / "out", "-j2", scratch / "in/b.jpg", scratch / "in//a.jpg"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, made(scratch / "in/b.jpg", scratch / "out/b.jpg") +
                         made(scratch / "in/a.jpg", scratch / "out/a.jpg"));
}

// The grey levels of a thumbnail of a grey picture: its red samples.
std::vector<int> greyLevels(const std::string& jpeg) {
  const RgbImage image = testing::decodePlain(testing::readBytes(jpeg));
  std::vector<int> levels;
  for (std::size_t i = 0; i < image.pixels.size(); i += 3) levels.push_back(image.pixels[i]);
  return levels;
}

TEST(VelmoraThumb, AreaFilterAveragesFineStripesToGrey) {
  TempFolder scratch;
  testing::Bytes stripes(320 * 320);
  for (std::size_t i = 0; i < stripes.size(); ++i) stripes[i] = i % 2 ? 255 : 0;
  testing::EncodeOptions options;
  options.colours = testing::FileColours::Grey;
  options.quality = 95;
  options.progressive = true;
  scratch.write("in/s.jpg", testing::encodeSamples(stripes, 320, 320, options));
  for (const char* filter : {"area", "nearest"}) {
    std::filesystem::create_directories(scratch / filter);
    const ThumbRun run = runThumb(
        {"--filter", filter, "--size", "20x20", "--out", scratch / filter, scratch / "in/s.jpg"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
  }
  for (int level : greyLevels(scratch / "area/s.jpg")) EXPECT_LT(std::abs(level - 128), 8);
  // Picking one pixel in twelve lands on the same stripe colour every time.
  for (int level : greyLevels(scratch / "nearest/s.jpg")) EXPECT_GT(std::abs(level - 128), 64);
}

// The bytes of a file's quantisation tables.
testing::Bytes quantisationTables(const std::string& path) {
  testing::Bytes tables;
  for (const testing::Segment& segment : testing::headerSegments(testing::readBytes(path))) {
    if (segment.marker == 0xDB)
      tables.insert(tables.end(), segment.payload.begin(), segment.payload.end());
  }
  return tables;
}

// The options for web galleries, each as a user runs it.
TEST(VelmoraThumb, GalleryOptions) {
  TempFolder scratch;
  testing::writeJpeg(scratch / "in/big.jpg", 2000, 1500, 4);
  std::filesystem::create_directories(scratch / "wide");
  const ThumbRun wide =
      runThumb({"--width", "1600", "--out", scratch / "wide", scratch / "in/big.jpg"});
  ASSERT_EQ(wide.exitCode, 0) << wide.err;
  const RgbImage wideImage = testing::decodePlain(testing::readBytes(scratch / "wide/big.jpg"));
  EXPECT_EQ(wideImage.width, 1600);
  EXPECT_EQ(wideImage.height, 1200);

  // A square cut from the middle, in both filters.
  for (const char* filter : {"nearest", "area"}) {
    const ThumbRun fill = runThumb({"--filter", filter, "--fill", "160x160", "--prefix",
                                    std::string("fill-") + filter, scratch / "in/big.jpg"});
    ASSERT_EQ(fill.exitCode, 0) << fill.err;
    const RgbImage square = testing::decodePlain(
        testing::readBytes(scratch / (std::string("in/fill-") + filter + "big.jpg")));
    EXPECT_EQ(square.width, 160);
    EXPECT_EQ(square.height, 160);
  }

  // 90 is the default's bytes; 75 changes the quantisation tables.
  for (const char* quality : {"90", "75"}) {
    std::filesystem::create_directories(scratch / quality);
    const ThumbRun run = runThumb(
        {"--quality", quality, "--rate", "10", "--out", scratch / quality, scratch / "in/big.jpg"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
  }
  const ThumbRun byDefault = runThumb({"--rate", "10", scratch / "in/big.jpg"});
  ASSERT_EQ(byDefault.exitCode, 0) << byDefault.err;
  const testing::Bytes tables90 = quantisationTables(scratch / "90/big.jpg");
  EXPECT_EQ(testing::readBytes(scratch / "90/big.jpg"),
            testing::readBytes(scratch / "in/tbbig.jpg"));
  EXPECT_NE(quantisationTables(scratch / "75/big.jpg"), tables90);

  // A dry run reads headers and decides, and writes nothing: no folder, no file.
  testing::writeJpeg(scratch / "in/sub/small.jpg", 40, 30, 5);
  const std::set<std::string> before = testing::folderEntries(scratch / "in");
  const ThumbRun dry =
      runThumb({"-n", "-r", "--fit", "100x100", "--out", scratch / "dry", scratch / "in"});
  EXPECT_EQ(dry.exitCode, 0) << dry.err;
  EXPECT_NE(dry.out.find("would make: " + (scratch / "in/big.jpg") + " --> " +
                         (scratch / "dry/big.jpg") + " (100 x 75)\n"),
            std::string::npos)
      << dry.out;
  EXPECT_NE(dry.out.find("缩略图失败：" + (scratch / "in/sub/small.jpg") + "只能缩小！"),
            std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(scratch / "dry"));
  EXPECT_EQ(testing::folderEntries(scratch / "in"), before);
}

// By default a thumbnail holds its JFIF header alone and the time it was made; --keep carries
// the EXIF and XMP over, upright, the Photoshop block and comment as they are, and the source's
// time, which --update then finds up to date.
TEST(VelmoraThumb, KeptMetadataOnlyWhenAsked) {
  TempFolder scratch;
  testing::EncodeOptions options;
  options.app1 = testing::cameraExifPayload(false);
  const testing::Bytes photoshop = testing::textBytes(std::string("Photoshop 3.0\0", 14) + "8BIM");
  options.segments = {
      {0xE1, testing::xmpPayload()}, {0xED, photoshop}, {0xFE, testing::textBytes("a comment")}};
  scratch.write("in/photo.jpg", testing::encodeJpeg(80, 60, options));
  const timespec old[2] = {{1500000000, 0}, {1500000000, 250000000}};
  ASSERT_EQ(::utimensat(AT_FDCWD, (scratch / "in/photo.jpg").c_str(), old, 0), 0);
  const auto appSegments = [](const std::string& path) {
    std::vector<testing::Segment> kept;
    for (const testing::Segment& s : testing::headerSegments(testing::readBytes(path))) {
      if ((s.marker >= 0xE0 && s.marker <= 0xEF) || s.marker == 0xFE) kept.push_back(s);
    }
    return kept;
  };
  const auto modified = [](const std::string& path) {
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0);
    return status.st_mtim;
  };
  for (const char* keep : {"", "exif,xmp,iptc,comment,date"}) {
    SCOPED_TRACE(keep);
    const std::string out = scratch / (*keep ? "kept" : "plain");
    std::filesystem::create_directories(out);
    std::vector<std::string> arguments = {"--out", out, scratch / "in/photo.jpg"};
    if (*keep) arguments.insert(arguments.begin(), {"--keep", keep});
    ASSERT_EQ(runThumb(arguments).exitCode, 0);
    const std::vector<testing::Segment> segments = appSegments(out + "/photo.jpg");
    ASSERT_EQ(segments.size(), *keep ? 5u : 1u);
    EXPECT_EQ(segments[0].marker, 0xE0);
    EXPECT_EQ(modified(out + "/photo.jpg").tv_sec == 1500000000, *keep != '\0');
    if (!*keep) continue;
    EXPECT_EQ(exifOrientation(segments[1].payload.data(), segments[1].payload.size()), 1);
    const std::string xmp(segments[2].payload.begin(), segments[2].payload.end());
    EXPECT_NE(xmp.find("tiff:Orientation=\"1\" exif:PixelXDimension=\"30\""), std::string::npos);
    EXPECT_EQ(segments[3].payload, photoshop);
    EXPECT_EQ(segments[4].payload, testing::textBytes("a comment"));
    EXPECT_EQ(modified(out + "/photo.jpg").tv_nsec, 250000000);
    arguments.insert(arguments.begin(), "--update");
    EXPECT_EQ(runThumb(arguments).out, "");
  }
}

// A tree with a broken file in the middle and one cut short: without -k the run stops at the
// broken one, as the window's batch does; with -k every other thumbnail is made. Either way
// standard error names the file, and the exit status is 1.
TEST(VelmoraThumb, BrokenFileStopsTheRunUnlessKeepGoing) {
  TempFolder scratch;
  const std::string tree = scratch / "photos";
  testing::writeJpeg(tree + "/a.jpg", 100, 100, 1);
  testing::writeJpeg(tree + "/b.jpg", 100, 100, 2);
  scratch.write("photos/sub/c.jpg", "no picture");
  const testing::Bytes whole = testing::encodeJpeg(100, 100);
  scratch.write("photos/sub/d.jpg", testing::cutAt(whole, testing::scanHeaderOffset(whole) + 60));
  testing::writeJpeg(tree + "/sub/e.jpg", 100, 100, 3);
  const std::string out = scratch / "out";
  const auto line = [&](const std::string& name) {
    return made(tree + "/" + name, out + "/" + name);
  };
  const std::string broken = "velmora-thumb: " + tree + "/sub/c.jpg: JPEG error #53\n";
  std::string firstThumbnail;
  for (const char* workers : {"1", "4"}) {
    std::filesystem::remove_all(out);
    const ThumbRun run = runThumb({"-r", "-j", workers, "--width", "50", "--out", out, tree});
    EXPECT_EQ(run.exitCode, 1) << workers;
    EXPECT_EQ(run.out, line("a.jpg") + line("b.jpg")) << workers;
    EXPECT_EQ(run.err, broken) << workers;
    EXPECT_FALSE(std::filesystem::exists(out + "/sub/d.jpg")) << workers;
    const std::string thumbnail = testing::fileContents(out + "/b.jpg");
    if (firstThumbnail.empty()) firstThumbnail = thumbnail;
    EXPECT_EQ(thumbnail, firstThumbnail) << workers;
  }
  const ThumbRun kept = runThumb({"-rk", "--width=50", "--out=" + out, tree});
  EXPECT_EQ(kept.exitCode, 1);
  EXPECT_EQ(kept.out, line("a.jpg") + line("b.jpg") + line("sub/d.jpg") + line("sub/e.jpg"));
  EXPECT_EQ(kept.err, broken + "velmora-thumb: " + tree +
                          "/sub/d.jpg: picture data ends early; the rest is grey\n");
  EXPECT_TRUE(std::filesystem::exists(out + "/sub/e.jpg"));
}

TEST(VelmoraThumb, UnwritableOutputFolderEndsRunWithStatus1) {
  TempFolder scratch;
  testing::writeJpeg(scratch / "a.jpg", 100, 100, 1);
  const ThumbRun run = runThumb({"--out", scratch / "missing", scratch / "a.jpg"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.rfind("velmora-thumb: " + (scratch / "missing/a.jpg") +
                              ": Cannot create file \"" + (scratch / "missing/a.jpg") + "\". ",
                          0),
            0u)
      << run.err;
}

// Runs the tool through the shell with standard output redirected as `redirection` says; gives
// the exit status and standard error.
std::pair<int, std::string> runRedirected(const std::string& arguments,
                                          const std::string& redirection,
                                          const std::string& errFile) {
  const std::string command = std::string("'") + VELMORA_THUMB_EXE + "' " + arguments + " " +
                              redirection + " 2>'" + errFile + "'";
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, testing::fileContents(errFile)};
}

// A folder that could not be read, or a log that could not be written, leaves the run
// incomplete: exit status 1, with or without -k, and a message naming what was lost.
TEST(VelmoraThumb, WhatTheFilesCannotSayExitsWith1) {
  TempFolder scratch;
  const testing::Bytes picture = testing::encodeJpeg(64, 48);
  scratch.write("tree/a.jpg", picture);
  scratch.write("tree/private/b.jpg", picture);
  namespace fs = std::filesystem;
  fs::permissions(scratch.path(), fs::perms::all);
  fs::permissions(scratch / "tree", fs::perms::all);
  fs::permissions(scratch / "tree/private", fs::perms::none);
  testing::ThumbRunOptions unprivileged;
  unprivileged.unprivileged = true;
  for (const char* keepGoing : {"-q", "-k"}) {
    const ThumbRun run =
        runThumb({keepGoing, "-r", "--prefix", "tb", scratch / "tree"}, unprivileged);
    if (run.exitCode == 126) GTEST_SKIP() << "no unprivileged user to run as here";
    EXPECT_EQ(run.exitCode, 1) << keepGoing;
    EXPECT_EQ(run.out, made(scratch / "tree/a.jpg", scratch / "tree/tba.jpg")) << keepGoing;
    EXPECT_EQ(run.err, "velmora-thumb: " + (scratch / "tree/private") +
                           ": folder skipped: Permission denied\n")
        << keepGoing;
    fs::remove(scratch / "tree/tba.jpg");
  }
  fs::permissions(scratch / "tree/private", fs::perms::owner_all);

  const std::string arguments = "--prefix tb '" + (scratch / "tree/a.jpg") + "'";
  const auto full = runRedirected(arguments, ">/dev/full", scratch / "err");
  EXPECT_EQ(full.first, 1);
  EXPECT_EQ(full.second, "velmora-thumb: the log could not be written: No space left on device\n");
  const auto closed = runRedirected(arguments, ">&-", scratch / "err");
  EXPECT_EQ(closed.first, 1);
  EXPECT_EQ(closed.second, "velmora-thumb: the log could not be written: Bad file descriptor\n");
  EXPECT_TRUE(std::filesystem::exists(scratch / "tree/tba.jpg"));
}

// Under a memory limit a list of paths too long to hold ends the run with a message, never an
// abort.
TEST(VelmoraThumb, OutOfMemoryEndsTheRunWithAMessage) {
  if (!testing::kAddressSpaceCanBeCapped) GTEST_SKIP() << testing::kNoCapUnderSanitizer;
  TempFolder scratch;
  {
    std::ofstream list(scratch / "list", std::ios::binary);
    const std::string path = scratch / (std::string(240, 'p') + ".jpg\n");
    for (int line = 0; line < 400000; ++line) list << path;
  }
  testing::ThumbRunOptions options;
  options.addressSpaceLimit = 64u << 20;
  const ThumbRun run = runThumb({"--files-from", scratch / "list", "--prefix", "tb"}, options);
  EXPECT_EQ(run.killedBy, 0);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "velmora-thumb: Out of memory\n");
}

}  // namespace
}  // namespace velmora
