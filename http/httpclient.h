#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/stream.h"
#include "http/headerlist.h"
#include "http/netexceptions.h"
#include "http/uri.h"

class TCookieStore;
class TNetConnection;

enum class THttpVersion { http10, http11 };

// Switches of the client. optForceEncodeParams: form values are encoded before a POST;
// optKeepOrigProtocol: a POST keeps the object's version instead of going out as 1.0.
enum THttpOption : unsigned { optForceEncodeParams = 1u << 0, optKeepOrigProtocol = 1u << 1 };

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

// What the last reply said, its fields taken from the first header line of each name.
struct THttpResponse {
  std::string ResponseText;  // the status line as received
  int ResponseCode = -1;
  THeaderList RawHeaders;
  std::string Location;
  std::string Server;
  std::string Connection;
  std::string ProxyConnection;
  std::string ContentType = "text/html";
  std::string ContentEncoding;
  std::string ContentLanguage;
  std::string ContentVersion;
  std::string TransferEncoding;
  int64_t ContentLength = -1;
  bool HasContentLength = false;
  std::string Date;
  std::string Expires;
  std::string LastModified;
  std::string Pragma;
  std::vector<std::string> WWWAuthenticate;
  std::vector<std::string> ProxyAuthenticate;
};

// The HTTP/1.0 and 1.1 client every network request goes through. One object belongs to
// one thread; it keeps a connection alive between GETs and the cookies servers set.
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
  // and never answers cannot hold a worker for good.
  int ConnectTimeout = 30000;
  int ReadTimeout = 60000;
  // Longest status or header line accepted; a longer one raises.
  size_t MaxLineLength = 16384;
  // Largest body kept in memory for a text result (HttpGetText, HttpPostForm, the body of
  // a protocol error); a larger one raises "Undefined situation". Stream results have no
  // such limit: they go to the stream as they arrive.
  size_t MaxTextBody = 256u << 20;

  // The cookies servers set on this object; null before the first reply.
  TCookieStore* CookieManager() const { return cookies_.get(); }

 private:
  enum class TMethod { Get, Post };
  void DoRequest(TMethod method, const std::string& url, const std::string& body, TStream& dest, std::string* text);
  void PrepareRequest(TMethod method, const std::string& url, const std::string& body);
  void OpenConnection(TMethod method);
  void WriteRequest(TMethod method, const std::string& body);
  void ReadReplyHeaders();
  void ReadBody(TStream& dest, std::string* text);
  bool ReplyKeepsAlive(THttpVersion sent) const;
  void CloseConnection();

  TUri url_;  // current target: host, port, path
  std::string connHost_, connPort_;
  std::unique_ptr<TNetConnection> conn_;
  bool lastKeepAlive_ = true;
  std::unique_ptr<TCookieStore> cookies_;
};

// The form body of a POST: values encoded in place (when encode is set), lines joined by "&".
std::string BuildFormBody(std::vector<std::string>& lines, bool encode = true);
std::string EncodeFormValue(const std::string& value);
