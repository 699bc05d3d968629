#pragma once
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "base/path.h"

// Splits a parameter text into arguments by the Windows command-line rules: blanks and
// tabs separate; double quotes group; inside quotes "" is one quote; 2n backslashes
// before a quote give n backslashes, 2n+1 give n and a literal quote; other
// backslashes are literal. Bytes are kept as they are.
std::vector<std::string> SplitCommandLine(const std::string& params);

// One argument of a tool's parameter text, between double quotes. A quote or a run of
// backslashes before a quote is escaped so that the text splits back into exactly this
// argument; ordinary paths come out as '"' + path + '"'.
std::string QuoteToolArgument(const std::string& arg);

// The tool's path: `name` in the program directory when present there, else `name`
// itself (looked up on PATH when started).
TPath ToolPath(const std::string& name);

// Status of a finished tool: its exit code; kToolNotStarted when it could not be
// started; kToolKilled when it died from a signal or ran past the time limit.
constexpr int kToolNotStarted = -1;
constexpr int kToolKilled = -2;

// What a tool may get beyond its parameter text.
struct TToolOptions {
  std::vector<std::string> environment;  // "NAME=value": set for the tool, the rest inherited
  TPath output;                          // when set: stdout and stderr go to this file
  int inheritFd = -1;  // kept open in the tool (a TTemporaryFile's: the tool holds its lock too)
};

// Starts program with the parameter text split as above, never through a shell, in the
// process's current directory, with stdin, stdout and stderr on /dev/null, and waits for
// it to end. The text holds the system's bytes (paths as TPath bytes): nothing is
// converted. A tool still running after timeoutMs is killed, so a stuck tool cannot hang
// the caller; and it is killed by the system when the thread that started it ends, so a
// killed run leaves no tool writing on.
int RunTool(const TPath& program, const std::string& params, int timeoutMs = 300000,
            const TToolOptions& options = {});

// A tool started as RunTool starts it, waited for later, so the caller can work while it
// runs. The destructor waits for a tool still running (within its limit).
class TToolRun {
 public:
  TToolRun() = default;
  ~TToolRun();
  TToolRun(const TToolRun&) = delete;
  TToolRun& operator=(const TToolRun&) = delete;

  // Waits for an earlier tool of this object first; timeoutMs counts from the start.
  void Start(const TPath& program, const std::string& params, int timeoutMs = 300000,
             const TToolOptions& options = {});
  // The status of the last tool started, as RunTool gives it; kToolNotStarted before any.
  int Wait();

 private:
  bool started_ = false;
  pid_t pid_ = -1;
  int status_ = kToolNotStarted;
  std::chrono::steady_clock::time_point deadline_;
};
