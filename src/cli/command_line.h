#pragma once
// What the command-line tool was asked to do, read from its arguments.

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/rules/kept_metadata.h"
#include "core/rules/output_naming.h"
#include "core/rules/shard.h"
#include "core/rules/thumbnail_request.h"
#include "core/rules/thumbnail_sizing.h"
#include "core/xdg/cache_sizes.h"

namespace velmora::cli {

// Thumbnailer: the desktop's call for one file (--thumbnailer SIZE INPUT OUTPUT; the paths
// hold INPUT and OUTPUT after the size is read).
enum class Action { Run, Help, Version, Thumbnailer };

// One output of a run: a sizing rule with the naming rule given after it.
struct OutputRule {
  SizingRequest sizing{SizingMode::Rate, 50, 0, 0, kLargestSourceSide};
  NamingSettings naming{NamingMode::PrefixInSourceFolder, "tb", ""};
};

struct CommandLine {
  Action action = Action::Run;
  // In the order given, at least one. Every other setting applies to each of them.
  std::vector<OutputRule> outputs{OutputRule{}};
  unsigned workers = 1;
  SamplingFilter filter = SamplingFilter::Nearest;
  int quality = kDefaultQuality;  // the encoder's, 1 to 100
  ColourHandling colour = ColourHandling::Srgb;
  KeptMetadata keep;  // --keep: the source's metadata the thumbnails carry
  std::vector<std::string> paths;
  bool recursive = false;                // a folder is taken with its sub-folders
  bool update = false;                   // skip a file whose thumbnail is not older than it
  std::optional<std::string> filesFrom;  // a list of paths; "-" is standard input
  bool nullSeparated = false;            // the list's paths end with NUL, not newline
  Shard shard;
  bool quiet = false;                // no progress display and no summary
  bool keepGoing = false;            // a file's error is reported and the run goes on
  bool dryRun = false;               // headers read and sizes decided; nothing written
  bool prune = false;                // then the thumbnails of sources that are gone are removed
  std::vector<CacheSize> xdgCache;   // --xdg-cache: the desktop cache's sizes to fill instead
  std::int32_t thumbnailerSize = 0;  // Action::Thumbnailer: the longest side asked for
};

// Bad usage. A value rejected by a field rule carries the window's own message; other usage
// errors also ask the user to look at --help.
class UsageError : public std::runtime_error {
 public:
  UsageError(const std::string& message, bool pointToHelp)
      : std::runtime_error(message), pointToHelp_(pointToHelp) {}
  bool pointToHelp() const noexcept { return pointToHelp_; }

 private:
  bool pointToHelp_;
};

// Reads the arguments after the program's name. `defaultWorkers` stands when -j is not given.
// Throws UsageError.
CommandLine parseCommandLine(const std::vector<std::string>& arguments, unsigned defaultWorkers);

// The text --help prints.
std::string usageText();

}  // namespace velmora::cli
