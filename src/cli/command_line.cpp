#include "cli/command_line.h"

#include <optional>

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

std::int32_t pixelValue(const std::string& text) {
  return fieldValue(text, kSizeLimit, kSizeAboveLimit);
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

// Walks the arguments; an option's value is the next argument or follows "=" ("--rate=20").
class ArgumentReader {
 public:
  explicit ArgumentReader(const std::vector<std::string>& arguments) : arguments_(arguments) {}

  bool done() const { return index_ >= arguments_.size(); }
  const std::string& next() { return arguments_[index_++]; }

  std::string valueOf(const std::string& option, std::optional<std::string> attached) {
    if (attached) return *attached;
    if (done()) throw badUsage("option " + option + " needs a value");
    return next();
  }

 private:
  const std::vector<std::string>& arguments_;
  std::size_t index_ = 0;
};

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments, unsigned defaultWorkers) {
  CommandLine command;
  command.workers = defaultWorkers > 0 ? defaultWorkers : 1;
  ArgumentReader reader(arguments);
  bool sizingGiven = false;
  bool namingGiven = false;
  bool optionsEnded = false;
  auto chooseSizing = [&](const std::string& option) {
    if (sizingGiven) throw badUsage("choose one sizing rule; " + option + " is a second one");
    sizingGiven = true;
  };
  auto chooseNaming = [&](const std::string& option) {
    if (namingGiven) throw badUsage("choose one naming rule; " + option + " is a second one");
    namingGiven = true;
  };
  while (!reader.done()) {
    const std::string& argument = reader.next();
    if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
      command.paths.push_back(argument);
      continue;
    }
    if (argument == "--") {
      optionsEnded = true;
      continue;
    }
    std::string option = argument;
    std::optional<std::string> attached;
    if (const std::size_t equals = argument.find('=');
        argument.compare(0, 2, "--") == 0 && equals != std::string::npos) {
      option = argument.substr(0, equals);
      attached = argument.substr(equals + 1);
    } else if (argument.compare(0, 2, "-j") == 0 && argument.size() > 2) {
      option = "-j";
      attached = argument.substr(2);
    }
    if (option == "--help" || option == "-h") {
      command.action = Action::Help;
      return command;
    }
    if (option == "--version") {
      command.action = Action::Version;
      return command;
    }
    if (option == "--rate") {
      chooseSizing(option);
      command.sizing = {SizingMode::Rate,
                        fieldValue(reader.valueOf(option, attached), kRateLimit, kRateAboveLimit),
                        0, 0};
    } else if (option == "--height") {
      chooseSizing(option);
      command.sizing = {SizingMode::Height, 0, pixelValue(reader.valueOf(option, attached)), 0};
    } else if (option == "--width") {
      chooseSizing(option);
      command.sizing = {SizingMode::Width, 0, 0, pixelValue(reader.valueOf(option, attached))};
    } else if (option == "--size" || option == "--fit") {
      chooseSizing(option);
      const WidthHeight size = widthHeightValue(reader.valueOf(option, attached));
      const SizingMode mode = option == "--size" ? SizingMode::HeightAndWidth : SizingMode::Fit;
      command.sizing = {mode, 0, size.height, size.width};
    } else if (option == "--prefix") {
      chooseNaming(option);
      command.naming = {NamingMode::PrefixInSourceFolder, reader.valueOf(option, attached), ""};
    } else if (option == "--out") {
      chooseNaming(option);
      command.naming = {NamingMode::SameNameInChosenFolder, "", reader.valueOf(option, attached)};
    } else if (option == "-j" || option == "--jobs") {
      command.workers = workerCount(reader.valueOf(option, attached));
    } else if (option == "--filter") {
      command.filter = filterValue(reader.valueOf(option, attached));
    } else if (!attached && (option == "-r" || option == "--recursive")) {
      command.recursive = true;
    } else if (!attached && option == "--update") {
      command.update = true;
    } else if (option == "--files-from") {
      command.filesFrom = reader.valueOf(option, attached);
    } else if (!attached && (option == "-0" || option == "--null")) {
      command.nullSeparated = true;
    } else if (option == "--shard") {
      command.shard = shardValue(reader.valueOf(option, attached));
    } else if (!attached && (option == "-q" || option == "--quiet")) {
      command.quiet = true;
    } else {
      throw badUsage("unknown option " + option);
    }
  }
  if (command.paths.empty() && !command.filesFrom) {
    throw badUsage("no JPEG file or folder given");
  }
  if (command.nullSeparated && !command.filesFrom) throw badUsage("-0 needs --files-from");
  return command;
}

std::string usageText() {
  return "Usage: velmora-thumb [sizing] [naming] [--filter F] [options] PATH...\n"
         "       velmora-thumb [sizing] [naming] [--filter F] [options] --files-from FILE\n"
         "                     [PATH...]\n"
         "Makes a JPEG thumbnail of each file PATH, or of every *.jpg and *.jpeg file in each\n"
         "folder PATH, and prints one log line per file.\n"
         "\n"
         "Sizing (one of; default --rate 50):\n"
         "  --rate N      scale to N percent (1 to 100)\n"
         "  --height N    fixed height of N pixels, width keeps the aspect ratio\n"
         "  --width N     fixed width of N pixels, height keeps the aspect ratio\n"
         "  --size WxH    exactly W x H pixels\n"
         "  --fit WxH     a landscape or square picture W pixels wide, a portrait one H high\n"
         "  Pixel values run from 1 to 1000. A picture is only ever made smaller.\n"
         "\n"
         "Naming (one of; default --prefix tb):\n"
         "  --prefix P    next to the source, named P followed by the source's name\n"
         "  --out DIR     in folder DIR, under the source's own name\n"
         "\n"
         "  --filter F    nearest: each pixel picks one source pixel (default, the window's\n"
         "                rule); area: each pixel averages the source pixels it covers, from a\n"
         "                reduced-size decode (no aliasing, and faster)\n"
         "\n"
         "Files:\n"
         "  -r, --recursive\n"
         "                each folder PATH with all its sub-folders, but not hidden ones,\n"
         "                links to folders or the output folder; --out mirrors the tree\n"
         "  --update      skip a file whose thumbnail exists and is not older than it\n"
         "  --files-from FILE\n"
         "                also the files listed in FILE, one path per line; - reads\n"
         "                standard input\n"
         "  -0, --null    the list's paths end with a NUL byte instead of a newline\n"
         "  --shard K/N   only shard K of N (1 <= K <= N), by a stable hash of each file's\n"
         "                path below its folder PATH: N machines make each thumbnail once\n"
         "\n"
         "  -j N          render N files at once (default: the number of cores)\n"
         "  -q, --quiet   no progress line and no summary on a terminal\n"
         "  --help        show this text\n"
         "  --version     show the version\n"
         "\n"
         "Exit status: 0 when every file was made or refused, 1 when an error ended the run,\n"
         "2 for bad usage or a failed run check.\n";
}

}  // namespace velmora::cli
