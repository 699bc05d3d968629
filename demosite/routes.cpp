#include "demosite/routes.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "demosite/corpus.h"
#include "demosite/pages.h"
#include "demosite/query.h"
#include "demosite/tiffpage.h"

namespace {

// Each accepted connection is one task of the pool; numbering the tasks numbers the
// TCP connections, which the request log needs to show keep-alive reuse.
std::atomic<long> g_nextConnection{1};
thread_local long t_connection = 0;

class CountingPool : public httplib::ThreadPool {
 public:
  explicit CountingPool(size_t n) : httplib::ThreadPool(n) {}
  void enqueue(std::function<void()> fn) override {
    long id = g_nextConnection++;
    httplib::ThreadPool::enqueue([id, fn = std::move(fn)] {
      t_connection = id;
      fn();
    });
  }
};

// Only "%XX" is decoded: the program's form encoding never writes "+" for a blank, so a
// "+" is the byte the user typed.
std::string PercentDecode(const std::string& s) {
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
      out += s[i];
    }
  }
  return out;
}

// Form fields of a body or query: split at "&", the name ends at the first "=".
std::map<std::string, std::string> FormFields(const std::string& text) {
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
      fields.emplace(name, PercentDecode(value));
    }
    pos = amp + 1;
  }
  return fields;
}

std::string QueryOf(const std::string& target) {
  size_t q = target.find('?');
  return q == std::string::npos ? "" : target.substr(q + 1);
}

std::string HostOf(const httplib::Request& req, int port) {
  std::string host = req.get_header_value("Host");
  return host.empty() ? "127.0.0.1:" + std::to_string(port) : host;
}

class DemoSite {
 public:
  DemoSite(const SiteOptions& opt) : opt_(opt), corpus_(opt.pages), busyLeft_(opt.busy.size()) {
    for (size_t i = 0; i < opt.busy.size(); ++i) busyLeft_[i] = opt.busy[i].first;
    if (!opt.logPath.empty()) {
      log_ = fopen(opt.logPath.c_str(), "w");
      if (!log_) throw std::runtime_error("cannot open the log " + opt.logPath);
    }
  }
  ~DemoSite() {
    if (log_) fclose(log_);
  }

  int Run() {
    httplib::Server svr;
    svr.new_task_queue = [] { return new CountingPool(16); };
    svr.set_keep_alive_max_count(100000);
    svr.set_keep_alive_timeout(30);
    // Without it a kept-alive reply waits for the delayed acknowledgement (~40 ms).
    svr.set_tcp_nodelay(true);
    svr.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
      Log(req);
      return httplib::Server::HandlerResponse::Unhandled;
    });
    auto route = [this](void (DemoSite::*fn)(const httplib::Request&, httplib::Response&)) {
      return [this, fn](const httplib::Request& req, httplib::Response& res) {
        // As a far-away site: nothing arrives before the latency has passed.
        if (opt_.latencyMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(opt_.latencyMs));
        if (TakeBusy(req)) {
          res.status = 503;
          res.set_header("Retry-After", "1");
          res.set_content(ServerErrorPage(), kHtml);
          return;
        }
        if (Matching(opt_.fail, req)) {
          res.status = 500;
          res.set_content(ServerErrorPage(), kHtml);
          return;
        }
        if (Matching(opt_.drop, req)) {
          // A chunked body whose provider gives up at once: headers go out, then the close.
          res.set_chunked_content_provider("text/html", [](size_t, httplib::DataSink&) { return false; });
          return;
        }
        (this->*fn)(req, res);
      };
    };
    svr.Post("/sipo/zljs/hyjs-jieguo.jsp", route(&DemoSite::ResultList));
    svr.Post("/sipo/zljs/FlztResult.jsp", route(&DemoSite::LegalStatus));
    svr.Get("/sipo/zljs/searchflzt.jsp", route(&DemoSite::Plain));
    svr.Get("/sipo/zljs/.*", route(&DemoSite::Detail));
    svr.Get("/sipo/zw_left.htm", route(&DemoSite::Plain));
    svr.Get("/books/.*", route(&DemoSite::PageImage));
    svr.Get("/trevisk/version.txt", route(&DemoSite::Version));
    svr.Get("/trevisk.asp", route(&DemoSite::Plain));
    svr.Get("/mini.php", route(&DemoSite::Echo));
    svr.Get("/custom", route(&DemoSite::Echo));
    svr.Get("/portal/index.html.zh", route(&DemoSite::Plain));
    svr.Get("/", route(&DemoSite::Home));

    if (opt_.port == 0) {
      port_ = svr.bind_to_any_port("127.0.0.1");
      if (port_ < 0) return Fail("cannot bind a port on 127.0.0.1");
    } else {
      port_ = opt_.port;
      if (!svr.bind_to_port("127.0.0.1", port_)) return Fail("cannot bind 127.0.0.1:" + std::to_string(port_));
    }
    printf("listening on 127.0.0.1:%d\n", port_);
    fflush(stdout);
    return svr.listen_after_bind() ? 0 : Fail("the server stopped");
  }

 private:
  static int Fail(const std::string& msg) {
    fprintf(stderr, "varnolt-demosite: %s\n", msg.c_str());
    return 1;
  }

  static bool Matching(const std::vector<std::string>& texts, const httplib::Request& req) {
    for (const std::string& t : texts)
      if (req.target.find(t) != std::string::npos || req.body.find(t) != std::string::npos) return true;
    return false;
  }

  // Whether the request is one of the first N holding a --busy text.
  bool TakeBusy(const httplib::Request& req) {
    std::lock_guard<std::mutex> lock(busyMutex_);
    for (size_t i = 0; i < opt_.busy.size(); ++i) {
      if (busyLeft_[i] > 0 && Matching({opt_.busy[i].second}, req)) {
        --busyLeft_[i];
        return true;
      }
    }
    return false;
  }

  void Log(const httplib::Request& req) {
    if (!log_) return;
    std::string cookie = req.get_header_value("Cookie");
    std::lock_guard<std::mutex> lock(logMutex_);
    fprintf(log_, "%ld\t%s\t%s\t%s\n", t_connection, req.method.c_str(), req.target.c_str(),
            cookie.empty() ? "-" : cookie.c_str());
    fflush(log_);
  }

  void ResultList(const httplib::Request& req, httplib::Response& res) {
    auto f = FormFields(req.body);
    int recshu = std::max(0, ToInt(f["recshu"], 0));
    int pg = std::max(1, ToInt(f["pg"], 1));
    const std::string& word = f["searchword"];
    std::vector<const DemoRecord*> hits;
    if (auto q = ParseQuery(word)) {
      for (const DemoRecord& r : corpus_.Records())
        if (Matches(r, *q)) hits.push_back(&r);
    }
    res.set_header("Set-Cookie", "JSESSIONID=demo" + std::to_string(t_connection) + "; Path=/");
    res.set_content(ResultListPage(word, hits, recshu, pg, opt_.noHitRow), kHtml);
  }

  const DemoRecord* RecordOfTarget(const std::string& target) const {
    size_t p = target.find("recid=CN");
    if (p == std::string::npos) return nullptr;
    p += 8;
    size_t e = p;
    while (e < target.size() && target[e] >= '0' && target[e] <= '9') ++e;
    return corpus_.Find(target.substr(p, e - p));
  }

  void Detail(const httplib::Request& req, httplib::Response& res) {
    const DemoRecord* r = RecordOfTarget(req.target);
    if (!r) {
      res.status = 404;
      res.set_content(NotFoundPage(ToGbk("没有找到该专利")), kHtml);
      return;
    }
    res.set_content(DetailPage(*r, HostOf(req, port_)), kHtml);
  }

  void LegalStatus(const httplib::Request& req, httplib::Response& res) {
    auto f = FormFields(req.body);
    std::string number = f["textfield1"];
    if (number.empty()) {
      number = f["searchword"];
      std::string prefix = ToGbk("申请号=");
      if (number.rfind(prefix, 0) == 0) number = number.substr(prefix.size());
      while (!number.empty() && number.back() == '%') number.pop_back();
    }
    if (number.rfind("CN", 0) == 0) number = number.substr(2);
    number = number.substr(0, number.find('.'));
    res.set_content(LegalStatusPage(corpus_.Find(number)), kHtml);
  }

  // A page image and the text drawn on it, made once and kept.
  struct Page {
    std::string image;
    std::string text;  // GBK, one line per drawn line
  };

  void PageImage(const httplib::Request& req, httplib::Response& res) {
    // /books/<number>/<doc>/<NNNNNN>.tif, or .txt for the text the image shows
    std::string path = req.path;
    std::vector<std::string> parts;
    for (size_t pos = 1; pos <= path.size();) {
      size_t slash = path.find('/', pos);
      if (slash == std::string::npos) slash = path.size();
      parts.push_back(path.substr(pos, slash - pos));
      pos = slash + 1;
    }
    const DemoRecord* r = parts.size() == 4 ? corpus_.Find(parts[1]) : nullptr;
    int doc = r ? ToInt(parts[2], 0) : 0;
    int pages = !r ? 0 : doc == 1 ? r->pages : doc == 2 ? r->firstPages : 0;
    int page = 0;
    const std::string ext = r && parts[3].size() == 10 ? parts[3].substr(6) : "";
    if (ext == ".tif" || ext == ".txt") page = ToInt(parts[3].substr(0, 6), 0);
    if (page < 1 || page > pages) {
      res.status = 404;
      res.set_content(NotFoundPage(ToGbk("没有该页")), kHtml);
      return;
    }
    std::string key = r->number + "/" + std::to_string(doc) + "/" + std::to_string(page);
    std::shared_ptr<const Page> made;
    {
      std::lock_guard<std::mutex> lock(cacheMutex_);
      auto it = cache_.find(key);
      if (it != cache_.end()) made = it->second;
    }
    if (!made) {
      auto p = std::make_shared<Page>();
      pagetext::Layout layout = pagetext::LayoutPage(*r, doc, page, pages, kTextDpi, TextArea());
      p->image = MakePageImage({r->number, page, pages, doc}, layout);
      p->text = ToGbk(pagetext::TextOf(layout));
      made = p;
      std::lock_guard<std::mutex> lock(cacheMutex_);
      cache_.emplace(key, made);
    }
    if (ext == ".txt") {
      res.set_content(made->text, "text/plain; charset=GBK");
      return;
    }
    if (req.get_header_value("Cookie").find("tifsession=") == std::string::npos)
      res.set_header("Set-Cookie", "tifsession=" + std::to_string(t_connection) + "; path=/");
    res.set_content(made->image, "image/tiff");
  }

  void Version(const httplib::Request& req, httplib::Response& res) {
    res.set_content(VersionFile(opt_.updateVer, HostOf(req, port_)), "text/plain; charset=GBK");
  }

  void Echo(const httplib::Request& req, httplib::Response& res) {
    auto f = FormFields(QueryOf(req.target));
    res.set_content(LookupPage(req.path == "/mini.php", f["q"]), kHtml);
  }

  void Plain(const httplib::Request& req, httplib::Response& res) { res.set_content(PlainPage(req.path), kHtml); }

  void Home(const httplib::Request&, httplib::Response& res) {
    res.set_content(HomePage(corpus_.Records().size()), kHtml);
  }

  SiteOptions opt_;
  DemoCorpus corpus_;
  std::mutex busyMutex_;
  std::vector<int> busyLeft_;
  int port_ = 0;
  FILE* log_ = nullptr;
  std::mutex logMutex_;
  std::mutex cacheMutex_;
  std::map<std::string, std::shared_ptr<const Page>> cache_;
};

}  // namespace

int RunSite(const SiteOptions& options) {
  DemoSite site(options);
  return site.Run();
}

int ToInt(const std::string& s, int fallback) {
  try {
    size_t used = 0;
    int v = std::stoi(s, &used);
    return used == s.size() ? v : fallback;
  } catch (...) {
    return fallback;
  }
}
