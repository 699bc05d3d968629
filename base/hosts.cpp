#include "hosts.h"

#include <mutex>
#include <optional>

#include "appdir.h"
#include "ini.h"

SiteHosts ReadSiteHosts(const TPath& iniPath) {
  auto get = [&](const char* key, const char* def) { return IniReadString(iniPath, "hosts", key, def); };
  SiteHosts h;
  h.SearchHost = get("SearchHost", "search.sipo.gov.cn");
  h.PortalHost = get("PortalHost", "www.sipo.gov.cn");
  h.MakerHost = get("MakerHost", "www.varnolt.org");
  h.DictionaryHost = get("DictionaryHost", "dict.cn");
  h.WebSearchHost = get("WebSearchHost", "www.google.cn");
  h.OfficeCN = get("OfficeCN", "www.cnipa.gov.cn");
  h.OfficeDerwent = get("OfficeDerwent", "www.derwent.com");
  h.OfficeEP = get("OfficeEP", "www.epo.org");
  h.OfficeJP = get("OfficeJP", "www.jpo.go.jp");
  h.OfficeUS = get("OfficeUS", "www.uspto.gov");
  h.OfficeWIPO = get("OfficeWIPO", "www.wipo.int");
  h.OpsHost = get("OpsHost", "ops.epo.org");
  return h;
}

namespace {
std::mutex g_mutex;
std::optional<SiteHosts> g_hosts;
}  // namespace

SiteHosts Hosts() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!g_hosts) g_hosts = ReadSiteHosts(SettingsDirectory() + "/hosts.ini");
  return *g_hosts;
}

void SetHosts(const SiteHosts& hosts) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_hosts = hosts;
}
