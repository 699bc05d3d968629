#pragma once
#include <cstdint>
#include <ctime>
#include <memory>
#include <shared_mutex>
#include <string>
#include <vector>

#include "http/headerlist.h"

// A cookie as a Set-Cookie header gives it.
struct TNetscapeCookie {
  virtual ~TNetscapeCookie() = default;
  std::string Name;
  std::string Value;
  std::string Path;
  std::string Expires;  // Internet date text, as received or computed from Max-Age
  std::string Domain;
  bool Secure = false;
  int64_t MaxAge = -1;
  std::string Version;
  std::string Comment;
};

struct TCookieRFC2109 : TNetscapeCookie {};

// A Set-Cookie2 cookie carries a few more attributes.
struct TCookieRFC2965 : TNetscapeCookie {
  std::string CommentURL;
  bool Discard = false;
  std::vector<int> Ports{80};
};

// The cookies one client object was given, sent back on its later requests.
class TCookieStore {
 public:
  // Takes the Set-Cookie and Set-Cookie2 lines of one reply from requestHost.
  void StoreReplyCookies(const std::string& requestHost, const THeaderList& headers);
  // The Cookie header value for a request; empty when nothing matches. path is the
  // directory part of the target ("/a/b/" for "/a/b/x.jsp").
  std::string CookieHeaderFor(const std::string& host, const std::string& path, bool encrypted);
  size_t Count() const;

 private:
  struct TEntry {
    std::string Key;  // domain + path
    std::vector<std::unique_ptr<TNetscapeCookie>> Cookies;
  };
  void Add(std::unique_ptr<TNetscapeCookie> cookie, const std::string& requestHost);
  void RemoveExpired();

  mutable std::shared_mutex lock_;
  std::vector<TEntry> entries_;
};

// True when a cookie for domain may be set by a reply from host.
bool CookieDomainFits(const std::string& domain, const std::string& host);

// Internet dates of HTTP headers. Parsing gives false for text it cannot read.
bool ParseInternetDate(const std::string& text, std::time_t& result);
std::string FormatInternetDate(std::time_t when);
