#include "http/cookies.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>

#include "base/bytes.h"

namespace {

bool IsIPv4(const std::string& text) {
  in_addr addr;
  return inet_pton(AF_INET, text.c_str(), &addr) == 1;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string TrimBlanks(const std::string& text) {
  size_t b = text.find_first_not_of(' ');
  if (b == std::string::npos) return {};
  size_t e = text.find_last_not_of(' ');
  return text.substr(b, e - b + 1);
}

int64_t ReadMaxAge(const std::string& text) {
  if (text.empty() || text.size() > 18) return -1;
  int64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v;
}

std::vector<int> ReadPorts(std::string text) {
  if (!text.empty() && text.front() == '"') text.erase(0, 1);
  if (!text.empty() && text.back() == '"') text.pop_back();
  std::vector<int> ports;
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    std::string item = TrimBlanks(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (!item.empty() && item.size() < 6 && item.find_first_not_of("0123456789") == std::string::npos)
      ports.push_back(std::stoi(item));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (ports.empty()) ports.push_back(80);
  return ports;
}

// Reads one header value into a cookie.
void ParseCookie(const std::string& header, TNetscapeCookie& cookie, TCookieRFC2965* cookie2) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t semi = header.find(';', start);
    parts.push_back(TrimBlanks(header.substr(start, semi == std::string::npos ? std::string::npos : semi - start)));
    if (semi == std::string::npos) break;
    start = semi + 1;
  }
  size_t eq = parts[0].find('=');
  cookie.Name = parts[0].substr(0, eq);
  cookie.Value = eq == std::string::npos ? std::string() : parts[0].substr(eq + 1);

  // Attributes by upper-cased name, the first of a name counting; flags are the parts
  // without "=".
  std::vector<std::pair<std::string, std::string>> attributes;
  std::vector<std::string> flags;
  for (size_t i = 1; i < parts.size(); ++i) {
    size_t at = parts[i].find('=');
    if (at == std::string::npos)
      flags.push_back(UpperAscii(parts[i]));
    else
      attributes.emplace_back(UpperAscii(parts[i].substr(0, at)), parts[i].substr(at + 1));
  }
  auto find = [&](const char* name) -> const std::string* {
    for (const auto& [n, v] : attributes)
      if (n == name) return &v;
    return nullptr;
  };
  auto flag = [&](const char* name) { return std::find(flags.begin(), flags.end(), name) != flags.end(); };
  if (const std::string* path = find("PATH")) {
    cookie.Path = *path;
    if (!cookie.Path.empty() && cookie.Path.front() == '"') cookie.Path.erase(0, 1);
    if (!cookie.Path.empty() && cookie.Path.back() == '"') cookie.Path.pop_back();
  }
  if (const std::string* expires = find("EXPIRES")) cookie.Expires = *expires;
  if (const std::string* domain = find("DOMAIN")) cookie.Domain = *domain;
  cookie.Secure = flag("SECURE");
  const std::string* maxAge = find("MAX-AGE");
  cookie.MaxAge = maxAge ? ReadMaxAge(*maxAge) : -1;
  if (const std::string* version = find("VERSION")) cookie.Version = *version;
  if (const std::string* comment = find("COMMENT")) cookie.Comment = *comment;
  if (cookie2) {
    if (const std::string* url = find("COMMENTURL")) cookie2->CommentURL = *url;
    cookie2->Discard = flag("DISCARD");
    const std::string* port = find("PORT");
    cookie2->Ports = ReadPorts(port ? *port : std::string());
  }
  if (cookie.Expires.empty() && cookie.MaxAge >= 0) {
    // Past the year 9999 a date can no longer be written or read; a day short of it, so
    // that the local time of any zone (up to 14 hours east) still reads back.
    constexpr std::time_t kLastWritable = 253402300799 - 86400;
    std::time_t now = std::time(nullptr);
    cookie.Expires = FormatInternetDate(cookie.MaxAge > kLastWritable - now ? kLastWritable : now + cookie.MaxAge);
  }
}

const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

int MonthOf(const std::string& token) {
  if (token.size() < 3) return -1;
  for (int m = 0; m < 12; ++m)
    if (SameTextNoCase(token.substr(0, 3), kMonths[m])) return m;
  return -1;
}

bool AllDigits(const std::string& t) { return !t.empty() && t.find_first_not_of("0123456789") == std::string::npos; }

}  // namespace

bool ParseInternetDate(const std::string& text, std::time_t& result) {
  // Tokens split at blanks and commas; "06-Nov-94" splits further at its hyphens.
  std::vector<std::string> tokens;
  std::string current;
  auto flush = [&] {
    if (!current.empty()) tokens.push_back(current);
    current.clear();
  };
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    bool zoneSign = (c == '-' || c == '+') && current.empty();
    if (c == ' ' || c == ',' || c == '\t' || (c == '-' && !zoneSign)) flush();
    else current += c;
  }
  flush();

  int day = -1, month = -1, year = -1, hour = -1, minute = -1, second = -1;
  long offset = 0;
  for (const std::string& t : tokens) {
    if (t.find(':') != std::string::npos) {
      if (hour >= 0 || std::sscanf(t.c_str(), "%2d:%2d:%2d", &hour, &minute, &second) < 2) return false;
      if (second < 0) second = 0;
    } else if ((t[0] == '+' || t[0] == '-') && t.size() == 5 && AllDigits(t.substr(1))) {
      long v = std::stol(t.substr(1));
      offset = (v / 100) * 3600 + (v % 100) * 60;
      if (t[0] == '-') offset = -offset;
    } else if (AllDigits(t)) {
      if (t.size() > 4) return false;
      int v = std::stoi(t);
      if (day < 0 && t.size() <= 2 && v >= 1 && v <= 31) day = v;
      else if (year < 0) year = t.size() <= 2 ? (v < 70 ? 2000 + v : 1900 + v) : v;
      else return false;
    } else if (month < 0 && t.size() <= 9 && MonthOf(t) >= 0) {
      month = MonthOf(t);
    } else {
      // Weekday names and the GMT/UTC zone words carry nothing we need.
      std::string u = UpperAscii(t);
      bool known = u == "GMT" || u == "UTC" || u == "UT" || u == "Z";
      for (const char* d : kDays)
        if (u.compare(0, 3, UpperAscii(d)) == 0) known = true;
      if (!known) return false;
    }
  }
  if (day < 0 || month < 0 || year < 1601 || hour < 0 || hour > 23 || minute < 0 || minute > 59 || second > 60)
    return false;
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  result = timegm(&tm) - offset;
  return true;
}

std::string FormatInternetDate(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  long offset = local.tm_gmtoff / 60;
  char sign = offset < 0 ? '-' : '+';
  if (offset < 0) offset = -offset;
  char out[64];
  std::snprintf(out, sizeof out, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld", kDays[local.tm_wday], local.tm_mday,
                kMonths[local.tm_mon], local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec, sign,
                offset / 60, offset % 60);
  return out;
}

bool CookieDomainFits(const std::string& domain, const std::string& host) {
  if (IsIPv4(host)) return domain == host;
  if (!host.empty() && host[0] == '.') return SameTextNoCase(domain, host);
  if ((domain.empty() || domain[0] != '.') && !IsIPv4(domain)) return EndsWith(host, domain);
  size_t dot = host.find('.');
  return dot != std::string::npos && EndsWith(host.substr(dot), domain);
}

void TCookieStore::StoreReplyCookies(const std::string& requestHost, const THeaderList& headers) {
  for (const std::string& value : headers.AllValues("Set-cookie")) {
    auto cookie = std::make_unique<TCookieRFC2109>();
    ParseCookie(value, *cookie, nullptr);
    Add(std::move(cookie), requestHost);
  }
  for (const std::string& value : headers.AllValues("Set-cookie2")) {
    auto cookie = std::make_unique<TCookieRFC2965>();
    ParseCookie(value, *cookie, cookie.get());
    Add(std::move(cookie), requestHost);
  }
}

void TCookieStore::Add(std::unique_ptr<TNetscapeCookie> cookie, const std::string& requestHost) {
  if (cookie->Domain.empty()) cookie->Domain = requestHost;
  if (!CookieDomainFits(cookie->Domain, requestHost)) return;
  // Too large to be a site's honest state, or impossible to send back on a header line.
  if (cookie->Name.size() + cookie->Value.size() > kMaxCookieBytes) return;
  if ((cookie->Name + cookie->Value).find_first_of(std::string("\r\n\0", 3)) != std::string::npos) return;
  bool hasExpiry = !cookie->Expires.empty();
  std::time_t expiresAt = 0;
  if (hasExpiry && !ParseInternetDate(cookie->Expires, expiresAt)) expiresAt = std::numeric_limits<std::time_t>::min();
  std::string domainKey = UpperAscii(cookie->Domain);
  std::string entryKey = UpperAscii(cookie->Domain + cookie->Path);
  std::string nameKey = UpperAscii(cookie->Name);

  std::unique_lock guard(lock_);
  auto [entry, made] = entries_.try_emplace(entryKey);
  if (made) entry->second.Seq = nextSeq_++;
  std::unique_ptr<TStored>& slot = entry->second.Cookies[nameKey];
  if (slot) {
    // The stored cookie takes over the new one's name, value and attributes in its place.
    slot->Cookie = std::move(cookie);
    slot->HasExpiry = hasExpiry;
    slot->ExpiresAt = expiresAt;
    if (slot->DomainKey != domainKey) {
      std::list<TStored*>& old = domains_[slot->DomainKey];
      old.erase(slot->InDomain);
      if (old.empty()) domains_.erase(slot->DomainKey);
      slot->DomainKey = domainKey;
      std::list<TStored*>& now = domains_[domainKey];
      slot->InDomain = now.insert(now.end(), slot.get());
      if (now.size() > kMaxPerDomain) Remove(*now.front());
    }
    return;
  }
  slot = std::make_unique<TStored>(TStored{std::move(cookie), nextSeq_++, entryKey, domainKey, nameKey, hasExpiry,
                                           expiresAt, &entry->second, {}, {}});
  TStored* added = slot.get();
  added->InOrder = order_.insert(order_.end(), added);
  std::list<TStored*>& domain = domains_[domainKey];
  added->InDomain = domain.insert(domain.end(), added);
  if (domain.size() > kMaxPerDomain) Remove(*domain.front());
  if (order_.size() > kMaxCookies) Remove(*order_.front());
}

// Unlinks and frees a stored cookie; the caller holds the lock exclusively.
void TCookieStore::Remove(TStored& stored) {
  order_.erase(stored.InOrder);
  auto domain = domains_.find(stored.DomainKey);
  domain->second.erase(stored.InDomain);
  if (domain->second.empty()) domains_.erase(domain);
  auto entry = entries_.find(stored.EntryKey);
  entry->second.Cookies.erase(stored.NameKey);  // frees stored
  if (entry->second.Cookies.empty()) entries_.erase(entry);
}

void TCookieStore::RemoveExpired() {
  std::time_t now = std::time(nullptr);
  std::unique_lock guard(lock_);
  for (auto it = order_.begin(); it != order_.end();) {
    TStored& stored = **it++;
    if (stored.HasExpiry && stored.ExpiresAt < now) Remove(stored);
  }
}

std::string TCookieStore::CookieHeaderFor(const std::string& host, const std::string& path, bool encrypted) {
  RemoveExpired();
  std::shared_lock guard(lock_);
  std::string where = UpperAscii(host + path);
  // The scan over the entries is bounded by the store's limit.
  std::vector<std::pair<std::string, const TStored*>> chosen;
  for (const auto& [key, entry] : entries_) {
    if (where.find(key) == std::string::npos) continue;
    for (const auto& [name, stored] : entry.Cookies) {
      const TNetscapeCookie& c = *stored->Cookie;
      if (!c.Path.empty() && path.compare(0, c.Path.size(), c.Path) == 0 && !c.Value.empty() && (!c.Secure || encrypted))
        chosen.emplace_back(UpperAscii(c.Path), stored.get());
    }
  }
  // By path, then entries and their cookies in the order they were made; written from the last.
  std::sort(chosen.begin(), chosen.end(), [](const auto& a, const auto& b) {
    if (a.first != b.first) return a.first < b.first;
    if (a.second->Entry != b.second->Entry) return a.second->Entry->Seq < b.second->Entry->Seq;
    return a.second->Seq < b.second->Seq;
  });
  std::string header;
  for (auto it = chosen.rbegin(); it != chosen.rend(); ++it) {
    if (!header.empty()) header += "; ";
    header += it->second->Cookie->Name + "=" + it->second->Cookie->Value;
  }
  return header;
}

size_t TCookieStore::Count() const {
  std::shared_lock guard(lock_);
  return order_.size();
}
