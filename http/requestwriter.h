#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "http/headerlist.h"

enum class THttpVersion { http10, http11 };
enum class THttpMethod { Get, Post };

// The request header fields; they keep their values between calls on one object.
struct THttpRequest {
  std::string Accept = "text/html, */*";
  std::string AcceptCharSet;
  std::string AcceptEncoding;
  std::string AcceptLanguage;
  std::string CacheControl;
  std::string Connection;
  std::string ContentEncoding;
  std::string ContentLanguage;
  int64_t ContentLength = -1;  // -1: no Content-Length header
  std::string ContentType;
  std::string ContentVersion;
  std::string From;
  std::string Host;
  std::string Pragma;
  std::string ProxyConnection;
  std::string Referer;
  std::string UserAgent = "Mozilla/3.0 (compatible; Varnolt)";
  THeaderList CustomHeaders;
};

// The request line, the header lines in their fixed order and the empty line after them,
// each ended by CR LF: what goes out in one piece ahead of a POST's body. cookie is the
// Cookie header's value, proxyAuthorization the Proxy-Authorization one; empty sends none. A
// target or header value holding CR, LF or NUL raises ENetUnsafeRequest.
std::string RequestHead(THttpMethod method, const std::string& target, THttpVersion version,
                        const THttpRequest& request, const std::string& cookie,
                        const std::string& proxyAuthorization = std::string());

// The request that asks a proxy for a tunnel to authority ("host:port"), as RequestHead
// refuses line breaks.
std::string ConnectHead(const std::string& authority, const std::string& userAgent,
                        const std::string& proxyAuthorization);

// The form body of a POST: values encoded in place (when encode is set), lines joined by "&".
std::string BuildFormBody(std::vector<std::string>& lines, bool encode = true);
std::string EncodeFormValue(const std::string& value);
