#include "sources/opsaccount.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "base/appdir.h"
#include "base/errors.h"
#include "base/gbk.h"
#include "base/hosts.h"
#include "base/ini.h"
#include "http/httpclient.h"
#include "sources/ops/opsclient.h"
#include "sources/sourcetexts.h"

using namespace opswiretext;

std::string OpsHost() { return Hosts().OpsHost; }

TPath OpsIniPath() { return SettingsDirectory() + "/ops.ini"; }

TOpsCredentials ReadOpsIni() {
  const TPath ini = OpsIniPath();
  return {IniReadString(ini, "ops", "key", ""), IniReadString(ini, "ops", "secret", "")};
}

std::optional<TOpsCredentials> ReadOpsCredentials() {
  const char* key = std::getenv("VARNOLT_OPS_KEY");
  const char* secret = std::getenv("VARNOLT_OPS_SECRET");
  if (key && secret && *key && *secret) return TOpsCredentials{key, secret};
  TOpsCredentials stored = ReadOpsIni();
  if (stored.key.empty() || stored.secret.empty()) return std::nullopt;
  return stored;
}

bool OpsCredentialsSet() { return ReadOpsCredentials().has_value(); }

namespace {
// The token service answers 401 to a key or secret it does not know.
bool IsWrongAccount(const std::string& refusal) {
  const std::string refused = std::string(kTokenRefused) + "401";
  return refusal.compare(0, refused.size(), refused) == 0;
}
}  // namespace

void WriteOpsCredentials(const TOpsCredentials& credentials) {
  const TPath ini = OpsIniPath();
  const std::string text = JoinLinesCrLf({"[ops]", "key=" + credentials.key, "secret=" + credentials.secret});
  // Written beside the file under a name of its own, readable by this user only from the
  // first byte on, then moved over it: the secret is never in a file others may read.
  std::string temp = (ini.Parent() + "/.ops.ini.XXXXXX").Bytes();
  int fd = ::mkstemp(temp.data());
  if (fd < 0) throw EFileError(ini.ShownText());
  bool ok = ::fchmod(fd, 0600) == 0;
  for (size_t done = 0; ok && done < text.size();) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    else done += size_t(n);
  }
  ok = ::close(fd) == 0 && ok;
  if (!ok || ::rename(temp.c_str(), ini.Bytes().c_str()) != 0) {
    ::unlink(temp.c_str());
    throw EFileError(ini.ShownText());
  }
}

std::string MissingCredentialsMessage() {
  return std::string(kNoCredentialsA) + kNoCredentialsB + OpsIniPath().ShownText() + kNoCredentialsC;
}

TOpsConnectionTest TestOpsConnection(const TOpsCredentials& credentials, const std::string& host) {
  if (credentials.key.empty() || credentials.secret.empty()) return {false, kTestEmpty};
  try {
    THttpClient client;
    const TOpsToken token = TOpsConnection::FetchToken(client, host, credentials);
    return {true, kTestOk + std::to_string(token.expiresIn.count()) + kTestOkTail};
  } catch (const EOpsTokenError& e) {
    return {false, e.what(), IsWrongAccount(e.Message())};
  } catch (const EOpsTokenUnavailable& e) {
    return {false, e.what()};
  } catch (const std::exception& e) {
    return {false, kTestFailed + std::string(e.what())};
  }
}
