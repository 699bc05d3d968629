#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/stream.h"
#include "http/netexceptions.h"
#include "http/proxy.h"
#include "http/replyreader.h"
#include "http/requestwriter.h"
#include "http/uri.h"

class TCookieStore;
class TNetConnection;

// Switches of the client. optForceEncodeParams: form values are encoded before a POST;
// optKeepOrigProtocol: a POST keeps the object's version instead of going out as 1.0.
enum THttpOption : unsigned { optForceEncodeParams = 1u << 0, optKeepOrigProtocol = 1u << 1 };

// The HTTP/1.0 and 1.1 client every network request goes through, for http:// and https://
// URLs, directly or through the proxy the environment names (proxy.h). One object belongs to
// one thread; it keeps a connection alive between GETs and the cookies servers set. Objects
// are cheap: the TLS context and the TLS sessions servers gave are shared by all of them.
class THttpClient {
 public:
  THttpClient();
  ~THttpClient();
  THttpClient(const THttpClient&) = delete;
  THttpClient& operator=(const THttpClient&) = delete;

  std::string HttpGetText(const std::string& url);
  // The body goes into the stream as it arrives.
  void HttpGetStream(const std::string& url, TStream& stream);
  // lines are "name=value"; each value is left in its encoded form.
  std::string HttpPostForm(const std::string& url, std::vector<std::string>& lines);

  THttpRequest Request;
  THttpResponse Response;
  THttpVersion ProtocolVersion = THttpVersion::http11;
  unsigned HTTPOptions = optForceEncodeParams;
  bool AllowCookies = true;
  // Limits in ms; 0 waits for good. Bounded by default, so that a server that accepts
  // and never answers cannot hold a worker for good. ConnectTimeout bounds making a
  // connection in all: TCP, a proxy's tunnel, the TLS handshake (ENetConnectTimeout).
  // ReadTimeout bounds a reply's status line and header block in all, and a body's pace:
  // each ReadTimeout must bring 1024 bytes of it (ENetReadTimeout otherwise); over TLS the
  // request's sending keeps the same pace.
  int ConnectTimeout = 30000;
  int ReadTimeout = 60000;
  // Longest status or header line accepted; a longer one raises.
  size_t MaxLineLength = 16384;
  // Largest body kept in memory for a text result (HttpGetText, HttpPostForm, the body of
  // a protocol error); a larger one raises "Undefined situation" (ENetUndefinedSituation).
  // Stream results have no such limit: they go to the stream as they arrive.
  size_t MaxTextBody = 256u << 20;

  // The cookies servers set on this object; null before the first reply.
  TCookieStore* CookieManager() const { return cookies_.get(); }
  // Whether the TLS session of the object's last new connection was resumed.
  bool SessionResumed() const;

 private:
  // The body goes into stream, or is returned as text when stream is null.
  std::string DoRequest(THttpMethod method, const std::string& url, const std::string& body, TStream* stream);
  void PrepareRequest(THttpMethod method, const std::string& url, const std::string& body);
  void OpenConnection(THttpMethod method);
  // The request line and headers; raises ENetUnsafeRequest for CR, LF or NUL in them.
  std::string BuildHead(THttpMethod method);
  void WriteRequest(const std::string& head, const std::string& body);
  void StoreCookies(const THttpResponse& reply);
  bool ReplyKeepsAlive(THttpVersion sent) const;
  void CloseConnection();
  std::string ConnectionKey() const;

  TUri url_;  // current target: host, port, path
  bool secure_ = false;          // the current target is https
  std::optional<TProxy> proxy_;  // the current target's proxy
  // What the open connection goes to: the scheme, the host and port, the proxy. A request
  // to anything else closes it.
  std::string connKey_;
  std::unique_ptr<TNetConnection> conn_;
  bool lastKeepAlive_ = true;
  std::unique_ptr<TCookieStore> cookies_;
};
