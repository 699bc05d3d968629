#include "demosite/hooks.h"

#include <chrono>
#include <stdexcept>
#include <thread>

namespace {
std::atomic<long> g_nextConnection{1};
thread_local long t_connection = 0;
}  // namespace

std::string PercentDecode(const std::string& s, bool plusIsBlank) {
  std::string out;
  auto hex = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && hex(s[i + 1]) >= 0 && hex(s[i + 2]) >= 0) {
      out += char(hex(s[i + 1]) * 16 + hex(s[i + 2]));
      i += 2;
    } else {
      out += plusIsBlank && s[i] == '+' ? ' ' : s[i];
    }
  }
  return out;
}

std::map<std::string, std::string> FormFields(const std::string& text, bool plusIsBlank) {
  std::map<std::string, std::string> fields;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t amp = text.find('&', pos);
    if (amp == std::string::npos) amp = text.size();
    std::string pair = text.substr(pos, amp - pos);
    size_t eq = pair.find('=');
    if (!pair.empty()) {
      std::string name = eq == std::string::npos ? pair : pair.substr(0, eq);
      std::string value = eq == std::string::npos ? "" : pair.substr(eq + 1);
      fields.emplace(name, PercentDecode(value, plusIsBlank));
    }
    pos = amp + 1;
  }
  return fields;
}

std::vector<std::string> SplitAt(const std::string& text, char separator) {
  std::vector<std::string> parts;
  for (size_t pos = 0; pos <= text.size();) {
    size_t at = text.find(separator, pos);
    if (at == std::string::npos) at = text.size();
    parts.push_back(text.substr(pos, at - pos));
    pos = at + 1;
  }
  return parts;
}

std::shared_ptr<const std::string> ImageCache::Get(const std::string& key, const std::function<std::string()>& make) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = images_.find(key);
    if (it != images_.end()) return it->second;
  }
  // Made outside the lock, so pages of other documents are not held up.
  auto image = std::make_shared<const std::string>(make());
  std::lock_guard<std::mutex> lock(mutex_);
  return images_.emplace(key, image).first->second;
}

long CurrentConnection() { return t_connection; }

void CountingPool::enqueue(std::function<void()> fn) {
  long id = g_nextConnection++;
  httplib::ThreadPool::enqueue([id, fn = std::move(fn)] {
    t_connection = id;
    fn();
  });
}

RequestLog::RequestLog(const std::string& path) {
  if (path.empty()) return;
  file_ = fopen(path.c_str(), "w");
  if (!file_) throw std::runtime_error("cannot open the log " + path);
}

RequestLog::~RequestLog() {
  if (file_) fclose(file_);
}

void RequestLog::Write(const httplib::Request& req, const std::string* authorization) {
  if (!file_) return;
  std::string cookie = req.get_header_value("Cookie");
  std::lock_guard<std::mutex> lock(mutex_);
  fprintf(file_, "%ld\t%s\t%s\t%s", t_connection, req.method.c_str(), req.target.c_str(),
          cookie.empty() ? "-" : cookie.c_str());
  if (authorization) fprintf(file_, "\t%s", authorization->empty() ? "-" : authorization->c_str());
  fputc('\n', file_);
  fflush(file_);
}

FailureHooks::FailureHooks(int latencyMs, std::vector<std::string> fail, std::vector<std::string> drop,
                           std::vector<std::pair<int, std::string>> busy)
    : latencyMs_(latencyMs), fail_(std::move(fail)), drop_(std::move(drop)), busy_(std::move(busy)) {
  for (const auto& b : busy_) busyLeft_.push_back(b.first);
}

bool FailureHooks::Matching(const std::vector<std::string>& texts, const httplib::Request& req) {
  for (const std::string& t : texts)
    if (req.target.find(t) != std::string::npos || req.body.find(t) != std::string::npos) return true;
  return false;
}

FailureHooks::Outcome FailureHooks::Check(const httplib::Request& req) {
  // As a far-away site: nothing arrives before the latency has passed.
  if (latencyMs_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(latencyMs_));
  {
    // Only the first N requests holding a --busy text are turned away.
    std::lock_guard<std::mutex> lock(mutex_);
    for (size_t i = 0; i < busy_.size(); ++i) {
      if (busyLeft_[i] > 0 && Matching({busy_[i].second}, req)) {
        --busyLeft_[i];
        return Outcome::Busy;
      }
    }
  }
  if (Matching(fail_, req)) return Outcome::Fail;
  if (Matching(drop_, req)) return Outcome::Drop;
  return Outcome::Pass;
}

void FailureHooks::Drop(httplib::Response& res, const char* contentType) {
  // A chunked body whose provider gives up at once: headers go out, then the close.
  res.set_chunked_content_provider(contentType, [](size_t, httplib::DataSink&) { return false; });
}
