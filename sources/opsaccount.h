#pragma once
// The OPS account of this user: where requests go, the consumer key and secret, and the
// test of a connection the account dialog offers. The key and the secret never go into a
// message, a progress line or a file other than ops.ini.
#include <optional>
#include <string>

#include "base/path.h"

// An OPS account: the consumer key and secret of an app registered with EPO.
struct TOpsCredentials {
  std::string key;
  std::string secret;
};

// hosts.ini [hosts] OpsHost ("name[:port]"), ops.epo.org by default.
std::string OpsHost();

// ops.ini in the settings directory.
TPath OpsIniPath();

// VARNOLT_OPS_KEY and VARNOLT_OPS_SECRET when both are set and not empty, else ops.ini's
// [ops] key= and secret=; nothing when neither gives both.
std::optional<TOpsCredentials> ReadOpsCredentials();
bool OpsCredentialsSet();
// What ops.ini holds (for the dialog to show), empty texts when nothing.
TOpsCredentials ReadOpsIni();

// Writes ops.ini ([ops], key=, secret=), readable by this user only (mode 0600 from its
// creation on, also when it was there before). Throws EFileError.
void WriteOpsCredentials(const TOpsCredentials& credentials);

// The message (GBK) when no credentials are set: where to register, where to put them.
std::string MissingCredentialsMessage();

// The registration page for a consumer key and secret.
constexpr const char kOpsRegistrationUrl[] = "https://developers.epo.org/";

// Asks OPS for a token with the credentials (the account dialog's 测试连接): whether it
// came, and a message (GBK) saying what came back, without the key, secret or token.
struct TOpsConnectionTest {
  bool ok = false;
  std::string message;
  bool wrongAccount = false;  // the token service knows no such key and secret (its 401)
};
TOpsConnectionTest TestOpsConnection(const TOpsCredentials& credentials, const std::string& host = OpsHost());
