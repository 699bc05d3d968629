#pragma once
// The requests of one OPS run over HTTPS: every job of the run shares one TOpsConnection,
// and with it the token and the pace of each service. Messages never hold the key, the
// secret or a token.
#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "http/netexceptions.h"
#include "sources/ops/opserrors.h"
#include "sources/ops/opsthrottle.h"
#include "sources/ops/opstoken.h"
#include "sources/opsaccount.h"
#include "sources/source.h"

class THttpClient;


// OPS refused to serve this user any further (a used-up quota, a blocked account): the run
// ends; what it finished stays.
class EOpsStopped : public EOpsError {
 public:
  using EOpsError::EOpsError;
};

// The credentials are missing: nothing can be asked.
class EOpsNoCredentials : public EOpsError {
 public:
  using EOpsError::EOpsError;
};

// The token service is busy or failed for now (a 5xx or 408 reply): a failure that may pass,
// so a run's retries take it as they take any other request's; the message is the refusal's.
class EOpsTokenUnavailable : public ENetHTTPProtocolException {
 public:
  using ENetHTTPProtocolException::ENetHTTPProtocolException;
};

// A reply OPS gave: 2xx, or 404 (no hits, no such record, no such page).
struct TOpsReply {
  int status = 0;
  std::string body;
  std::string contentType;
};

// Text replies are bounded well below the HTTP client's own limit: an OPS reply that
// large is hostile or broken.
constexpr size_t kOpsMaxReplyBytes = 16u << 20;

class TOpsConnection {
 public:
  // progress hears the waits and, now and then, the quota used; may be empty.
  TOpsConnection(std::string host, TOpsCredentials credentials, TProgress progress);

  // GETs path (below /3.2/) with the job's client: paced per service, with the run's
  // token (renewed once and the request sent again when OPS calls it invalid), waiting
  // out a black service. Returns 2xx and 404 replies. Throws EOpsStopped for a quota or
  // account refusal, ENetHTTPProtocolException for 5xx and 408 (the worker's retries
  // take them), EOpsError for other refusals, ENetException for the connection.
  TOpsReply Get(THttpClient& client, const std::string& path, const std::string& accept);

  // Why OPS stopped serving this run; "" while it serves.
  std::string StopReason() const;

  // The token request (POST, Basic authentication); its reply's token. Throws
  // EOpsTokenUnavailable for 5xx and 408, EOpsError for other refusals.
  static TOpsToken FetchToken(THttpClient& client, const std::string& host, const TOpsCredentials& credentials);

 private:
  void ObserveQuota(const THttpClient& client);
  void Stop(const std::string& reason);

  std::string host_;
  TOpsCredentials credentials_;
  TProgress progress_;
  TOpsPacer pacer_;
  TOpsTokenHolder tokens_;
  mutable std::mutex mutex_;
  std::string stopReason_;
  std::atomic<int> replies_{0};
};
