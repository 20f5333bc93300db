#include "cli/command_line.h"

#include <getopt.h>

#include <algorithm>
#include <optional>

#include "cli/desktop_options.h"
#include "core/files/path_text.h"
#include "core/rules/field_validation.h"
#include "core/rules/integer_reading.h"

namespace velmora::cli {

namespace {

constexpr unsigned kMostWorkers = 1024;

UsageError badUsage(const std::string& message) { return UsageError(message, true); }

// A value checked exactly as the window's field checks it, with the field's messages.
std::int32_t fieldValue(const std::string& text, std::int32_t limit,
                        const std::string& aboveLimit) {
  const FieldVerdict verdict = validateField(text, limit, aboveLimit);
  if (verdict.action != FieldAction::Accept) throw UsageError(verdict.message, false);
  return *readInteger(text);
}

// Pixel values run past the window's fields, to the largest side a JPEG can have; the messages
// are the fields' own, with that limit.
std::int32_t pixelValue(const std::string& text) {
  static const std::string aboveLimit = "最大尺寸为" + std::to_string(kLargestSourceSide) + "！";
  return fieldValue(text, kLargestSourceSide, aboveLimit);
}

struct WidthHeight {
  std::int32_t width;
  std::int32_t height;
};

// "WxH". The numbers may themselves hold an "x" ("0x20" is hexadecimal), so the split is
// made at the first "x" that leaves a number on both sides.
WidthHeight widthHeightValue(const std::string& text) {
  for (std::size_t split = text.find_first_of("xX"); split != std::string::npos;
       split = text.find_first_of("xX", split + 1)) {
    const std::string width = text.substr(0, split);
    const std::string height = text.substr(split + 1);
    if (readInteger(width) && readInteger(height)) {
      return {pixelValue(width), pixelValue(height)};
    }
  }
  throw UsageError(kNotANumber, false);
}

SamplingFilter filterValue(const std::string& text) {
  if (text == "nearest") return SamplingFilter::Nearest;
  if (text == "area") return SamplingFilter::Area;
  throw badUsage("--filter is nearest or area, not \"" + text + "\"");
}

ColourHandling colourValue(const std::string& text) {
  if (text == "srgb") return ColourHandling::Srgb;
  if (text == "keep") return ColourHandling::Keep;
  if (text == "none") return ColourHandling::None;
  throw badUsage("--colour is srgb, keep or none, not \"" + text + "\"");
}

int qualityValue(const std::string& text) {
  const std::optional<std::int32_t> value = readInteger(text);
  if (!value || *value < 1 || *value > kHighestQuality) {
    throw badUsage("--quality needs a number from 1 to " + std::to_string(kHighestQuality) +
                   ", not \"" + text + "\"");
  }
  return *value;
}

// "exif,xmp,...": each name once or more, in any order; the location only with the EXIF it is
// part of.
KeptMetadata keptMetadataValue(const std::string& text) {
  KeptMetadata keep;
  for (std::size_t start = 0;;) {
    const std::size_t comma = text.find(',', start);
    const std::string name = text.substr(start, comma - start);
    bool* const chosen = name == "exif"      ? &keep.exif
                         : name == "gps"     ? &keep.location
                         : name == "xmp"     ? &keep.xmp
                         : name == "iptc"    ? &keep.iptc
                         : name == "comment" ? &keep.comments
                         : name == "date"    ? &keep.date
                                             : nullptr;
    if (chosen == nullptr) {
      throw badUsage("--keep takes exif, gps, xmp, iptc, comment or date, not \"" + name + "\"");
    }
    *chosen = true;
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (keep.location && !keep.exif) throw badUsage("--keep gps needs exif as well");
  return keep;
}

unsigned workerCount(const std::string& text) {
  const std::optional<std::int32_t> value = readInteger(text);
  if (!value || *value < 1 || static_cast<unsigned>(*value) > kMostWorkers) {
    throw badUsage("-j needs a number of workers from 1 to " + std::to_string(kMostWorkers));
  }
  return static_cast<unsigned>(*value);
}

unsigned shardNumber(const std::string& text) {
  if (text.empty() || text.size() > 9 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return 0;
  }
  return static_cast<unsigned>(std::stoul(text));
}

Shard shardValue(const std::string& text) {
  const std::size_t slash = text.find('/');
  const unsigned index = slash == std::string::npos ? 0 : shardNumber(text.substr(0, slash));
  const unsigned count = slash == std::string::npos ? 0 : shardNumber(text.substr(slash + 1));
  if (index < 1 || count < 1 || index > count) {
    throw badUsage("--shard needs K/N with 1 <= K <= N, not \"" + text + "\"");
  }
  return {index, count};
}

// Option codes of getopt_long: a short option's own letter, above any byte for the rest.
enum LongOnly : int {
  kRate = 256,
  kHeight,
  kWidth,
  kSize,
  kFit,
  kWithin,
  kFill,
  kPrefix,
  kOut,
  kFilter,
  kQuality,
  kColour,
  kUpdate,
  kPrune,
  kFilesFrom,
  kShard,
  kVersion,
  kXdgCache,
  kThumbnailer,
  kKeep,
};

const option kOptions[] = {
    {"rate", required_argument, nullptr, kRate},
    {"height", required_argument, nullptr, kHeight},
    {"width", required_argument, nullptr, kWidth},
    {"size", required_argument, nullptr, kSize},
    {"fit", required_argument, nullptr, kFit},
    {"within", required_argument, nullptr, kWithin},
    {"fill", required_argument, nullptr, kFill},
    {"prefix", required_argument, nullptr, kPrefix},
    {"out", required_argument, nullptr, kOut},
    {"filter", required_argument, nullptr, kFilter},
    {"quality", required_argument, nullptr, kQuality},
    {"colour", required_argument, nullptr, kColour},
    {"keep", required_argument, nullptr, kKeep},
    {"jobs", required_argument, nullptr, 'j'},
    {"recursive", no_argument, nullptr, 'r'},
    {"update", no_argument, nullptr, kUpdate},
    {"prune", no_argument, nullptr, kPrune},
    {"files-from", required_argument, nullptr, kFilesFrom},
    {"null", no_argument, nullptr, '0'},
    {"shard", required_argument, nullptr, kShard},
    {"quiet", no_argument, nullptr, 'q'},
    {"keep-going", no_argument, nullptr, 'k'},
    {"dry-run", no_argument, nullptr, 'n'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kVersion},
    {"xdg-cache", required_argument, nullptr, kXdgCache},
    {"thumbnailer", no_argument, nullptr, kThumbnailer},
    {nullptr, 0, nullptr, 0},
};

// "-" first: paths come back in place as code 1, whatever POSIXLY_CORRECT says; ":" first
// after it: getopt_long prints nothing and reports a missing value as ':'.
constexpr const char* kShortOptions = "-:rqkn0hj:";

// The arguments as getopt_long wants them: writable, after a program name, ending in null.
class ArgumentVector {
 public:
  explicit ArgumentVector(const std::vector<std::string>& arguments) {
    texts_.push_back("velmora-thumb");
    texts_.insert(texts_.end(), arguments.begin(), arguments.end());
    for (std::string& text : texts_) pointers_.push_back(text.data());
    pointers_.push_back(nullptr);
  }
  int count() const { return static_cast<int>(texts_.size()); }
  char** data() { return pointers_.data(); }

 private:
  std::vector<std::string> texts_;
  std::vector<char*> pointers_;
};

// The option as the user typed it, for messages: a long one from its argument (up to "="),
// a short one from its letter. A short option inside a group ("-rx") leaves optind where it
// was; a long one always moves it on.
std::string typedOption(char** argv, int optindBefore, int letter) {
  const std::string argument = optind > optindBefore ? argv[optind - 1] : "";
  if (argument.compare(0, 2, "--") == 0) return argument.substr(0, argument.find('='));
  return std::string("-") + static_cast<char>(letter);
}

SizingMode boxMode(int code) {
  switch (code) {
    case kSize:
      return SizingMode::HeightAndWidth;
    case kFit:
      return SizingMode::Fit;
    case kWithin:
      return SizingMode::Within;
    default:
      return SizingMode::Fill;
  }
}

// The sizing and naming options in the order given, paired into outputs. One sizing rule and one
// naming rule may come in either order, each with its default; with several sizing rules each is
// followed by its own naming rule.
class OutputRules {
 public:
  void sizing(const std::string& name, const SizingRequest& rule) {
    given_.push_back(name);
    rules_.push_back({name, rule, std::nullopt});
  }
  void naming(const std::string& name, const NamingSettings& rule) {
    given_.push_back(name);
    // The first naming rule may come before the first sizing rule.
    if (rules_.empty()) rules_.push_back({{}, std::nullopt, std::nullopt});
    Given& last = rules_.back();
    if (last.naming) {
      throw badUsage(rules_.size() == 1 && !pairs()
                         ? "choose one naming rule; " + name + " is a second one"
                         : name + " is a second naming rule for " + last.sizingName);
    }
    last.naming = rule;
    last.namingName = name;
    last.namingText =
        rule.mode == NamingMode::PrefixInSourceFolder ? trimBlanks(rule.prefix) : rule.outputFolder;
  }

  // The outputs, at least one: with neither rule given, the default sizing and naming.
  std::vector<OutputRule> finish() const {
    if (rules_.empty()) return {OutputRule{}};
    std::vector<OutputRule> outputs;
    for (const Given& given : merged()) {
      OutputRule output;
      if (given.sizing) output.sizing = *given.sizing;
      if (given.naming) output.naming = *given.naming;
      outputs.push_back(output);
    }
    return outputs;
  }

  const std::vector<std::string>& given() const { return given_; }

 private:
  struct Given {
    std::string sizingName;
    std::optional<SizingRequest> sizing;
    std::optional<NamingSettings> naming;
    std::string namingName = {};
    std::string namingText = {};
  };

  bool pairs() const {
    std::size_t sizings = 0;
    for (const Given& given : rules_) sizings += given.sizing ? 1 : 0;
    return sizings > 1;
  }

  // One sizing rule after a naming rule given first makes one output; several outputs each
  // need a naming rule of their own, different from every other.
  std::vector<Given> merged() const {
    std::vector<Given> rules = rules_;
    if (rules.size() == 2 && !rules[0].sizing && !rules[1].naming) {
      rules[1].naming = rules[0].naming;
      rules.erase(rules.begin());
    }
    if (rules.size() <= 1) return rules;
    if (!rules[0].sizing) {
      throw badUsage(pairs()
                         ? rules[0].namingName +
                               " comes before any sizing rule: with several sizing rules, "
                               "each is followed by its own naming rule"
                         : "choose one naming rule; " + rules[1].namingName + " is a second one");
    }
    for (std::size_t i = 0; i < rules.size(); ++i) {
      if (!rules[i].naming) {
        throw badUsage(rules[i].sizingName +
                       " needs its own --prefix or --out after it: with several sizing rules, "
                       "each output is named on its own");
      }
      for (std::size_t j = 0; j < i; ++j) {
        if (rules[j].naming->mode == rules[i].naming->mode &&
            rules[j].namingText == rules[i].namingText) {
          throw badUsage(rules[i].sizingName + " and " + rules[j].sizingName +
                         " are named alike: each output needs a naming rule of its own");
        }
      }
    }
    return rules;
  }

  std::vector<Given> rules_;
  std::vector<std::string> given_;  // the sizing and naming options, as typed
};

// Reads the options one by one and keeps the rules that span several of them.
class OptionReader {
 public:
  explicit OptionReader(unsigned defaultWorkers) {
    command_.workers = defaultWorkers > 0 ? defaultWorkers : 1;
  }

  // Takes one option with its value (null when it has none); false once help or the version
  // is asked for, which ends the reading.
  bool take(int code, const std::string& name, const char* value) {
    switch (code) {
      case 'h':
        command_.action = Action::Help;
        return false;
      case kVersion:
        command_.action = Action::Version;
        return false;
      case kRate:
        rules_.sizing(name, {SizingMode::Rate, fieldValue(value, kRateLimit, kRateAboveLimit), 0, 0,
                             kLargestSourceSide});
        break;
      case kHeight:
        rules_.sizing(name, {SizingMode::Height, 0, pixelValue(value), 0, kLargestSourceSide});
        break;
      case kWidth:
        rules_.sizing(name, {SizingMode::Width, 0, 0, pixelValue(value), kLargestSourceSide});
        break;
      case kSize:
      case kFit:
      case kWithin:
      case kFill: {
        const WidthHeight size = widthHeightValue(value);
        rules_.sizing(name, {boxMode(code), 0, size.height, size.width, kLargestSourceSide});
        break;
      }
      case kPrefix:
        rules_.naming(name, {NamingMode::PrefixInSourceFolder, value, ""});
        break;
      case kOut:
        rules_.naming(name, {NamingMode::SameNameInChosenFolder, "", value});
        break;
      default:
        takeSetting(code, value);
    }
    return true;
  }

  void takePath(const char* path) { command_.paths.emplace_back(path); }

  CommandLine finish() {
    command_.outputs = rules_.finish();
    if (command_.action == Action::Run && command_.paths.empty() && !command_.filesFrom) {
      throw badUsage("no JPEG file or folder given");
    }
    if (command_.nullSeparated && !command_.filesFrom) throw badUsage("-0 needs --files-from");
    // The desktop's cache and thumbnailer call have no dry run of their own.
    if (command_.dryRun && (!command_.xdgCache.empty() || command_.action == Action::Thumbnailer)) {
      throw badUsage("--dry-run makes only the JPEG thumbnails' plan");
    }
    std::vector<std::string> shaping = rules_.given();
    shaping.insert(shaping.end(), settings_.begin(), settings_.end());
    finishDesktopOptions(command_, shaping);
    if (command_.prune) checkPruning();
    return command_;
  }

 private:
  void takeSetting(int code, const char* value) {
    switch (code) {
      case 'j':
        command_.workers = workerCount(value);
        break;
      case kFilter:
        command_.filter = filterValue(value);
        settings_.push_back("--filter");
        break;
      case kQuality:
        command_.quality = qualityValue(value);
        settings_.push_back("--quality");
        break;
      case kColour:
        command_.colour = colourValue(value);
        settings_.push_back("--colour");
        break;
      case kKeep:
        command_.keep = keptMetadataValue(value);
        settings_.push_back("--keep");
        break;
      case kXdgCache:
        command_.xdgCache = cacheSizesValue(value);
        break;
      case kThumbnailer:
        command_.action = Action::Thumbnailer;
        break;
      case 'r':
        command_.recursive = true;
        break;
      case kUpdate:
        command_.update = true;
        break;
      case kPrune:
        command_.prune = true;
        break;
      case kFilesFrom:
        command_.filesFrom = value;
        break;
      case '0':
        command_.nullSeparated = true;
        break;
      case kShard:
        command_.shard = shardValue(value);
        break;
      case 'q':
        command_.quiet = true;
        break;
      case 'k':
        command_.keepGoing = true;
        break;
      case 'n':
        command_.dryRun = true;
        break;
    }
  }

  // Pruning needs a tree mirrored into a folder of its own: a list, or thumbnails beside
  // their sources, leave no place where a thumbnail without a source could be told apart. Each
  // output's tree is pruned, so each output is mirrored.
  void checkPruning() const {
    const bool everyOutputMirrored =
        std::all_of(command_.outputs.begin(), command_.outputs.end(), [](const OutputRule& output) {
          return output.naming.mode == NamingMode::SameNameInChosenFolder;
        });
    if (!command_.recursive || !everyOutputMirrored) throw badUsage("--prune needs -r and --out");
    if (command_.filesFrom) throw badUsage("--prune takes folders only, not --files-from");
  }

  CommandLine command_;
  OutputRules rules_;
  std::vector<std::string> settings_;  // the other options given that shape the JPEG thumbnails
};

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments, unsigned defaultWorkers) {
  ArgumentVector argv(arguments);
  OptionReader reader(defaultWorkers);
  optind = 0;  // a fresh scan: getopt_long keeps its place between calls
  for (;;) {
    const int before = optind;
    int index = -1;
    const int code = getopt_long(argv.count(), argv.data(), kShortOptions, kOptions, &index);
    if (code == -1) break;
    if (code == 1) {
      reader.takePath(optarg);
      continue;
    }
    if (code == ':' || code == '?') {
      const std::string typed = typedOption(argv.data(), before, optopt);
      if (code == ':') throw badUsage("option " + typed + " needs a value");
      // A long option given a value it does not take ("--recursive=yes") comes back with its
      // own code in optopt; an unknown one with 0.
      const bool valueGiven = optopt != 0 && typed.compare(0, 2, "--") == 0;
      throw badUsage(valueGiven ? "option " + typed + " takes no value"
                                : "unknown option " + typed);
    }
    const std::string name = index >= 0 ? std::string("--") + kOptions[index].name
                                        : std::string("-") + static_cast<char>(code);
    if (!reader.take(code, name, optarg)) return reader.finish();
  }
  // After "--" the rest are paths, left where getopt_long stopped.
  for (int rest = optind; rest < argv.count(); ++rest) reader.takePath(argv.data()[rest]);
  return reader.finish();
}

std::string usageText() {
  return "Usage: velmora-thumb [sizing] [naming] [--filter F] [options] PATH...\n"
         "       velmora-thumb [sizing] [naming] [--filter F] [options] --files-from FILE\n"
         "                     [PATH...]\n"
         "       velmora-thumb --xdg-cache SIZES [options] PATH...\n"
         "       velmora-thumb --thumbnailer SIZE INPUT OUTPUT\n"
         "Makes a JPEG thumbnail of each file PATH, or of every *.jpg and *.jpeg file in\n"
         "each folder PATH, and prints one log line per file.\n"
         "\n"
         "Sizing (one of; default --rate 50):\n"
         "  --rate N      scale to N percent (1 to 100)\n"
         "  --height N    fixed height of N pixels, width keeps the aspect ratio\n"
         "  --width N     fixed width of N pixels, height keeps the aspect ratio\n"
         "  --size WxH    exactly W x H pixels\n"
         "  --fit WxH     a landscape or square picture W pixels wide, a portrait one\n"
         "                H high\n"
         "  --within WxH  the largest size inside W x H, keeping the aspect ratio\n"
         "  --fill WxH    exactly W x H, keeping the aspect ratio by cutting the centre\n"
         "                of the longer side; refused for a picture smaller than the box\n"
         "  Pixel values run from 1 to 65535. A picture is only ever made smaller.\n"
         "\n"
         "Naming (one of; default --prefix tb):\n"
         "  --prefix P    next to the source, named P followed by the source's name\n"
         "  --out DIR     in folder DIR, under the source's own name\n"
         "  Several sizing options, each followed by its own naming option, make\n"
         "  several thumbnails of each file from one decode, one log line each.\n"
         "\n"
         "  --filter F    nearest: each pixel picks one source pixel (default, the\n"
         "                window's rule); area: each pixel averages the source pixels it\n"
         "                covers, from a reduced-size decode (no aliasing, and faster)\n"
         "  --quality N   the JPEG quality of the thumbnails, 1 to 100 (default 90)\n"
         "  --colour C    srgb: a photo tagged with a colour profile (or marked Adobe RGB\n"
         "                in its EXIF) is converted to sRGB, written without a profile\n"
         "                (default); keep: colours as stored, the photo's profile\n"
         "                embedded; none: colours as stored, no profile (the window's rule)\n"
         "  --keep LIST   the source's metadata the thumbnails keep, comma-separated:\n"
         "                exif (upright, the thumbnail's sides, no embedded thumbnail),\n"
         "                gps (the location, only with exif), xmp, iptc, comment, date\n"
         "                (the source's modification time); default: none\n"
         "\n"
         "Files:\n"
         "  -r, --recursive\n"
         "                each folder PATH with all its sub-folders, but not hidden ones,\n"
         "                links to folders or the output folder; --out mirrors the tree\n"
         "  --update      skip a file whose thumbnail exists and is not older than it\n"
         "  --prune       with -r and --out, after a run that went to its end: remove\n"
         "                from the output tree the JPEG thumbnails whose source is gone,\n"
         "                and the folders that leaves empty; each is named on standard\n"
         "                error (PATH must be folders)\n"
         "  --files-from FILE\n"
         "                also the files listed in FILE, one path per line; - reads\n"
         "                standard input\n"
         "  -0, --null    the list's paths end with a NUL byte instead of a newline\n"
         "  --shard K/N   only shard K of N (1 <= K <= N), by a stable hash of each file's\n"
         "                path below its folder PATH: N machines make each thumbnail once\n"
         "\n"
         "The desktop (area filter, orientation applied, no other sizing or naming):\n"
         "  --xdg-cache SIZES\n"
         "                fill the desktop's shared thumbnail cache\n"
         "                ($XDG_CACHE_HOME/thumbnails) in SIZES, comma-separated: normal\n"
         "                (128 pixels), large (256), x-large (512), xx-large (1024); a\n"
         "                file that cannot be read gets a failure entry; --update skips\n"
         "                files whose entries are current\n"
         "  --thumbnailer SIZE INPUT OUTPUT\n"
         "                write INPUT's thumbnail, at most SIZE pixels (1 to 1024), as a\n"
         "                PNG to OUTPUT: the desktop's thumbnailer call\n"
         "                (velmora.thumbnailer)\n"
         "\n"
         "  -j N          render N files at once (default: the number of cores)\n"
         "  -k, --keep-going\n"
         "                after a file's error go on with the next file (without -k the\n"
         "                first error ends the run)\n"
         "  -n, --dry-run read headers and decide: print what would be made, refused,\n"
         "                skipped as up to date or pruned, and write nothing\n"
         "  -q, --quiet   no progress line and no summary on a terminal\n"
         "  --help        show this text\n"
         "  --version     show the version\n"
         "\n"
         "Log lines go to standard output; every error and warning goes to standard error,\n"
         "naming its file.\n"
         "Exit status: 0 when every file was made, refused or up to date; 1 when a file\n"
         "failed, a folder could not be read, the log could not be written or the run ran\n"
         "out of memory; 2 for bad usage or a failed run check.\n";
}

}  // namespace velmora::cli
