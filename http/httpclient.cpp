#include "http/httpclient.h"

#include <algorithm>

#include "base/bytes.h"
#include "http/cookies.h"
#include "http/netconnection.h"
#include "http/nettexts.h"

namespace {

constexpr size_t kSendBufferSize = 32768;
// The body of a protocol error is read only for the message; it must come within this
// in all.
constexpr int kErrorBodyMs = 2000;

// Passes a body on to the caller's stream and counts it.
class TCountingStream : public TStream {
 public:
  explicit TCountingStream(TStream& to) : to_(to) {}
  void Write(const char* data, size_t size) override {
    to_.Write(data, size);
    Bytes += static_cast<int64_t>(size);
  }
  int64_t Bytes = 0;

 private:
  TStream& to_;
};

}  // namespace

THttpClient::THttpClient() : conn_(std::make_unique<TNetConnection>()) { url_.Port = "80"; }

THttpClient::~THttpClient() = default;

std::string THttpClient::HttpGetText(const std::string& url) {
  return DoRequest(THttpMethod::Get, url, std::string(), nullptr);
}

void THttpClient::HttpGetStream(const std::string& url, TStream& stream) {
  DoRequest(THttpMethod::Get, url, std::string(), &stream);
}

std::string THttpClient::HttpPostForm(const std::string& url, std::vector<std::string>& lines) {
  std::string body = BuildFormBody(lines, (HTTPOptions & optForceEncodeParams) != 0);
  // Every POST goes out on a new connection, as 1.0 unless told to keep the version;
  // 1.1 comes back only after a normal return.
  bool downgrade = !(HTTPOptions & optKeepOrigProtocol);
  if (downgrade) ProtocolVersion = THttpVersion::http10;
  std::string text = DoRequest(THttpMethod::Post, url, body, nullptr);
  if (downgrade) ProtocolVersion = THttpVersion::http11;
  return text;
}

void THttpClient::CloseConnection() {
  conn_->Close();
  lastKeepAlive_ = false;
}

void THttpClient::PrepareRequest(THttpMethod method, const std::string& url, const std::string& body) {
  TUri uri = ParseUri(url);
  url_.Path = uri.Path;
  url_.Document = uri.Document;
  url_.Params = uri.Params;
  url_.Bookmark = uri.Bookmark;
  if (!uri.Host.empty()) url_.Host = uri.Host;
  url_.Protocol = uri.Protocol.empty() ? std::string("http") : uri.Protocol;
  if (!uri.Port.empty())
    url_.Port = uri.Port;
  else if (SameTextNoCase(url_.Protocol, "http"))
    url_.Port = "80";
  else if (SameTextNoCase(url_.Protocol, "https"))
    url_.Port = "443";
  else if (url_.Port.empty())
    throw ENetUnknownProtocol();

  Request.ContentLength = method == THttpMethod::Post ? static_cast<int64_t>(body.size()) : -1;
  Request.Host = url_.Port == "80" ? url_.Host : url_.Host + ":" + url_.Port;
  secure_ = SameTextNoCase(url_.Protocol, "https");
  proxy_ = ProxyFor(secure_, url_.Host);
  if (conn_->Connected() && ConnectionKey() != connKey_) CloseConnection();
  if (ProtocolVersion == THttpVersion::http10 && Request.Connection.empty()) Request.Connection = "keep-alive";
}

void THttpClient::OpenConnection(THttpMethod method) {
  if (method == THttpMethod::Post || !lastKeepAlive_) conn_->Close();
  if (conn_->Connected() && conn_->StillUsable()) return;
  int port = -1;
  int64_t value;
  if (ReadDecimal(url_.Port, value) && value >= 0 && value <= 65535) port = static_cast<int>(value);
  if (port < 0) throw ENetSocketError(10049);
  TConnectPlan plan;
  plan.Host = proxy_ ? proxy_->Host : url_.Host;
  plan.Port = proxy_ ? proxy_->Port : port;
  if (secure_) {
    if (proxy_) plan.TunnelHead = ConnectHead(url_.Host + ":" + url_.Port, Request.UserAgent, ProxyAuthorization(*proxy_));
    plan.TlsHost = url_.Host;
    plan.TlsPort = url_.Port;
  }
  plan.TimeoutMs = ConnectTimeout;
  plan.MaxLine = MaxLineLength;
  conn_->Open(plan);
  connKey_ = ConnectionKey();
}

std::string THttpClient::ConnectionKey() const {
  std::string key = (secure_ ? "https://" : "http://") + LowerAscii(url_.Host) + ":" + url_.Port;
  if (proxy_) key += " via " + LowerAscii(proxy_->Host) + ":" + std::to_string(proxy_->Port) + " " + proxy_->User;
  return key;
}

bool THttpClient::SessionResumed() const { return conn_->Resumed(); }

std::string THttpClient::BuildHead(THttpMethod method) {
  std::string cookie = cookies_ ? cookies_->CookieHeaderFor(url_.Host, url_.Path, secure_) : std::string();
  std::string target = url_.Path + url_.Document + url_.Params;
  // A proxy that carries plain requests takes them in absolute form; https goes through a
  // tunnel and keeps the plain target.
  if (proxy_ && !secure_)
    return RequestHead(method, "http://" + Request.Host + target, ProtocolVersion, Request, cookie,
                       ProxyAuthorization(*proxy_));
  return RequestHead(method, target, ProtocolVersion, Request, cookie);
}

void THttpClient::WriteRequest(const std::string& head, const std::string& body) {
  conn_->Send(head);
  for (size_t at = 0; at < body.size(); at += kSendBufferSize)
    conn_->Send(body.data() + at, std::min(kSendBufferSize, body.size() - at));
}

void THttpClient::StoreCookies(const THttpResponse& reply) {
  if (!AllowCookies) return;
  if (!cookies_) cookies_ = std::make_unique<TCookieStore>();
  cookies_->StoreReplyCookies(url_.Host, reply.RawHeaders);
}

bool THttpClient::ReplyKeepsAlive(THttpVersion sent) const {
  if (!conn_->Connected()) return false;
  std::string connection = TrimBytes(Response.Connection);
  std::string proxy = TrimBytes(Response.ProxyConnection);
  if (sent == THttpVersion::http10) return SameTextNoCase(connection, "keep-alive") || SameTextNoCase(proxy, "keep-alive");
  return !SameTextNoCase(connection, "close") && !SameTextNoCase(proxy, "close");
}

std::string THttpClient::DoRequest(THttpMethod method, const std::string& url, const std::string& body,
                                   TStream* stream) {
  PrepareRequest(method, url, body);
  // Built before connecting, so that a refused request sends nothing at all.
  const std::string head = BuildHead(method);
  try {
    OpenConnection(method);
    conn_->BoundPace(ReadTimeout);
    WriteRequest(head, body);
    conn_->BoundWhole(ReadTimeout);
    ReadReplyHead(*conn_, MaxLineLength, Response, [this](const THttpResponse& reply) { StoreCookies(reply); });
    THttpVersion sent = ProtocolVersion;
    int code = Response.ResponseCode;
    int d = code / 100;
    bool redirect = (d == 3 && code != 304) || !Response.Location.empty();
    if (redirect || d != 2) {
      conn_->BoundWhole(kErrorBodyMs);
      std::string scratch = ReadReplyText(*conn_, Response, MaxLineLength, MaxTextBody);
      lastKeepAlive_ = ReplyKeepsAlive(sent);
      if (!lastKeepAlive_) conn_->Close();
      ENetHTTPProtocolException failure(Response.ResponseText, code, std::move(scratch));
      failure.RetryAfter = Response.RawHeaders.Values("Retry-After");
      throw failure;
    }
    if (!conn_->Connected()) throw ENetUndefinedSituation(ENetUndefinedSituation::TReason::ClosedAfterHeaders);
    std::string text;
    conn_->BoundPace(ReadTimeout);
    int64_t received = 0;
    if (code != 204) {
      if (stream) {
        TCountingStream counted(*stream);
        ReadReplyBody(*conn_, Response, MaxLineLength, counted);
        received = counted.Bytes;
      } else {
        text = ReadReplyText(*conn_, Response, MaxLineLength, MaxTextBody);
        received = static_cast<int64_t>(text.size());
      }
    }
    // Over TLS a close only ends a body soundly after all of it: the whole Content-Length,
    // or, for a body that runs to the close, the server's close_notify.
    if (secure_ && ((Response.ContentLength > 0 && received < Response.ContentLength) || conn_->EndedUncleanly()))
      throw ENetTlsTruncated(nettext::kWith + url_.Host + ":" + url_.Port + nettext::kTruncated);
    lastKeepAlive_ = ReplyKeepsAlive(sent);
    if (!lastKeepAlive_) conn_->Close();
    return text;
  } catch (const ENetHTTPProtocolException&) {
    throw;
  } catch (...) {
    // Whatever is left of a broken exchange must not be read as the next reply.
    CloseConnection();
    throw;
  }
}
