#pragma once
#include <string>

#include "base/path.h"

// Site hosts ("name" or "name:port"), read from hosts.ini in the settings directory,
// section [hosts]; a missing file or key gives the public default.
struct SiteHosts {
  std::string SearchHost;
  std::string PortalHost;
  std::string MakerHost;
  std::string DictionaryHost;
  std::string WebSearchHost;
  std::string OfficeCN;
  std::string OfficeDerwent;
  std::string OfficeEP;
  std::string OfficeJP;
  std::string OfficeUS;
  std::string OfficeWIPO;
  // The Open Patent Services; every request goes to https://OpsHost/3.2/.
  std::string OpsHost;
};

SiteHosts ReadSiteHosts(const TPath& iniPath);

// The hosts of this process: read from the settings directory's hosts.ini on first use.
SiteHosts Hosts();

// Replaces the hosts of this process (tests point them at a demo site on a free port).
void SetHosts(const SiteHosts& hosts);
