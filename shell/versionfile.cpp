#include "versionfile.h"

#include "base/appdir.h"
#include "base/bytes.h"
#include "base/files.h"
#include "base/hosts.h"
#include "base/ini.h"

namespace versionfile {

std::string VersionFileAddress() { return "http://" + Hosts().MakerHost + "/trevisk/version.txt"; }
std::string SecondAddress() { return "http://" + Hosts().MakerHost + "/trevisk.asp"; }
TPath ConfigPath() { return ProgramDirectory() + "/config.ini"; }

void SaveFetchedText(const std::string& body, const TPath& target) { WriteTextLines(target, SplitLines(body)); }

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
