#include "versionfile.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "base/appdir.h"
#include "base/bytes.h"
#include "base/errors.h"
#include "base/files.h"
#include "base/hosts.h"
#include "base/ini.h"
#include "base/syserror.h"

namespace versionfile {

std::string VersionFileAddress() { return "http://" + Hosts().MakerHost + "/trevisk/version.txt"; }
std::string SecondAddress() { return "http://" + Hosts().MakerHost + "/trevisk.asp"; }
TPath ConfigPath() { return SettingsDirectory() + "/config.ini"; }

void SaveFetchedText(const std::string& body, const TPath& target) {
  // A name of its own per process and call, so two starts at once cannot share it.
  static std::atomic<unsigned> counter{0};
  TPath temp = target + ("." + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp");
  try {
    WriteTextLines(temp, SplitLines(body));
  } catch (...) {
    DeleteFileAt(temp);
    throw;
  }
  if (std::rename(temp.c_str(), target.c_str()) != 0) {
    const int err = errno;
    DeleteFileAt(temp);
    throw EFileError(FileErrorMessage(basetext::kCannotReplaceFile, target, err));
  }
}

UpdateInfo ReadUpdateInfo(const TPath& iniPath) {
  UpdateInfo info;
  info.ver = ReadVersionInteger(IniReadString(iniPath, "update", "ver", ""));
  info.url = IniReadString(iniPath, "update", "url", "");
  info.msg = IniReadString(iniPath, "update", "msg", "");
  return info;
}

bool IsNewer(const UpdateInfo& info, int version) { return info.ver > version; }

bool IsWebAddress(const std::string& url) {
  auto startsNoCase = [&](const std::string& prefix) {
    if (url.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
      char c = url[i];
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      if (c != prefix[i]) return false;
    }
    return true;
  };
  return startsNoCase("http://") || startsNoCase("https://");
}

}  // namespace versionfile
