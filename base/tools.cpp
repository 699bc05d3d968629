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

namespace {

// The process's environment with the given entries set.
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& entries) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('=') + 1);
    bool replaced = false;
    for (const std::string& set : entries) replaced = replaced || set.compare(0, name.size(), name) == 0;
    if (!replaced) env.push_back(entry);
  }
  env.insert(env.end(), entries.begin(), entries.end());
  return env;
}

}  // namespace

void TToolRun::Start(const TPath& program, const std::string& params, int timeoutMs, const TToolOptions& options) {
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
  if (options.output.Empty()) {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, options.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  }
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  std::vector<std::string> env;
  std::vector<char*> envp;
  if (!options.environment.empty()) {
    env = EnvironmentWith(options.environment);
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
  }
  char** envArg = envp.empty() ? environ : envp.data();
  pid_t pid = 0;
  int rc = args[0].find('/') == std::string::npos
               ? ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envArg)
               : ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envArg);
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

int RunTool(const TPath& program, const std::string& params, int timeoutMs, const TToolOptions& options) {
  TToolRun run;
  run.Start(program, params, timeoutMs, options);
  return run.Wait();
}
