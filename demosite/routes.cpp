#include "demosite/routes.h"

#include <httplib.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>

#include "demosite/corpus.h"
#include "demosite/hooks.h"
#include "demosite/opsrole.h"
#include "demosite/pages.h"
#include "demosite/query.h"
#include "demosite/tiffpage.h"

namespace {

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
  DemoSite(const SiteOptions& opt)
      : opt_(opt), corpus_(opt.pages), log_(opt.logPath), hooks_(opt.latencyMs, opt.fail, opt.drop, opt.busy) {}

  int Run() {
    httplib::Server svr;
    svr.new_task_queue = [] { return new CountingPool(16); };
    svr.set_keep_alive_max_count(100000);
    svr.set_keep_alive_timeout(30);
    // Without it a kept-alive reply waits for the delayed acknowledgement (~40 ms).
    svr.set_tcp_nodelay(true);
    svr.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
      log_.Write(req);
      return httplib::Server::HandlerResponse::Unhandled;
    });
    auto route = [this](void (DemoSite::*fn)(const httplib::Request&, httplib::Response&)) {
      return [this, fn](const httplib::Request& req, httplib::Response& res) {
        switch (hooks_.Check(req)) {
          case FailureHooks::Outcome::Busy:
            res.status = 503;
            res.set_header("Retry-After", "1");
            res.set_content(ServerErrorPage(), kHtml);
            return;
          case FailureHooks::Outcome::Fail:
            res.status = 500;
            res.set_content(ServerErrorPage(), kHtml);
            return;
          case FailureHooks::Outcome::Drop:
            FailureHooks::Drop(res, "text/html");
            return;
          case FailureHooks::Outcome::Pass:
            break;
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
    // The OPS role comes up after the site, so its line is the second one.
    std::unique_ptr<OpsRole> ops;
    if (opt_.ops.port >= 0) {
      ops = std::make_unique<OpsRole>(opt_.ops, corpus_, opt_.pages, log_, hooks_);
      if (!ops->Start()) return 1;
    }
    return svr.listen_after_bind() ? 0 : Fail("the server stopped");
  }

 private:
  static int Fail(const std::string& msg) {
    fprintf(stderr, "varnolt-demosite: %s\n", msg.c_str());
    return 1;
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
    res.set_header("Set-Cookie", "JSESSIONID=demo" + std::to_string(CurrentConnection()) + "; Path=/");
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

  void PageImage(const httplib::Request& req, httplib::Response& res) {
    // /books/<number>/<doc>/<NNNNNN>.tif, or .txt for the text the image shows
    std::vector<std::string> parts = SplitAt(req.path.substr(1), '/');
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
    // The image and its text are made from one layout; each is kept once made.
    auto layout = [&] { return pagetext::LayoutPage(*r, doc, page, pages, kTextDpi, TextArea()); };
    if (ext == ".txt") {
      auto text = cache_.Get(key + ".txt", [&] { return ToGbk(pagetext::TextOf(layout())); });
      res.set_content(*text, "text/plain; charset=GBK");
      return;
    }
    auto image = cache_.Get(key, [&] { return MakePageImage({r->number, page, pages, doc}, layout()); });
    if (req.get_header_value("Cookie").find("tifsession=") == std::string::npos)
      res.set_header("Set-Cookie", "tifsession=" + std::to_string(CurrentConnection()) + "; path=/");
    res.set_content(*image, "image/tiff");
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
  RequestLog log_;
  FailureHooks hooks_;
  int port_ = 0;
  ImageCache cache_;
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
