#include "tools.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
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

std::string QuoteToolArgument(const std::string& arg) {
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      out.append(backslashes * 2 + 1, '\\');
    } else {
      out.append(backslashes, '\\');
    }
    backslashes = 0;
    out += c;
  }
  // Backslashes before the closing quote are doubled so that it still closes.
  out.append(backslashes * 2, '\\');
  out += '"';
  return out;
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

// The program's file: a name without "/" is looked up on PATH here, before the start, since
// the child may only make system calls.
std::string ExecutablePath(const std::string& program) {
  if (program.find('/') != std::string::npos) return program;
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
  for (size_t start = 0; start <= dirs.size();) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(start, end - start);
    std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + program;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return std::string();
}

// What the child of a tool start does, all of it decided before the start.
struct TChildPlan {
  const char* file;
  char** argv;
  char** envp;
  const char* output;  // stdout and stderr go there; /dev/null when null
  int inheritFd;
  pid_t parent;
  sigset_t mask;       // the signal mask to exec with
};

// The child between its start and the exec: system calls only.
[[noreturn]] void RunChild(const TChildPlan& plan) {
  for (int sig = 1; sig < NSIG; ++sig) {
    struct sigaction action {};
    if (::sigaction(sig, nullptr, &action) != 0 || action.sa_handler == SIG_IGN || action.sa_handler == SIG_DFL)
      continue;
    action.sa_handler = SIG_DFL;
    action.sa_flags = 0;
    ::sigaction(sig, &action, nullptr);
  }
  if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != plan.parent) ::_exit(127);
  int null = ::open("/dev/null", O_RDWR);
  if (null < 0) ::_exit(127);
  for (int fd = 0; fd <= 2; ++fd) ::dup2(null, fd);
  if (null > 2) ::close(null);
  if (plan.output) {
    int out = ::open(plan.output, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out < 0) ::_exit(127);
    ::dup2(out, 1);
    ::dup2(out, 2);
    if (out > 2) ::close(out);
  }
  if (plan.inheritFd > 2) ::fcntl(plan.inheritFd, F_SETFD, 0);
  ::sigprocmask(SIG_SETMASK, &plan.mask, nullptr);
  ::execve(plan.file, plan.argv, plan.envp);
  ::_exit(127);
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
  const std::string file = ExecutablePath(args[0]);

  // Made before the start: the child may only make system calls.
  std::vector<std::string> env;
  std::vector<char*> envp;
  if (!options.environment.empty()) {
    env = EnvironmentWith(options.environment);
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
  }
  char** const envArg = envp.empty() ? environ : envp.data();
  const char* const output = options.output.Empty() ? nullptr : options.output.c_str();
  const int inheritFd = options.inheritFd;

  started_ = true;
  pid_ = -1;
  deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  if (file.empty()) return;
  // Not posix_spawn: the child must ask to be killed when the thread that started it
  // ends, so that a tool never writes on for a run that was killed. Only system calls
  // between the start and exec; the exec status 127 means "not started", as posix_spawn's.
  // vfork, as posix_spawn does it: a fork copies the tables of the whole address space
  // (with recognition engines loaded, ten times the cost of the start) and then every
  // page the program writes before the tool has started. The child borrows this thread's
  // memory until its exec, so no handler of ours may run in it: every signal stays blocked
  // until the child has set each handled one back to its default.
  TChildPlan plan{file.c_str(), argv.data(), envArg, output, inheritFd, ::getpid(), {}};
  sigset_t all;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &plan.mask);
  const pid_t pid = ::vfork();
  if (pid == 0) RunChild(plan);
  pthread_sigmask(SIG_SETMASK, &plan.mask, nullptr);
  pid_ = pid > 0 ? pid : -1;
}

int TToolRun::Wait() {
  if (!started_) return status_;
  started_ = false;
  if (pid_ < 0) return status_ = kToolNotStarted;
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - std::chrono::steady_clock::now());
  int status = WaitChild(pid_, static_cast<int>(std::max<int64_t>(0, left.count())));
  pid_ = -1;
  // A child that could not exec its program ends with status 127.
  return status_ = status == 127 ? kToolNotStarted : status;
}

TToolRun::~TToolRun() { Wait(); }

int RunTool(const TPath& program, const std::string& params, int timeoutMs, const TToolOptions& options) {
  TToolRun run;
  run.Start(program, params, timeoutMs, options);
  return run.Wait();
}
