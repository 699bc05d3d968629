#include "appdir.h"

#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

#include "files.h"

namespace {
std::mutex g_mutex;
TPath g_override;

// A directory named by an environment variable, when it is set to an absolute path.
TPath AbsoluteFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value && value[0] == '/' ? TPath::FromSystem(value) : TPath();
}

bool InGroup(gid_t gid) {
  if (gid == ::getegid()) return true;
  gid_t groups[256];
  int n = ::getgroups(256, groups);
  for (int i = 0; i < n; ++i)
    if (groups[i] == gid) return true;
  return false;
}

}  // namespace

TPath ProgramDirectory() {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_override.Empty()) return g_override;
  }
  static const TPath dir = [] {
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    std::string exe = n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string(".");
    size_t slash = exe.rfind('/');
    std::string d = slash == std::string::npos ? std::string(".") : exe.substr(0, slash);
    if (d.empty()) d = "/";
    return TPath::FromSystem(d);
  }();
  return dir;
}

bool ProgramDirectoryWritable() {
  const TPath dir = ProgramDirectory();
  // /usr belongs to the system's packages and is read-only by convention, also for root:
  // an installed program started as root keeps its files out of the package's folder.
  if (dir.Bytes().rfind("/usr/", 0) == 0) return false;
  struct stat st;
  struct statvfs fs;
  if (::stat(dir.c_str(), &st) != 0 || ::statvfs(dir.c_str(), &fs) != 0 || (fs.f_flag & ST_RDONLY)) return false;
  // The permission bits rather than access(), which grants the superuser everything.
  if (st.st_uid == ::geteuid()) return st.st_mode & S_IWUSR;
  if (InGroup(st.st_gid)) return st.st_mode & S_IWGRP;
  return st.st_mode & S_IWOTH;
}

TPath HomeDirectory() {
  TPath home = AbsoluteFromEnvironment("HOME");
  if (!home.Empty()) return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return TPath::FromSystem(pw->pw_dir);
  return TPath::FromSystem("/");
}

TPath UserConfigDirectory() {
  TPath config = AbsoluteFromEnvironment("XDG_CONFIG_HOME");
  return config.Empty() ? HomeDirectory().Entry(".config") : config;
}

TPath SettingsDirectory() {
  if (ProgramDirectoryWritable()) return ProgramDirectory();
  const TPath dir = UserConfigDirectory().Entry("varnolt");
  ForceDirectories(dir);
  return dir;
}

void SetProgramDirectoryForTesting(const TPath& dir) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_override = dir;
}
