#include "appdir.h"

#include <unistd.h>

#include <mutex>

namespace {
std::mutex g_mutex;
TPath g_override;
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

void SetProgramDirectoryForTesting(const TPath& dir) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_override = dir;
}
