#include "http/httpclient.h"

#include <algorithm>
#include <climits>

#include "base/bytes.h"
#include "http/cookies.h"
#include "http/netconnection.h"

namespace {

constexpr size_t kSendBufferSize = 32768;
// A text body announced larger than this is grown as it arrives, so a lying
// Content-Length cannot make us reserve memory the server never sends.
constexpr int64_t kMaxReserve = 16 << 20;
// An endless header block (or run of interim replies) must end like an endless line
// does, not fill memory or hold the caller: at most this many lines' worth of bytes.
constexpr size_t kMaxHeaderBlockLines = 64;

// Appends a body to a text result, up to a limit: a server that never stops sending must
// not fill memory.
class TTextSink : public TStream {
 public:
  TTextSink(std::string& text, size_t limit) : text_(text), limit_(limit) {}
  void Write(const char* data, size_t size) override {
    if (size > limit_ - std::min(limit_, text_.size())) throw ENetException("Undefined situation");
    text_.append(data, size);
  }

 private:
  std::string& text_;
  size_t limit_;
};

// A chunk size: hex digits up to the first space; unreadable counts as 0. A size beyond
// any real body saturates, so the read ends at the server's close instead of wrapping.
int64_t ReadChunkSize(const std::string& line) {
  std::string text = TrimBytes(line.substr(0, line.find(' ')));
  int64_t v = 0;
  if (text.empty()) return 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return 0;
    v = v > (INT64_MAX >> 4) ? INT64_MAX : (v << 4) + digit;
  }
  return v;
}

int StatusCodeOf(const std::string& statusLine) {
  size_t space = statusLine.find(' ');
  if (space == std::string::npos) return -1;
  std::string rest = TrimBytes(statusLine.substr(space + 1));
  int64_t code;
  if (!ReadDecimal(rest.substr(0, rest.find(' ')), code) || code < INT_MIN || code > INT_MAX) return -1;
  return static_cast<int>(code);
}

// Restores the read limit whatever way the protocol-error path ends.
class TReadTimeoutScope {
 public:
  TReadTimeoutScope(TNetConnection& conn, int ms) : conn_(conn), saved_(conn.ReadTimeoutMs) { conn.ReadTimeoutMs = ms; }
  ~TReadTimeoutScope() { conn_.ReadTimeoutMs = saved_; }

 private:
  TNetConnection& conn_;
  int saved_;
};

}  // namespace

std::string EncodeFormValue(const std::string& value) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(value.size() * 3);
  for (char ch : value) {
    unsigned char c = static_cast<unsigned char>(ch);
    bool encode = c <= 0x20 || c >= 0x81 || c == '#' || c == '%' || c == '*' || c == '<' || c == '>' ||
                  c == '[' || c == ']';
    if (encode) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += ch;
    }
  }
  return out;
}

std::string BuildFormBody(std::vector<std::string>& lines, bool encode) {
  std::string text;
  for (std::string& line : lines) {
    size_t eq = line.find('=');
    if (encode && eq != std::string::npos && eq + 1 < line.size()) line = line.substr(0, eq + 1) + EncodeFormValue(line.substr(eq + 1));
    text += line;
    text += "\r\n";
  }
  text = TrimBytes(text);
  if (lines.size() < 2) return text;
  std::string body;
  body.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      body += '&';
      ++i;
    } else {
      body += text[i];
    }
  }
  return body;
}

THttpClient::THttpClient() : conn_(std::make_unique<TNetConnection>()) { url_.Port = "80"; }

THttpClient::~THttpClient() = default;

std::string THttpClient::HttpGetText(const std::string& url) {
  std::string text;
  TTextSink sink(text, MaxTextBody);
  DoRequest(TMethod::Get, url, std::string(), sink, &text);
  return text;
}

void THttpClient::HttpGetStream(const std::string& url, TStream& stream) {
  DoRequest(TMethod::Get, url, std::string(), stream, nullptr);
}

std::string THttpClient::HttpPostForm(const std::string& url, std::vector<std::string>& lines) {
  std::string body = BuildFormBody(lines, (HTTPOptions & optForceEncodeParams) != 0);
  // Every POST goes out on a new connection, as 1.0 unless told to keep the version;
  // 1.1 comes back only after a normal return.
  bool downgrade = !(HTTPOptions & optKeepOrigProtocol);
  if (downgrade) ProtocolVersion = THttpVersion::http10;
  std::string text;
  TTextSink sink(text, MaxTextBody);
  DoRequest(TMethod::Post, url, body, sink, &text);
  if (downgrade) ProtocolVersion = THttpVersion::http11;
  return text;
}

void THttpClient::CloseConnection() {
  conn_->Close();
  lastKeepAlive_ = false;
}

void THttpClient::PrepareRequest(TMethod method, const std::string& url, const std::string& body) {
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

  Request.ContentLength = method == TMethod::Post ? static_cast<int64_t>(body.size()) : -1;
  Request.Host = url_.Port == "80" ? url_.Host : url_.Host + ":" + url_.Port;
  if (conn_->Connected() && (!SameTextNoCase(url_.Host, connHost_) || url_.Port != connPort_)) CloseConnection();
  if (SameTextNoCase(url_.Protocol, "https")) throw ENetTransportInvalid();
  if (ProtocolVersion == THttpVersion::http10 && Request.Connection.empty()) Request.Connection = "keep-alive";
}

void THttpClient::OpenConnection(TMethod method) {
  if (method == TMethod::Post || !lastKeepAlive_) conn_->Close();
  if (conn_->Connected() && conn_->StillUsable()) return;
  int port = -1;
  int64_t value;
  if (ReadDecimal(url_.Port, value) && value >= 0 && value <= 65535) port = static_cast<int>(value);
  if (port < 0) throw ENetSocketError(10049);
  conn_->Connect(url_.Host, port, ConnectTimeout);
  connHost_ = url_.Host;
  connPort_ = url_.Port;
}

void THttpClient::WriteRequest(TMethod method, const std::string& body) {
  const THttpRequest& r = Request;
  THeaderList h;
  h.SetValue("Connection", r.Connection);
  h.SetValue("Content-Version", r.ContentVersion);
  h.SetValue("Content-Encoding", r.ContentEncoding);
  h.SetValue("Content-Language", r.ContentLanguage);
  std::string contentType = r.ContentType;
  if (method == TMethod::Post && (contentType.empty() || SameTextNoCase(contentType, "text/html")))
    contentType = "application/x-www-form-urlencoded";
  h.SetValue("Content-Type", contentType);
  if (r.ContentLength >= 0) h.SetValue("Content-Length", std::to_string(r.ContentLength));
  h.SetValue("Cache-control", r.CacheControl);
  h.SetValue("Pragma", r.Pragma);
  for (const std::string& line : r.CustomHeaders.Lines) h.Lines.push_back(line);
  h.SetValue("Proxy-Connection", r.ProxyConnection);
  h.SetValue("Host", r.Host);
  h.SetValue("Accept", r.Accept);
  h.SetValue("Accept-Charset", r.AcceptCharSet);
  h.SetValue("Accept-Encoding", r.AcceptEncoding);
  h.SetValue("Accept-Language", r.AcceptLanguage);
  h.SetValue("From", r.From);
  h.SetValue("Referer", r.Referer);
  h.SetValue("User-Agent", r.UserAgent);
  if (cookies_) h.SetValue("Cookie", cookies_->CookieHeaderFor(url_.Host, url_.Path, false));

  std::string head = (method == TMethod::Post ? "POST " : "GET ") + url_.Path + url_.Document + url_.Params +
                     (ProtocolVersion == THttpVersion::http10 ? " HTTP/1.0\r\n" : " HTTP/1.1\r\n");
  head += h.WireText();
  head += "\r\n";
  conn_->Send(head);
  for (size_t at = 0; at < body.size(); at += kSendBufferSize)
    conn_->Send(body.data() + at, std::min(kSendBufferSize, body.size() - at));
}

void THttpClient::ReadReplyHeaders() {
  // Interim replies count against the same limit, so an endless run of them ends too.
  size_t blockSize = 0;
  do {
    Response = THttpResponse();
    Response.ResponseText = conn_->ReadLn();
    Response.ResponseCode = StatusCodeOf(Response.ResponseText);
    blockSize += Response.ResponseText.size() + 4;
    if (blockSize > kMaxHeaderBlockLines * MaxLineLength) throw ENetMaxLineLengthExceeded();
    // A close after the first header line ends the header block; before it, it is an error.
    for (bool first = true;; first = false) {
      std::string line;
      try {
        line = conn_->ReadLn();
      } catch (const ENetConnClosedGracefully&) {
        if (first) throw;
        conn_->Close();
        break;
      }
      if (line.empty()) break;
      blockSize += line.size() + 2;
      if (blockSize > kMaxHeaderBlockLines * MaxLineLength) throw ENetMaxLineLengthExceeded();
      Response.RawHeaders.Lines.push_back(line);
    }
    const THeaderList& h = Response.RawHeaders;
    Response.Location = h.Values("Location");
    Response.Server = h.Values("Server");
    Response.Connection = h.Values("Connection");
    Response.ProxyConnection = h.Values("Proxy-Connection");
    if (h.Has("Content-Type")) Response.ContentType = h.Values("Content-Type");
    Response.ContentEncoding = h.Values("Content-Encoding");
    Response.ContentLanguage = h.Values("Content-Language");
    Response.ContentVersion = h.Values("Content-Version");
    Response.TransferEncoding = h.Values("Transfer-Encoding");
    int64_t length = -1;
    Response.HasContentLength = h.Has("Content-Length") && ReadDecimal(h.Values("Content-Length"), length);
    Response.ContentLength = Response.HasContentLength ? length : -1;
    Response.Date = h.Values("Date");
    Response.Expires = h.Values("Expires");
    Response.LastModified = h.Values("Last-Modified");
    Response.Pragma = h.Values("Pragma");
    Response.WWWAuthenticate = h.AllValues("WWW-Authenticate");
    Response.ProxyAuthenticate = h.AllValues("Proxy-Authenticate");
    if (AllowCookies) {
      if (!cookies_) cookies_ = std::make_unique<TCookieStore>();
      cookies_->StoreReplyCookies(url_.Host, h);
    }
  } while (Response.ResponseCode == 100);
}

void THttpClient::ReadBody(TStream& dest, std::string* text) {
  // A negative length tells nowhere where the body ends: reading nothing would leave the
  // body to be read as the next reply, reading to the close would trust a broken reply.
  // A text result announced beyond its limit ends at once instead of filling memory.
  if (Response.HasContentLength &&
      (Response.ContentLength < 0 || (text && static_cast<uint64_t>(Response.ContentLength) > MaxTextBody)))
    throw ENetException("Undefined situation");
  if (Response.ContentLength > 0) {
    if (text) text->reserve(text->size() + static_cast<size_t>(std::min(Response.ContentLength, kMaxReserve)));
    // A short body (the server closed early) is kept as it came, without error.
    conn_->ReadCounted(dest, Response.ContentLength);
  } else if (Response.TransferEncoding.find("chunked") != std::string::npos) {
    for (int64_t size = ReadChunkSize(conn_->ReadLn()); size > 0; size = ReadChunkSize(conn_->ReadLn())) {
      if (conn_->ReadCounted(dest, size) < size) throw ENetConnClosedGracefully();
      conn_->ReadLn();
    }
    conn_->ReadLn();
  } else if (!Response.HasContentLength) {
    conn_->ReadUntilClose(dest);
  }
}

bool THttpClient::ReplyKeepsAlive(THttpVersion sent) const {
  if (!conn_->Connected()) return false;
  std::string connection = TrimBytes(Response.Connection);
  std::string proxy = TrimBytes(Response.ProxyConnection);
  if (sent == THttpVersion::http10) return SameTextNoCase(connection, "keep-alive") || SameTextNoCase(proxy, "keep-alive");
  return !SameTextNoCase(connection, "close") && !SameTextNoCase(proxy, "close");
}

void THttpClient::DoRequest(TMethod method, const std::string& url, const std::string& body, TStream& dest,
                            std::string* text) {
  PrepareRequest(method, url, body);
  try {
    OpenConnection(method);
    conn_->ReadTimeoutMs = ReadTimeout;
    conn_->MaxLineLength = MaxLineLength;
    WriteRequest(method, body);
    ReadReplyHeaders();
    THttpVersion sent = ProtocolVersion;
    int code = Response.ResponseCode;
    int d = code / 100;
    bool redirect = (d == 3 && code != 304) || !Response.Location.empty();
    if (redirect || d != 2) {
      std::string scratch;
      {
        TTextSink sink(scratch, MaxTextBody);
        TReadTimeoutScope limit(*conn_, 2000);
        ReadBody(sink, &scratch);
      }
      lastKeepAlive_ = ReplyKeepsAlive(sent);
      if (!lastKeepAlive_) conn_->Close();
      throw ENetHTTPProtocolException(Response.ResponseText, code, std::move(scratch));
    }
    if (!conn_->Connected()) throw ENetException("Undefined situation");
    if (code != 204) ReadBody(dest, text);
    lastKeepAlive_ = ReplyKeepsAlive(sent);
    if (!lastKeepAlive_) conn_->Close();
  } catch (const ENetHTTPProtocolException&) {
    throw;
  } catch (...) {
    // Whatever is left of a broken exchange must not be read as the next reply.
    CloseConnection();
    throw;
  }
}
