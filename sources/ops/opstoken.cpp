#include "sources/ops/opstoken.h"

#include <nlohmann/json.hpp>

#include <algorithm>

#include "base/bytes.h"
#include "sources/ops/opserrors.h"
#include "sources/ops/opsreplies.h"
#include "sources/ops/opstexts.h"

namespace {

constexpr size_t kMaxTokenReply = 64 * 1024;
constexpr size_t kMaxTokenBytes = 4096;
constexpr std::chrono::seconds kDefaultLifetime{1199};
constexpr std::chrono::seconds kLongestLifetime{86400};
constexpr std::chrono::seconds kLongestMargin{60};

bool VisibleWord(const std::string& s) {
  return !s.empty() && s.size() <= kMaxTokenBytes &&
         std::all_of(s.begin(), s.end(), [](char c) { return c > 0x20 && c < 0x7F; });
}

std::chrono::seconds Lifetime(const nlohmann::json& value) {
  int64_t seconds = -1;
  if (value.is_string()) {
    if (!ReadDecimal(TrimBytes(value.get<std::string>()), seconds)) seconds = -1;
  } else if (value.is_number_integer()) {
    seconds = value.get<int64_t>();
  } else if (value.is_number_float()) {
    const double d = value.get<double>();
    seconds = d >= 0 && d < 1e9 ? static_cast<int64_t>(d) : -1;
  }
  if (seconds < 0) return kDefaultLifetime;
  return std::clamp(std::chrono::seconds(seconds), std::chrono::seconds(1), kLongestLifetime);
}

// The type as the message may show it: a reply's word, never more than a few letters.
std::string ShownType(const std::string& type) {
  std::string shown;
  for (char c : type.substr(0, 32)) shown += c > 0x20 && c < 0x7F ? c : '?';
  return shown;
}

}  // namespace

TOpsToken ReadTokenReply(const std::string& body) {
  if (body.size() > kMaxTokenReply) throw EOpsTokenError(opstext::kTokenUnreadable);
  const nlohmann::json reply = nlohmann::json::parse(body, nullptr, false);
  if (reply.is_discarded() || !reply.is_object()) throw EOpsTokenError(opstext::kTokenUnreadable);
  const auto token = reply.find("access_token");
  if (token == reply.end() || !token->is_string() || !VisibleWord(token->get<std::string>()))
    throw EOpsTokenError(opstext::kTokenMissing);
  if (const auto type = reply.find("token_type"); type != reply.end()) {
    const std::string name = type->is_string() ? type->get<std::string>() : type->dump();
    if (!SameTextNoCase(name, "BearerToken") && !SameTextNoCase(name, "Bearer"))
      throw EOpsTokenError(opstext::kTokenWrongType + ShownType(name));
  }
  const auto expires = reply.find("expires_in");
  return {token->get<std::string>(), expires == reply.end() ? kDefaultLifetime : Lifetime(*expires)};
}

bool IsInvalidTokenReply(int status, const std::string& body, const std::vector<std::string>& wwwAuthenticate) {
  if (status != 400) return false;
  for (const std::string& challenge : wwwAuthenticate) {
    std::string compact;
    for (char c : challenge)
      if (c != ' ' && c != '\t') compact += c;
    if (compact.find("error=\"invalid_token\"") != std::string::npos) return true;
  }
  return ReadFault(body).message == "invalid_access_token";
}

TOpsTokenHolder::TOpsTokenHolder(TFetch fetch, TClock clock) : fetch_(std::move(fetch)), clock_(std::move(clock)) {}

std::string TOpsTokenHolder::FetchLocked() {
  token_.clear();
  TOpsToken fresh = fetch_();
  const auto margin = std::min(kLongestMargin, fresh.expiresIn / 4);
  renewAt_ = clock_() + (fresh.expiresIn - margin);
  token_ = std::move(fresh.accessToken);
  return token_;
}

std::string TOpsTokenHolder::Token() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!token_.empty() && clock_() < renewAt_) return token_;
  return FetchLocked();
}

std::string TOpsTokenHolder::Renew(const std::string& rejected) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!token_.empty() && token_ != rejected && clock_() < renewAt_) return token_;
  return FetchLocked();
}
