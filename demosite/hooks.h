#pragma once
// What the search site and the OPS role share: the numbering of TCP connections, the
// request log and the failure hooks of the command line.
#include <httplib.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

// "%XX" decoded. The program's form encoding never writes "+" for a blank, so on the search
// site a "+" is the byte the user typed; OPS decodes query strings as forms (plusIsBlank).
std::string PercentDecode(const std::string& s, bool plusIsBlank = false);

// Form fields of a body or query: split at "&", the name ends at the first "=", values decoded.
std::map<std::string, std::string> FormFields(const std::string& text, bool plusIsBlank = false);

// The pieces of text between the separators (an empty text is one empty piece).
std::vector<std::string> SplitAt(const std::string& text, char separator);

// Page images made once and kept: making one costs far more than serving it.
class ImageCache {
 public:
  std::shared_ptr<const std::string> Get(const std::string& key, const std::function<std::string()>& make);

 private:
  std::mutex mutex_;
  std::map<std::string, std::shared_ptr<const std::string>> images_;
};

// The number of the connection the calling thread serves (from 1, unique across roles).
long CurrentConnection();

// A server's task queue: each accepted connection is one task, and numbering the tasks
// numbers the TCP connections, which the request log needs to show keep-alive reuse.
class CountingPool : public httplib::ThreadPool {
 public:
  explicit CountingPool(size_t n) : httplib::ThreadPool(n) {}
  void enqueue(std::function<void()> fn) override;
};

// One line per request: connection, method, raw target, Cookie header ("-" when none),
// tab-separated; the OPS role adds a fifth field for the Authorization header's scheme.
class RequestLog {
 public:
  // Logs nothing when path is empty; throws std::runtime_error when it cannot open the file.
  explicit RequestLog(const std::string& path);
  ~RequestLog();
  RequestLog(const RequestLog&) = delete;
  RequestLog& operator=(const RequestLog&) = delete;
  void Write(const httplib::Request& req, const std::string* authorization = nullptr);

 private:
  FILE* file_ = nullptr;
  std::mutex mutex_;
};

// --latency, --busy, --fail and --drop: what a request meets before its handler.
class FailureHooks {
 public:
  enum class Outcome { Pass, Busy, Fail, Drop };
  FailureHooks(int latencyMs, std::vector<std::string> fail, std::vector<std::string> drop,
               std::vector<std::pair<int, std::string>> busy);
  // Waits the latency, then tells what the request gets.
  Outcome Check(const httplib::Request& req);
  // Answers a dropped request: headers of a chunked body, then the connection closes.
  static void Drop(httplib::Response& res, const char* contentType);

 private:
  static bool Matching(const std::vector<std::string>& texts, const httplib::Request& req);
  int latencyMs_;
  std::vector<std::string> fail_, drop_;
  std::vector<std::pair<int, std::string>> busy_;
  std::vector<int> busyLeft_;
  std::mutex mutex_;
};
