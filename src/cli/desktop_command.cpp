#include "cli/desktop_command.h"

#include <ostream>

#include "cli/thumbnail_command.h"
#include "core/errors.h"
#include "core/xdg/thumbnailer_output.h"

namespace velmora::cli {

int runThumbnailerCommand(const CommandLine& command, std::ostream& err) {
  DecoderMemoryBudget memory;
  try {
    const std::string& source = command.paths[0];
    for (const std::string& warning :
         writeThumbnailerOutput(source, command.paths[1], command.thumbnailerSize, memory)) {
      err << "velmora-thumb: " << source << ": " << warning << '\n';
    }
  } catch (const Error& error) {
    err << "velmora-thumb: " << (error.file().empty() ? "" : error.file() + ": ") << error.what()
        << '\n';
    return kExitTrouble;
  }
  return kExitDone;
}

}  // namespace velmora::cli
