#pragma once
// Temporary folders, child processes and loopback ports for tests.
//
//   TempDir dir;                         // a fresh directory, removed with its contents
//   dir.File("a.txt")                    // a path inside it
//   StopProcess(pid);                    // SIGTERM, then SIGKILL; reaped
//   UnusedLoopbackPort()                 // a port where nothing listens
//   int fd = ListenLoopback(port);       // a listening socket on a free loopback port
//   SendAll(fd, bytes)                   // false once the peer is gone
//   ScopedEnv home("HOME", "/tmp/h");    // an environment variable until the end of the scope
#include <optional>
#include <string>
#include <sys/types.h>

#include "base/path.h"

// A new directory below $TMPDIR (or /tmp); removed recursively by the destructor.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const TPath& Path() const { return path_; }
  // Path() + "/" + name (GBK text)
  TPath File(const std::string& name) const { return path_ + "/" + name; }

 private:
  TPath path_;
};

// Ends a child process: SIGTERM, then SIGKILL after 5 s; reaps it. Does nothing for pid <= 0.
void StopProcess(pid_t pid);

// A loopback port nobody listens on (bound, then released; free until someone takes it).
int UnusedLoopbackPort();

// A socket listening on a free loopback port, which goes into port. Throws
// std::runtime_error when there is none.
int ListenLoopback(int& port, int backlog = 16);

// Sends every byte (without SIGPIPE); false when the peer is gone first.
bool SendAll(int fd, const char* data, size_t size);
inline bool SendAll(int fd, const std::string& data) { return SendAll(fd, data.data(), data.size()); }

// Sets (or, with nullopt, removes) an environment variable for the life of the object and
// then restores it; child processes started meanwhile inherit it.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};
