#include "updateworker.h"

#include "base/appdir.h"
#include "base/worker.h"
#include "http/httpclient.h"
#include "shell/versionfile.h"

checkupdate::checkupdate() {
  // Last statement: once started, the thread owns the object and may delete it.
  FamilyOf<checkupdate>().Start([this] {
    Execute();
    delete this;
  });
}

void checkupdate::Execute() {
  fetchfile(versionfile::VersionFileAddress(), "config.ini");
  fetchpage(versionfile::SecondAddress());
}

void checkupdate::fetchfile(const std::string& url, const std::string& name) {
  try {
    THttpClient client;
    std::string body = client.HttpGetText(url);
    versionfile::SaveFetchedText(body, SettingsDirectory() + "/" + name);
  } catch (const std::exception&) {
    // No network, no file on the server or a failed write: the old file stays.
  }
}

void checkupdate::fetchpage(const std::string& url) {
  try {
    THttpClient client;
    client.HttpGetText(url);
  } catch (const std::exception&) {
  }
}

bool checkupdate::WaitForAll(int timeoutMs) { return FamilyOf<checkupdate>().WaitAll(timeoutMs); }
