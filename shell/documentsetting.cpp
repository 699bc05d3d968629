#include "shell/documentsetting.h"

#include "base/appdir.h"
#include "base/ini.h"

namespace {
TPath DocumentIniPath() { return SettingsDirectory() + "/download.ini"; }
}  // namespace

const char* DocumentChoiceName(TDocumentChoice choice) {
  switch (choice) {
    case TDocumentChoice::Application: return "application";
    case TDocumentChoice::Both: return "both";
    default: return "grant";
  }
}

TDocumentChoice SavedDocumentChoice() {
  return ReadDocumentChoice(IniReadString(DocumentIniPath(), "download", "document", "")).value_or(TDocumentChoice::Grant);
}

void SaveDocumentChoice(TDocumentChoice choice) {
  WriteTextLines(DocumentIniPath(), {"[download]", std::string("document=") + DocumentChoiceName(choice)});
}
