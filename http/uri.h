#pragma once
#include <string>

// A URL cut into the pieces a request is built from. Every field is raw bytes as given.
struct TUri {
  std::string Protocol;
  std::string Username;
  std::string Password;
  std::string Host;
  std::string Port;
  std::string Path;      // with its trailing "/"; "/" for a bare host
  std::string Document;
  std::string Params;    // the query with its leading "?" (or "=")
  std::string Bookmark;  // the fragment without "#"; never sent
};

TUri ParseUri(const std::string& url);
