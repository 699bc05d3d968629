#include "tools.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "appdir.h"
#include "files.h"

extern char** environ;

std::vector<std::string> SplitCommandLine(const std::string& params) {
  std::vector<std::string> args;
  size_t i = 0;
  const size_t n = params.size();
  for (;;) {
    while (i < n && (params[i] == ' ' || params[i] == '\t')) ++i;
    if (i >= n) break;
    std::string arg;
    bool quoted = false;
    while (i < n) {
      char c = params[i];
      if (!quoted && (c == ' ' || c == '\t')) break;
      if (c == '\\') {
        size_t run = 0;
        while (i < n && params[i] == '\\') {
          ++run;
          ++i;
        }
        if (i < n && params[i] == '"') {
          arg.append(run / 2, '\\');
          if (run % 2 == 1) {
            arg += '"';
            ++i;
          }
        } else {
          arg.append(run, '\\');
        }
        continue;
      }
      if (c == '"') {
        if (quoted && i + 1 < n && params[i + 1] == '"') {
          arg += '"';
          i += 2;
          continue;
        }
        quoted = !quoted;
        ++i;
        continue;
      }
      arg += c;
      ++i;
    }
    args.push_back(arg);
  }
  return args;
}

TPath ToolPath(const std::string& name) {
  TPath local = ProgramDirectory() + "/" + name;
  return FileExists(local) ? local : TPath::FromText(name);
}

namespace {

// Waits for the child with a deadline; a pidfd lets poll() wake exactly at its end.
int WaitChild(pid_t pid, int timeoutMs) {
  int status = 0;
  int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  bool timedOut = false;
  if (pidfd >= 0) {
    pollfd p{pidfd, POLLIN, 0};
    int r;
    do {
      r = ::poll(&p, 1, timeoutMs);
    } while (r < 0 && errno == EINTR);
    timedOut = r == 0;
    ::close(pidfd);
  } else {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (::waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() >= deadline) {
        timedOut = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (!timedOut) return WIFEXITED(status) ? WEXITSTATUS(status) : kToolKilled;
  }
  if (timedOut) ::kill(pid, SIGKILL);
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (timedOut) return kToolKilled;
  return WIFEXITED(status) ? WEXITSTATUS(status) : kToolKilled;
}

}  // namespace

void TToolRun::Start(const TPath& program, const std::string& params, int timeoutMs) {
  Wait();
  std::vector<std::string> args;
  args.push_back(program.Bytes());
  for (const std::string& a : SplitCommandLine(params)) args.push_back(a);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int rc = args[0].find('/') == std::string::npos
               ? ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ)
               : ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  started_ = true;
  pid_ = rc == 0 ? pid : -1;
  deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
}

int TToolRun::Wait() {
  if (!started_) return status_;
  started_ = false;
  if (pid_ < 0) return status_ = kToolNotStarted;
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - std::chrono::steady_clock::now());
  int status = WaitChild(pid_, static_cast<int>(std::max<int64_t>(0, left.count())));
  pid_ = -1;
  // glibc's posix_spawn reports an exec failure as exit status 127 of the child.
  return status_ = status == 127 ? kToolNotStarted : status;
}

TToolRun::~TToolRun() { Wait(); }

int RunTool(const TPath& program, const std::string& params, int timeoutMs) {
  TToolRun run;
  run.Start(program, params, timeoutMs);
  return run.Wait();
}
