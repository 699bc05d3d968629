#pragma once
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// The access token of OPS's client-credentials authentication: the reply that carries
// it, the reply that refuses one, and the holder that renews it.

struct TOpsToken {
  std::string accessToken;
  std::chrono::seconds expiresIn{1199};
};

// The token reply (JSON; OPS writes every value as a string). access_token must be a
// visible-ASCII word of at most 4096 bytes (it goes into a header line); token_type, when
// given, "BearerToken" or "Bearer"; expires_in seconds, a string or a number, kept within
// 1 s and a day (1199, OPS's lifetime, when missing or unreadable). Throws EOpsTokenError
// for a reply that is not a JSON object, lacks a usable token or names another type; the
// message never holds the token.
TOpsToken ReadTokenReply(const std::string& body);

// Whether a reply refused the request for its token (unknown, expired or revoked): a 400
// whose error message is invalid_access_token, or whose WWW-Authenticate challenge says
// error="invalid_token". Other 400s (a bad query, a missing parameter) are not.
bool IsInvalidTokenReply(int status, const std::string& body, const std::vector<std::string>& wwwAuthenticate = {});

// The token the jobs of a run share. fetch makes the token request (the caller's
// network code) and throws when it fails.
class TOpsTokenHolder {
 public:
  using TFetch = std::function<TOpsToken()>;
  using TClock = std::function<std::chrono::steady_clock::time_point()>;
  explicit TOpsTokenHolder(TFetch fetch, TClock clock = std::chrono::steady_clock::now);

  // The token to send: the one held while more than its margin is left (a quarter of its
  // lifetime, at most a minute), else a fresh one. One fetch at a time: threads that ask
  // meanwhile wait for it and take its token. A failed fetch throws to the thread that ran
  // it and leaves nothing held; the next call tries again.
  std::string Token();

  // After a reply refused `rejected`: a fresh token, unless another thread has replaced
  // that one already, which is then returned.
  std::string Renew(const std::string& rejected);

 private:
  std::string FetchLocked();

  TFetch fetch_;
  TClock clock_;
  std::mutex mutex_;
  std::string token_;
  std::chrono::steady_clock::time_point renewAt_{};
};
