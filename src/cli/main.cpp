// velmora-thumb: the thumbnail engine's command-line front door.

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <thread>

#include "cli/command_line.h"
#include "cli/desktop_command.h"
#include "cli/run_report.h"
#include "cli/thumbnail_command.h"
#include "core/run/heap_policy.h"
#include "core/version.h"

namespace {

using namespace velmora::cli;

// A standard stream the caller closed would give its number to the first file the run opens,
// and log lines would land in a thumbnail. Each is held by /dev/null opened read-only, so
// that writing to it fails, and is reported, as writing to a closed stream does.
void holdClosedStandardStreams() {
  for (int stream = STDIN_FILENO; stream <= STDERR_FILENO; ++stream) {
    if (fcntl(stream, F_GETFD) == -1 && errno == EBADF) open("/dev/null", O_RDONLY);
  }
}

Terminals terminals() {
  Terminals found;
  found.out = isatty(STDOUT_FILENO) == 1;
  found.err = isatty(STDERR_FILENO) == 1;
  winsize size{};
  if (found.err && ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
    found.errColumns = size.ws_col;
  }
  return found;
}

// Standard output's last bytes are written when it is flushed and closed, and either can fail
// (a full disk, a closed pipe): then the output did not arrive, and the run says so. A failure
// the run has already reported is not reported twice.
int closeStandardOutput(int status) {
  errno = 0;
  std::cout.flush();
  int error = errno;
  const bool lostBefore = !std::cout;
  if (std::fclose(stdout) == 0 && !lostBefore) return status;
  if (error == 0) error = errno != 0 ? errno : EIO;
  if (!lostBefore || status == kExitDone) {
    std::cerr << "velmora-thumb: standard output could not be written: " << std::strerror(error)
              << std::endl;
  }
  return status == kExitDone ? kExitTrouble : status;
}

int runCommand(const std::vector<std::string>& arguments) {
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
      break;
  }
  return runThumbnailCommand(command, std::cin, std::cout, std::cerr, terminals());
}

}  // namespace

int main(int argc, char** argv) {
  velmora::keepFreedMemoryForReuse();
  holdClosedStandardStreams();
  int status = kExitBadUsage;
  try {
    status = runCommand(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const UsageError& error) {
    std::cerr << (error.pointToHelp() ? "velmora-thumb: " : "") << error.what() << '\n';
    if (error.pointToHelp()) std::cerr << "Try 'velmora-thumb --help'.\n";
    status = kExitBadUsage;
  } catch (const std::exception& error) {
    std::cerr << "velmora-thumb: " << runErrorText(error) << '\n';
    status = kExitTrouble;
  }
  return closeStandardOutput(status);
}
