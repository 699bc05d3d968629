#include "http/proxy.h"

#include <openssl/evp.h>

#include <cstdlib>
#include <vector>

#include "base/bytes.h"
#include "http/netexceptions.h"
#include "http/nettexts.h"
#include "http/replyreader.h"
#include "http/uri.h"

namespace {

// The first of the variables that is set and not empty, with its name.
std::optional<std::pair<std::string, std::string>> Setting(std::initializer_list<const char*> names) {
  for (const char* name : names) {
    const char* value = std::getenv(name);
    if (value && *value) return std::make_pair(std::string(name), std::string(value));
  }
  return std::nullopt;
}

[[noreturn]] void Unusable(const std::string& variable, const char* why) {
  throw ENetProxyError(nettext::kProxySetting + variable + nettext::kProxyUnusable + why);
}

}  // namespace

TProxy ParseProxy(const std::string& value, const std::string& variable) {
  std::string text = TrimBytes(value);
  if (text.find("://") == std::string::npos) text = "http://" + text;
  TUri uri = ParseUri(text);
  if (!SameTextNoCase(uri.Protocol, "http")) Unusable(variable, nettext::kProxyHttpOnly);
  if (uri.Host.empty()) Unusable(variable, nettext::kProxyNoHost);
  TProxy proxy;
  proxy.Host = uri.Host;
  if (!uri.Port.empty()) {
    int64_t port;
    if (!ReadDecimal(uri.Port, port) || port < 1 || port > 65535) Unusable(variable, nettext::kProxyBadPort);
    proxy.Port = static_cast<int>(port);
  }
  proxy.User = PercentDecoded(uri.Username);
  proxy.Password = PercentDecoded(uri.Password);
  return proxy;
}

bool NoProxyCovers(const std::string& list, const std::string& host) {
  const std::string name = LowerAscii(host);
  size_t at = 0;
  while (at <= list.size()) {
    size_t comma = list.find(',', at);
    if (comma == std::string::npos) comma = list.size();
    std::string entry = LowerAscii(TrimBytes(list.substr(at, comma - at)));
    at = comma + 1;
    if (entry == "*") return true;
    if (!entry.empty() && entry[0] == '.') entry.erase(0, 1);
    if (entry.empty()) continue;
    if (name == entry) return true;
    if (name.size() > entry.size() && name.compare(name.size() - entry.size(), entry.size(), entry) == 0 &&
        name[name.size() - entry.size() - 1] == '.')
      return true;
  }
  return false;
}

std::optional<TProxy> ProxyFor(bool secure, const std::string& host) {
  auto setting = secure ? Setting({"https_proxy", "HTTPS_PROXY"}) : Setting({"http_proxy", "HTTP_PROXY"});
  if (!setting) return std::nullopt;
  if (auto bypass = Setting({"no_proxy", "NO_PROXY"}); bypass && NoProxyCovers(bypass->second, host))
    return std::nullopt;
  return ParseProxy(setting->second, setting->first);
}

std::string ProxyAuthorization(const TProxy& proxy) {
  if (proxy.User.empty()) return {};
  const std::string plain = proxy.User + ":" + proxy.Password;
  std::vector<unsigned char> out(4 * ((plain.size() + 2) / 3) + 1);
  int n = EVP_EncodeBlock(out.data(), reinterpret_cast<const unsigned char*>(plain.data()), static_cast<int>(plain.size()));
  return "Basic " + std::string(reinterpret_cast<const char*>(out.data()), static_cast<size_t>(n));
}

void ReadTunnelReply(TByteSource& source, size_t maxLine) {
  THttpResponse reply;
  ReadReplyHead(source, maxLine, reply, [](const THttpResponse&) {});
  if (reply.ResponseCode / 100 != 2) throw ENetProxyRefused(reply.ResponseText, reply.ResponseCode);
}
