#include "appdir.h"

#include <unistd.h>

#include <mutex>

#include "gbk.h"

namespace {
std::mutex g_mutex;
std::string g_override;
}  // namespace

std::string ProgramDirectory() {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_override.empty()) return g_override;
  }
  static const std::string dir = [] {
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    std::string exe = n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string(".");
    size_t slash = exe.rfind('/');
    std::string d = slash == std::string::npos ? std::string(".") : exe.substr(0, slash);
    if (d.empty()) d = "/";
    return Utf8ToGbk(d);
  }();
  return dir;
}

void SetProgramDirectoryForTesting(const std::string& gbkDir) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_override = gbkDir;
}
