#include "http/uri.h"

namespace {

// Backslashes become slashes, except a GBK trail byte that happens to be 0x5C.
std::string NormaliseSlashes(const std::string& text) {
  std::string out = text;
  for (size_t i = 0; i < out.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(out[i]);
    if (c >= 0x81 && c <= 0xFE && i + 1 < out.size()) {
      ++i;
      continue;
    }
    if (c == '\\') out[i] = '/';
  }
  return out;
}

void SplitPathDocumentParams(const std::string& rest, bool absolute, TUri& uri) {
  size_t q = rest.find('?');
  if (q == std::string::npos) q = rest.find('=');
  size_t slash = q == std::string::npos ? rest.rfind('/') : (q == 0 ? std::string::npos : rest.rfind('/', q - 1));
  size_t pathLen = slash == std::string::npos ? 0 : slash + 1;
  uri.Path = absolute ? std::string(1, '/') : std::string();
  uri.Path.append(rest, 0, pathLen);
  if (q == std::string::npos) {
    uri.Document = rest.substr(pathLen);
    uri.Params.clear();
  } else {
    uri.Document = rest.substr(pathLen, q - pathLen);
    uri.Params = rest.substr(q);
  }
  std::string& withFragment = uri.Document.find('#') != std::string::npos ? uri.Document : uri.Params;
  size_t hash = withFragment.find('#');
  if (hash != std::string::npos) {
    uri.Bookmark = withFragment.substr(hash + 1);
    withFragment.erase(hash);
  }
}

}  // namespace

TUri ParseUri(const std::string& url) {
  TUri uri;
  std::string text = NormaliseSlashes(url);
  size_t scheme = text.find("://");
  if (scheme == std::string::npos) {
    SplitPathDocumentParams(text, false, uri);
    return uri;
  }
  uri.Protocol = text.substr(0, scheme);
  std::string rest = text.substr(scheme + 3);
  size_t slash = rest.find('/');
  std::string authority = rest.substr(0, slash);
  rest = slash == std::string::npos ? std::string() : rest.substr(slash + 1);
  size_t at = authority.find('@');
  if (at != std::string::npos) {
    std::string userInfo = authority.substr(0, at);
    size_t colon = userInfo.find(':');
    uri.Username = userInfo.substr(0, colon);
    if (!uri.Username.empty() && colon != std::string::npos) uri.Password = userInfo.substr(colon + 1);
    authority = authority.substr(at + 1);
  }
  size_t colon = authority.find(':');
  uri.Host = authority.substr(0, colon);
  if (colon != std::string::npos) uri.Port = authority.substr(colon + 1);
  SplitPathDocumentParams(rest, true, uri);
  return uri;
}
