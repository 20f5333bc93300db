// velmora-thumb: the thumbnail engine's command-line front door.

#include <sys/ioctl.h>
#include <unistd.h>

#include <iostream>
#include <thread>

#include "cli/command_line.h"
#include "cli/desktop_command.h"
#include "cli/thumbnail_command.h"
#include "core/run/heap_policy.h"
#include "core/version.h"

namespace {

velmora::cli::Terminals terminals() {
  velmora::cli::Terminals found;
  found.out = isatty(STDOUT_FILENO) == 1;
  found.err = isatty(STDERR_FILENO) == 1;
  winsize size{};
  if (found.err && ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
    found.errColumns = size.ws_col;
  }
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  velmora::keepFreedMemoryForReuse();
  using namespace velmora::cli;
  try {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const CommandLine command = parseCommandLine(arguments, std::thread::hardware_concurrency());
    switch (command.action) {
      case Action::Help:
        std::cout << usageText();
        return kExitDone;
      case Action::Version:
        std::cout << "velmora-thumb " << velmora::kVersion << '\n';
        return kExitDone;
      case Action::Thumbnailer:
        return runThumbnailerCommand(command, std::cerr);
      case Action::Run:
        return runThumbnailCommand(command, std::cin, std::cout, std::cerr, terminals());
    }
  } catch (const UsageError& error) {
    std::cerr << (error.pointToHelp() ? "velmora-thumb: " : "") << error.what() << '\n';
    if (error.pointToHelp()) std::cerr << "Try 'velmora-thumb --help'.\n";
  }
  return kExitBadUsage;
}
