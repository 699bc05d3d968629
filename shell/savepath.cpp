#include "savepath.h"

#include <mutex>

#include "base/appdir.h"
#include "base/files.h"
#include "base/ini.h"

namespace savepath {
namespace {
std::mutex g_mutex;
std::string g_root;

std::string SettingsFile() { return ProgramDirectory() + "/savefile.ini"; }
}  // namespace

std::string FromSettings() {
  std::string value;
  if (FileExists(SettingsFile())) value = IniReadString(SettingsFile(), "savefile", "savepath", "");
  return value.empty() ? ProgramDirectory() : value;
}

std::string LoadAtStart() {
  std::string root = FromSettings();
  Set(root);
  return root;
}

std::string Get() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_root.empty() ? ProgramDirectory() : g_root;
}

void Set(const std::string& root) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_root = root;
}

void WriteSettings(const std::string& root) {
  WriteTextLines(SettingsFile(), {"[savefile]", "savepath=" + root});
}

}  // namespace savepath
