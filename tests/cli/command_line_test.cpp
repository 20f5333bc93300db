// Reading the tool's arguments: GNU conventions, the window's field rules, and the usage
// errors with their texts.

#include "cli/command_line.h"

#include <gtest/gtest.h>

namespace velmora::cli {
namespace {

CommandLine parse(const std::vector<std::string>& arguments) {
  return parseCommandLine(arguments, 4);
}

TEST(CommandLine, GnuConventions) {
  const CommandLine grouped = parse({"-rq", "--fit=200x200", "-j2", "photos", "--", "-odd.jpg"});
  EXPECT_TRUE(grouped.recursive);
  EXPECT_TRUE(grouped.quiet);
  EXPECT_EQ(grouped.outputs.front().sizing.mode, SizingMode::Fit);
  EXPECT_EQ(grouped.outputs.front().sizing.widthValue, 200);
  EXPECT_EQ(grouped.outputs.front().sizing.heightValue, 200);
  EXPECT_EQ(grouped.workers, 2u);
  EXPECT_EQ(grouped.paths, (std::vector<std::string>{"photos", "-odd.jpg"}));

  const CommandLine spaced = parse({"a.jpg", "--out", "thumbs", "-0", "--files-from", "-",
                                    "--shard", "2/3", "--update", "--filter=area", "-", "b.jpg"});
  EXPECT_EQ(spaced.outputs.front().naming.mode, NamingMode::SameNameInChosenFolder);
  EXPECT_EQ(spaced.outputs.front().naming.outputFolder, "thumbs");
  EXPECT_TRUE(spaced.nullSeparated);
  EXPECT_EQ(*spaced.filesFrom, "-");
  EXPECT_EQ(spaced.shard.index, 2u);
  EXPECT_EQ(spaced.shard.count, 3u);
  EXPECT_TRUE(spaced.update);
  EXPECT_EQ(spaced.filter, SamplingFilter::Area);
  EXPECT_EQ(spaced.colour, ColourHandling::Srgb);  // the default
  EXPECT_EQ(parse({"--colour=keep", "a.jpg"}).colour, ColourHandling::Keep);
  EXPECT_EQ(spaced.workers, 4u);  // the default
  EXPECT_EQ(spaced.paths, (std::vector<std::string>{"a.jpg", "-", "b.jpg"}));

  EXPECT_EQ(parse({"--rate", "20", "--help", "--bogus"}).action, Action::Help);
  EXPECT_EQ(parse({"--version"}).action, Action::Version);
  // Every value is read again from the start of a fresh call.
  EXPECT_EQ(parse({"--width", "30", "x.jpg"}).outputs.front().sizing.widthValue, 30);
  EXPECT_EQ(parse({"--height", "0x1e", "x.jpg"}).outputs.front().sizing.heightValue, 30);

  // Several outputs: each sizing rule with the naming rule after it, in the order given.
  const CommandLine gallery = parse(
      {"--fit", "1600x1600", "--out", "web/l", "-r", "--fill=160x160", "--prefix", "s_", "p"});
  ASSERT_EQ(gallery.outputs.size(), 2u);
  EXPECT_EQ(gallery.outputs[0].sizing.widthValue, 1600);
  EXPECT_EQ(gallery.outputs[0].naming.outputFolder, "web/l");
  EXPECT_EQ(gallery.outputs[1].sizing.mode, SizingMode::Fill);
  EXPECT_EQ(gallery.outputs[1].naming.prefix, "s_");
  EXPECT_EQ(parse({"--out", "t", "--width", "30", "x.jpg"}).outputs.front().naming.outputFolder,
            "t");

  EXPECT_EQ(parse({"--xdg-cache=large,normal,large", "-r", "p"}).xdgCache,
            (std::vector<CacheSize>{CacheSize::Large, CacheSize::Normal}));
  const CommandLine desktop = parse({"--thumbnailer", "256", "in.jpg", "out.png"});
  EXPECT_EQ(desktop.action, Action::Thumbnailer);
  EXPECT_EQ(desktop.thumbnailerSize, 256);
  EXPECT_EQ(desktop.paths, (std::vector<std::string>{"in.jpg", "out.png"}));
}

struct BadArguments {
  std::vector<std::string> arguments;
  std::string message;
  bool pointToHelp;
};

TEST(CommandLine, UsageErrors) {
  const std::vector<BadArguments> rows = {
      {{"--rate", "150"}, "本程序只提供缩小图片功能！", false},
      {{"--rate=0"}, "最小尺寸为1！", false},
      {{"--height", "65536"}, "最大尺寸为65535！", false},
      {{"--width", "-5"}, "最小尺寸为1！", false},
      {{"--width", "20 "}, "请输入数字！", false},
      {{"--size", "20"}, "请输入数字！", false},
      {{"--size", "70000x10"}, "最大尺寸为65535！", false},
      {{"--fit", "10x0"}, "最小尺寸为1！", false},
      {{"--bogus"}, "unknown option --bogus", true},
      {{"--bogus=1"}, "unknown option --bogus", true},
      {{"-rx"}, "unknown option -x", true},
      {{"--recursive=yes"}, "option --recursive takes no value", true},
      {{"--rate"}, "option --rate needs a value", true},
      {{"-j", "0"}, "-j needs a number of workers from 1 to 1024", true},
      {{"--jobs=2000"}, "-j needs a number of workers from 1 to 1024", true},
      {{"--rate", "20", "--width", "30"},
       "--rate needs its own --prefix or --out after it: with several sizing rules, each output "
       "is named on its own",
       true},
      {{"--out", "/tmp", "--prefix", "s"},
       "choose one naming rule; --prefix is a second one",
       true},
      {{"--out", "a", "--fit", "9x9", "--out", "b"},
       "choose one naming rule; --out is a second one",
       true},
      {{"--fit", "9x9", "--out", "a", "--width", "4", "--prefix", "b", "--out", "c"},
       "--out is a second naming rule for --width",
       true},
      {{"--fit", "9x9", "--out", "a", "--width", "4", "--out", "a"},
       "--width and --fit are named alike: each output needs a naming rule of its own",
       true},
      {{"--shard", "4/3"}, "--shard needs K/N with 1 <= K <= N, not \"4/3\"", true},
      {{"--filter", "bicubic"}, "--filter is nearest or area, not \"bicubic\"", true},
      {{"--quality", "101"}, "--quality needs a number from 1 to 100, not \"101\"", true},
      {{"--keep", "exif,thumbnail"},
       "--keep takes exif, gps, xmp, iptc, comment or date, not \"thumbnail\"",
       true},
      {{"--keep", "gps,date"}, "--keep gps needs exif as well", true},
      {{"--colour", "p3"}, "--colour is srgb, keep or none, not \"p3\"", true},
      {{"-0", "photos"}, "-0 needs --files-from", true},
      {{"-n", "--xdg-cache", "large", "p"}, "--dry-run makes only the JPEG thumbnails' plan", true},
      {{"--xdg-cache", "large", "--out", "t", "p"},
       "--xdg-cache makes the desktop's own sizes and names; --out is not allowed with it",
       true},
      {{"--xdg-cache", "normal,huge", "p"},
       "--xdg-cache takes normal, large, x-large or xx-large, not \"huge\"",
       true},
      {{"--thumbnailer", "2048", "in.jpg", "out.png"},
       "--thumbnailer needs a SIZE from 1 to 1024, not \"2048\"",
       true},
      {{}, "no JPEG file or folder given", true},
  };
  for (const BadArguments& row : rows) {
    try {
      parse(row.arguments);
      ADD_FAILURE() << row.message;
    } catch (const UsageError& error) {
      EXPECT_EQ(error.what(), row.message);
      EXPECT_EQ(error.pointToHelp(), row.pointToHelp) << row.message;
    }
  }
}

}  // namespace
}  // namespace velmora::cli
