#include "sources/ops/opsclient.h"

#include <openssl/evp.h>

#include <vector>

#include "base/gbk.h"
#include "http/httpclient.h"
#include "sources/ops/opspaths.h"
#include "sources/ops/opsreplies.h"
#include "sources/ops/opstexts.h"
#include "sources/sourcetexts.h"

using namespace opswiretext;

namespace {

// A black service may stay black past its Retry-After; past this many refusals in a row
// the request fails instead of waiting for good.
constexpr int kMostBlackWaits = 5;
// The quota's byte counts go to the progress lines every this many replies.
constexpr int kQuotaEvery = 50;

std::string BasicAuthorization(const TOpsCredentials& c) {
  const std::string plain = c.key + ":" + c.secret;
  std::vector<unsigned char> out(4 * ((plain.size() + 2) / 3) + 1);
  int n = EVP_EncodeBlock(out.data(), reinterpret_cast<const unsigned char*>(plain.data()), int(plain.size()));
  return "Basic " + std::string(reinterpret_cast<const char*>(out.data()), size_t(n));
}

std::string Joined(const std::vector<std::string>& values) {
  std::string all;
  for (const std::string& v : values) all += (all.empty() ? "" : ", ") + v;
  return all;
}

// What a refusal says, for a message: the status and OPS's own code and message (never
// the request, which may carry nothing secret but is of no use to a reader either).
std::string RefusalText(int status, const std::string& body) {
  const TOpsFault fault = ReadFault(body);
  std::string detail = fault.code;
  if (!fault.message.empty()) detail += (detail.empty() ? "" : " ") + fault.message;
  return kRefusedA + std::to_string(status) + kRefusedB + (detail.empty() ? "-" : Utf8ToGbkWithReferences(detail));
}

struct TSent {
  int status = 200;
  std::string body;
};

// One GET or POST; a non-2xx reply comes back as it is, with its headers in client.Response.
TSent Send(THttpClient& client, const std::string& url, const std::string* form) {
  TSent sent;
  client.MaxTextBody = kOpsMaxReplyBytes;
  try {
    if (form) {
      std::vector<std::string> lines = {*form};
      sent.body = client.HttpPostForm(url, lines);
    } else {
      sent.body = client.HttpGetText(url);
    }
  } catch (const ENetHTTPProtocolException& e) {
    sent.status = e.StatusCode;
    sent.body = e.ResponseBody;
  } catch (const ENetUndefinedSituation& e) {
    if (e.Reason == ENetUndefinedSituation::TReason::ClosedAfterHeaders) throw;
    // Larger than any reply OPS gives: broken or hostile, and never read into memory.
    throw EOpsReplyError(opstext::kReplyTooLarge + std::to_string(kOpsMaxReplyBytes >> 20) + " MB");
  }
  return sent;
}

}  // namespace

TOpsConnection::TOpsConnection(std::string host, TOpsCredentials credentials, TProgress progress)
    : host_(std::move(host)),
      credentials_(std::move(credentials)),
      progress_(std::move(progress)),
      tokens_([this] {
        THttpClient client;
        pacer_.Acquire(TOpsService::Other);
        return FetchToken(client, host_, credentials_);
      }) {}

TOpsToken TOpsConnection::FetchToken(THttpClient& client, const std::string& host, const TOpsCredentials& c) {
  client.AllowCookies = false;
  client.Request.Accept = "application/json";
  client.Request.ContentType = "application/x-www-form-urlencoded";
  client.Request.CustomHeaders.SetValue("Authorization", BasicAuthorization(c));
  const std::string form = "grant_type=client_credentials";
  client.HTTPOptions &= ~unsigned(optForceEncodeParams);
  TSent sent = Send(client, opspaths::Url(host, opspaths::Token()), &form);
  client.Request.CustomHeaders.SetValue("Authorization", "");
  if (sent.status / 100 != 2) {
    const std::string refusal = kTokenRefused + std::to_string(sent.status) + kRefusedB +
                                Utf8ToGbkWithReferences(ReadFault(sent.body).message);
    // OPS answers 503 now and then: a run's retries must take it as any other request's.
    if (sent.status >= 500 || sent.status == 408) throw EOpsTokenUnavailable(refusal, sent.status, sent.body);
    throw EOpsTokenError(refusal);
  }
  return ReadTokenReply(sent.body);
}

TOpsReply TOpsConnection::Get(THttpClient& client, const std::string& path, const std::string& accept) {
  if (std::string reason = StopReason(); !reason.empty()) throw EOpsStopped(reason);
  const TOpsService service = ServiceOfPath(path);
  const std::string url = opspaths::Url(host_, path);
  bool renewed = false;
  int blackWaits = 0;
  for (;;) {
    pacer_.Acquire(service, [&](std::chrono::milliseconds wait) {
      if (wait >= std::chrono::seconds(2) && progress_)
        progress_(kWaitA + std::string(ServiceName(service)) + kWaitB +
                  std::to_string((wait.count() + 999) / 1000) + kWaitC);
    });
    const std::string token = tokens_.Token();
    client.AllowCookies = false;
    client.Request.Accept = accept;
    client.Request.CustomHeaders.SetValue("Authorization", "Bearer " + token);
    TSent sent = Send(client, url, nullptr);
    client.Request.CustomHeaders.SetValue("Authorization", "");
    const THeaderList& headers = client.Response.RawHeaders;
    const TOpsThrottling throttling = ReadThrottlingControl(Joined(headers.AllValues("X-Throttling-Control")));
    const int64_t retryAfter = ReadRetryAfterMs(headers.Values("Retry-After"));
    const bool black = throttling.Of(service).colour == TOpsColour::Black;
    const bool refused = sent.status == 429 || (sent.status == 403 && black) ||
                         (black && retryAfter >= 0 && sent.status / 100 != 2);
    const TOpsRejection rejection =
        sent.status == 403 ? ReadRejectionReason(headers.Values("X-Rejection-Reason")) : TOpsRejection::None;
    pacer_.Observe(service, throttling, retryAfter, refused && rejection == TOpsRejection::None);
    ObserveQuota(client);

    if (rejection != TOpsRejection::None) {
      const std::string reason = rejection == TOpsRejection::HourlyQuota   ? std::string(kQuotaHour)
                                 : rejection == TOpsRejection::WeeklyQuota ? std::string(kQuotaWeek)
                                                                           : kRejectedOther +
                                                                                 Utf8ToGbkWithReferences(headers.Values("X-Rejection-Reason")) +
                                                                                 kRejectedOtherTail;
      Stop(reason);
      throw EOpsStopped(reason);
    }
    if (refused) {
      if (++blackWaits > kMostBlackWaits) throw EOpsError(kStillBlack);
      continue;  // the pacer holds the next attempt until Retry-After has passed
    }
    if (!renewed && IsInvalidTokenReply(sent.status, sent.body, client.Response.WWWAuthenticate)) {
      tokens_.Renew(token);
      renewed = true;
      continue;
    }
    if (sent.status / 100 == 2 || sent.status == 404) return {sent.status, std::move(sent.body), client.Response.ContentType};
    if (sent.status == 403) {
      // A refusal of this user (a blocked account, a robot suspected): every further request
      // would meet it too, so the run ends here as for a quota.
      const std::string reason = RefusalText(sent.status, sent.body);
      Stop(reason);
      throw EOpsStopped(reason);
    }
    if (sent.status >= 500 || sent.status == 408) {
      // Through the worker's retries, at their own pace: OPS's Retry-After is in ms, theirs in s.
      throw ENetHTTPProtocolException(client.Response.ResponseText, sent.status, "");
    }
    throw EOpsError(RefusalText(sent.status, sent.body));
  }
}

void TOpsConnection::ObserveQuota(const THttpClient& client) {
  if (++replies_ % kQuotaEvery != 0 || !progress_) return;
  const THeaderList& h = client.Response.RawHeaders;
  const TOpsQuota quota =
      ReadQuotaHeaders(h.Values("X-IndividualQuotaPerHour-Used"), h.Values("X-RegisteredQuotaPerWeek-Used"));
  if (quota.hourUsed < 0 && quota.weekUsed < 0) return;
  auto mb = [](int64_t bytes) {
    if (bytes < 0) return std::string("-");
    const int64_t tenths = (bytes * 10 + (1 << 19)) >> 20;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
  };
  progress_(kQuotaA + mb(quota.hourUsed) + kQuotaB + mb(quota.weekUsed) + kQuotaC);
}

void TOpsConnection::Stop(const std::string& reason) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (stopReason_.empty()) stopReason_ = reason;
}

std::string TOpsConnection::StopReason() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return stopReason_;
}
