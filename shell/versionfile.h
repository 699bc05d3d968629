#pragma once
#include <string>

#include "base/path.h"
#include "base/version.h"

// The window-free half of the update check: the maker's addresses, saving the version
// file, and the decision the menu item "检查版本" takes from it.
namespace versionfile {

// The program's own version number.
inline constexpr int kProgramVersion = kVarnoltVersion;

std::string VersionFileAddress();  // "http://" + MakerHost + "/trevisk/version.txt"
std::string SecondAddress();       // "http://" + MakerHost + "/trevisk.asp"

// config.ini in the settings directory (SettingsDirectory in base/appdir.h).
TPath ConfigPath();

// Saves a fetched body as CR LF lines under target, whole or not at all (a reader meets
// the old file or the new one). Throws EFileError when it cannot write.
void SaveFetchedText(const std::string& body, const TPath& target);

// The [update] section of config.ini; a missing file or key gives ver 0 and empty texts.
struct UpdateInfo {
  int ver = 0;
  std::string url;
  std::string msg;
};
UpdateInfo ReadUpdateInfo(const TPath& iniPath);

// Only a strictly greater "ver" leads to the offer.
bool IsNewer(const UpdateInfo& info, int version);

// Whether url may be handed to the system's handler: only web addresses, because the
// text comes over plain HTTP and a file or custom-scheme address could start a program.
bool IsWebAddress(const std::string& url);

}  // namespace versionfile
