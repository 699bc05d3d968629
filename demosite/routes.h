#pragma once
// The demo site's server: which request goes to which page, the request log, and the
// failure hooks of the command line.
#include <string>
#include <utility>
#include <vector>

#include "demosite/opsoptions.h"

// What the command line sets (see main.cpp).
struct SiteOptions {
  int port = 0;
  std::string logPath;
  std::vector<std::string> fail;
  std::vector<std::string> drop;
  // "N:TEXT": the first N requests holding TEXT answer 503 with "Retry-After: 1".
  std::vector<std::pair<int, std::string>> busy;
  int latencyMs = 0;  // every reply held back this long before its first byte
  int pages = 0;      // > 0: every document has this many pages
  std::string noHitRow;
  std::string updateVer = "20080106";
  bool stopOnEof = false;
  OpsOptions ops;  // the OPS role, when ops.port >= 0
};

// Serves the site on 127.0.0.1 until the process ends; prints "listening on
// 127.0.0.1:PORT" once it accepts connections, then "ops listening on 127.0.0.1:PORT" when
// the OPS role is on. Returns the exit code (1 when it cannot bind); throws
// std::runtime_error when the log cannot be opened.
int RunSite(const SiteOptions& options);

// The whole of text as a decimal number; fallback for anything else.
int ToInt(const std::string& text, int fallback);
