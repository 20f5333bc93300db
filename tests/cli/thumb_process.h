#pragma once
// Runs velmora-thumb as a child process: its output, its exit, and the few ways the tests
// disturb it (a memory ceiling, a kill once some output has appeared).

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace velmora::testing {

struct ThumbRun {
  int exitCode = -1;  // when it exited
  int killedBy = 0;   // the signal, when one ended it
  std::string out;    // standard output
  std::string err;    // standard error
};

struct ThumbRunOptions {
  std::string workingDirectory;  // the test's own when empty
  rlim_t addressSpaceLimit = 0;  // bytes of virtual memory, none when 0
  // Run by the unprivileged user "nobody" when the tests run as root, so that permissions hold;
  // exit status 126 when that user cannot be taken.
  bool unprivileged = false;
  // Called with the output so far; when it says yes the child is killed with SIGKILL.
  std::function<bool(const std::string& out)> killWhen;
};

inline ThumbRun runThumb(const std::vector<std::string>& args,
                         const ThumbRunOptions& options = {}) {
  int outPipe[2];
  int errPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) std::abort();
  std::vector<char*> argv;
  std::string exe = VELMORA_THUMB_EXE;
  argv.push_back(exe.data());
  std::vector<std::string> copies = args;
  for (std::string& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);

  const pid_t pid = fork();
  if (pid < 0) std::abort();
  if (pid == 0) {
    dup2(outPipe[1], STDOUT_FILENO);
    dup2(errPipe[1], STDERR_FILENO);
    if (!options.workingDirectory.empty() && chdir(options.workingDirectory.c_str()) != 0)
      _exit(126);
    if (options.unprivileged && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
      _exit(126);
    if (options.addressSpaceLimit != 0) {
      // Each malloc arena reserves 64 MiB of address space; one arena keeps the ceiling about
      // memory in use rather than memory reserved.
      setenv("MALLOC_ARENA_MAX", "1", 1);
      const rlimit limit{options.addressSpaceLimit, options.addressSpaceLimit};
      if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(126);
    }
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(outPipe[1]);
  close(errPipe[1]);

  ThumbRun run;
  bool killed = false;
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  int open = 2;
  while (open > 0) {
    if (poll(fds, 2, -1) < 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      if (got <= 0) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
        continue;
      }
      (i == 0 ? run.out : run.err).append(buffer, static_cast<std::size_t>(got));
    }
    if (!killed && options.killWhen && options.killWhen(run.out)) {
      kill(pid, SIGKILL);
      killed = true;
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) run.killedBy = WTERMSIG(status);
  return run;
}

}  // namespace velmora::testing
