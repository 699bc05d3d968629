#include "http/requestwriter.h"

#include "base/bytes.h"
#include "http/netexceptions.h"

namespace {

// Page text reaches the target (a record link, a page address) and the Host field; a line
// break in it would let the page write request lines of its own.
void RefuseLineBreaks(const std::string& text) {
  if (text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) throw ENetUnsafeRequest();
}

}  // namespace

std::string RequestHead(THttpMethod method, const std::string& target, THttpVersion version,
                        const THttpRequest& request, const std::string& cookie,
                        const std::string& proxyAuthorization) {
  const THttpRequest& r = request;
  THeaderList h;
  h.SetValue("Connection", r.Connection);
  h.SetValue("Content-Version", r.ContentVersion);
  h.SetValue("Content-Encoding", r.ContentEncoding);
  h.SetValue("Content-Language", r.ContentLanguage);
  std::string contentType = r.ContentType;
  if (method == THttpMethod::Post && (contentType.empty() || SameTextNoCase(contentType, "text/html")))
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
  h.SetValue("Proxy-Authorization", proxyAuthorization);
  h.SetValue("Cookie", cookie);
  RefuseLineBreaks(target);
  for (const std::string& line : h.Lines) RefuseLineBreaks(line);

  std::string head = (method == THttpMethod::Post ? "POST " : "GET ") + target +
                     (version == THttpVersion::http10 ? " HTTP/1.0\r\n" : " HTTP/1.1\r\n");
  head += h.WireText();
  head += "\r\n";
  return head;
}

std::string ConnectHead(const std::string& authority, const std::string& userAgent,
                        const std::string& proxyAuthorization) {
  THeaderList h;
  h.SetValue("Host", authority);
  h.SetValue("User-Agent", userAgent);
  h.SetValue("Proxy-Authorization", proxyAuthorization);
  RefuseLineBreaks(authority);
  for (const std::string& line : h.Lines) RefuseLineBreaks(line);
  return "CONNECT " + authority + " HTTP/1.1\r\n" + h.WireText() + "\r\n";
}

std::string EncodeFormValue(const std::string& value) {
  std::string out;
  out.reserve(value.size() * 3);
  for (char ch : value) {
    unsigned char c = static_cast<unsigned char>(ch);
    bool encode = c <= 0x20 || c >= 0x81 || c == '#' || c == '%' || c == '*' || c == '<' || c == '>' ||
                  c == '[' || c == ']';
    if (encode) {
      AppendPercentEscape(out, c);
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
