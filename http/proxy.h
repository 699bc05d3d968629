#pragma once
#include <optional>
#include <string>

class TByteSource;

// A proxy as the environment names it: "http://[user:password@]host[:port][/]", the scheme
// optional, the port 1080 when left out; user and password percent-decoded.
struct TProxy {
  std::string Host;
  int Port = 1080;
  std::string User;
  std::string Password;
};

// The proxy for a request to host, as common HTTP tools read the environment:
// https_proxy (then HTTPS_PROXY) for https, http_proxy (then HTTP_PROXY) for http, unless
// no_proxy (then NO_PROXY) covers the host. None set: nullopt, and nothing changes. A value
// that names no usable proxy raises ENetProxyError, before anything is sent.
std::optional<TProxy> ProxyFor(bool secure, const std::string& host);

// variable names the setting in the message of ENetProxyError.
TProxy ParseProxy(const std::string& value, const std::string& variable);

// A no_proxy list: host names and suffixes separated by commas (".example.com" and
// "example.com" both cover example.com and its subdomains), "*" for every host.
bool NoProxyCovers(const std::string& list, const std::string& host);

// The Proxy-Authorization value for the proxy's credentials ("Basic ..."); empty without a user.
std::string ProxyAuthorization(const TProxy& proxy);

// Reads the proxy's reply to a CONNECT. Anything but 2xx raises ENetProxyRefused with its
// status line; the reply's header block keeps the reply reader's limits.
void ReadTunnelReply(TByteSource& source, size_t maxLine);
