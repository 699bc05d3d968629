#pragma once
// varnolt-cli run as its own process from a program directory of its own:
//
//   CliProgram cli;                       // app/ with varnolt-cli and main.css, root/ as data root
//   cli.PointAt(site);                    // hosts.ini beside the copy names the demo site
//   CliResult r = cli.Run({"download", "02123456"});
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "base/path.h"
#include "tests/support/demosite.h"

struct CliResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

class CliProgram {
 public:
  // The program directory and the data root are the folders programName and rootName
  // (names as the system's bytes) in a temporary folder; savefile.ini names the root.
  explicit CliProgram(const std::string& programName = "app", const std::string& rootName = "root");

  // Writes hosts.ini beside the copy, every host at the site.
  void PointAt(const DemoSite& site) const;
  // Runs the copy with the arguments (the command first). A run still going after 180 s
  // is killed and fails the test instead of blocking it. killWhen, when given, is asked
  // every millisecond with the standard output so far; on true the run and the tools it
  // runs are killed (SIGKILL to its process group) and its exit code is -1. With unreaped,
  // only the run itself is killed, as by a user, and it is left unreaped (a zombie, its pid
  // stored there) for the caller to reap with waitpid.
  CliResult Run(std::vector<std::string> args,
                const std::function<bool(const std::string& out)>& killWhen = nullptr,
                pid_t* unreaped = nullptr) const;
  // The process id of the run going on (for killWhen to reach the tools it runs); -1
  // between runs.
  pid_t RunningPid() const { return running_; }

  // "NAME=value" entries set for the runs, the rest of the environment inherited.
  std::vector<std::string> environment;

 private:
  TempDir temp_;
  mutable pid_t running_ = -1;

 public:
  const TPath dir;   // the program directory
  const TPath data;  // the data root
};
