#pragma once
#include <cstdint>
#include <ctime>
#include <list>
#include <memory>
#include <shared_mutex>
#include <string>
#include <unordered_map>
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

// The cookies one client object was given, sent back on its later requests. Bounded, so
// that a reply of thousands of Set-Cookie lines costs little and a run's page client does
// not grow: a domain keeps its newest kMaxPerDomain cookies and the store its newest
// kMaxCookies; a cookie whose name and value exceed kMaxCookieBytes, or hold CR, LF or NUL
// (they could not be sent back), is ignored. Adding and finding a cookie go by hash.
class TCookieStore {
 public:
  static constexpr size_t kMaxPerDomain = 180;
  static constexpr size_t kMaxCookies = 3000;
  static constexpr size_t kMaxCookieBytes = 4096;

  TCookieStore() = default;
  TCookieStore(const TCookieStore&) = delete;
  TCookieStore& operator=(const TCookieStore&) = delete;

  // Takes the Set-Cookie and Set-Cookie2 lines of one reply from requestHost.
  void StoreReplyCookies(const std::string& requestHost, const THeaderList& headers);
  // The Cookie header value for a request; empty when nothing matches. path is the
  // directory part of the target ("/a/b/" for "/a/b/x.jsp").
  std::string CookieHeaderFor(const std::string& host, const std::string& path, bool encrypted);
  size_t Count() const;

 private:
  struct TEntry;
  struct TStored {
    std::unique_ptr<TNetscapeCookie> Cookie;
    uint64_t Seq = 0;  // order of storing; a replaced cookie keeps its place
    std::string EntryKey, DomainKey, NameKey;  // upper-cased
    bool HasExpiry = false;
    std::time_t ExpiresAt = 0;  // read once when stored; unreadable text counts as long past
    const TEntry* Entry = nullptr;
    std::list<TStored*>::iterator InOrder, InDomain;
  };
  struct TEntry {
    uint64_t Seq = 0;  // order of making; cookies of equal paths go out by entry, then by cookie
    std::unordered_map<std::string, std::unique_ptr<TStored>> Cookies;
  };
  void Add(std::unique_ptr<TNetscapeCookie> cookie, const std::string& requestHost);
  void Remove(TStored& stored);
  void RemoveExpired();

  mutable std::shared_mutex lock_;
  uint64_t nextSeq_ = 0;
  // By upper-cased domain + path, each entry's cookies by upper-cased name; they own them.
  std::unordered_map<std::string, TEntry> entries_;
  // The store's cookies and each domain's, oldest first.
  std::list<TStored*> order_;
  std::unordered_map<std::string, std::list<TStored*>> domains_;
};

// True when a cookie for domain may be set by a reply from host.
bool CookieDomainFits(const std::string& domain, const std::string& host);

// Internet dates of HTTP headers. Parsing gives false for text it cannot read.
bool ParseInternetDate(const std::string& text, std::time_t& result);
std::string FormatInternetDate(std::time_t when);
