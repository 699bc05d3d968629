#include "tests/support/cliprogram.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "base/datadir.h"
#include "base/files.h"
#include "base/ini.h"

extern char** environ;

CliProgram::CliProgram(const std::string& programName, const std::string& rootName)
    : dir(temp_.Path().Entry(programName)), data(temp_.Path().Entry(rootName)) {
  namespace fs = std::filesystem;
  fs::create_directory(dir.Bytes());
  fs::create_directory(data.Bytes());
  for (const char* f : {"varnolt-cli", "main.css"})
    fs::copy_file(std::string(VARNOLT_APP_DIR) + "/" + f, dir.Entry(f).Bytes());
  // The recognition module, where the build made one (it needs tesseract's library).
  const std::string module = std::string(VARNOLT_APP_DIR) + "/varnolt-tesseract.so";
  if (fs::exists(module)) fs::copy_file(module, dir.Entry("varnolt-tesseract.so").Bytes());
  WriteTextLines(dir + "/savefile.ini", {"[savefile]", "savepath=" + datadir::SettingValue(data)});
}

void CliProgram::PointAt(const DemoSite& site) const { site.WriteHostsIni(dir + "/hosts.ini"); }

CliResult CliProgram::Run(std::vector<std::string> args,
                          const std::function<bool(const std::string& out)>& killWhen, pid_t* unreaped) const {
  args.insert(args.begin(), (dir + "/varnolt-cli").Bytes());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int outPipe[2], errPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  // A group of its own, so a kill takes the tools it runs with it, as when a session ends.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e, name = entry.substr(0, entry.find('=') + 1);
    bool replaced = false;
    for (const std::string& set : environment) replaced = replaced || set.rfind(name, 0) == 0;
    if (!replaced) env.push_back(entry);
  }
  env.insert(env.end(), environment.begin(), environment.end());
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t pid = 0;
  int rc = posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), envp.data());
  running_ = rc == 0 ? pid : -1;
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  close(outPipe[1]);
  close(errPipe[1]);
  CliResult result;
  if (rc == 0) {
    if (unreaped) *unreaped = pid;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(180);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    int open = 2;
    bool killed = false;
    while (open > 0) {
      if (killWhen && !killed && killWhen(result.out)) {
        kill(unreaped ? pid : -pid, SIGKILL);
        killed = true;
      }
      int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count());
      // A kill condition is looked at every millisecond: it may watch files, not only output.
      int ready = left <= 0 ? 0 : poll(fds, 2, killWhen && !killed ? 1 : left);
      if (ready == 0 && (!killWhen || killed || left <= 0)) {
        kill(-pid, SIGKILL);
        ADD_FAILURE() << "varnolt-cli did not end";
        break;
      }
      if (ready <= 0) continue;
      for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
        char buf[4096];
        ssize_t n = read(fds[i].fd, buf, sizeof buf);
        if (n > 0) {
          (i == 0 ? result.out : result.err).append(buf, size_t(n));
        } else {
          fds[i].fd = -1;
          --open;
        }
      }
    }
    int status = 0;
    running_ = -1;
    if (killed && unreaped) {
      result.exitCode = -1;
    } else {
      waitpid(pid, &status, 0);
      result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
  }
  close(outPipe[0]);
  close(errPipe[0]);
  return result;
}
