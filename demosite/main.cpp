// varnolt-demosite: a local stand-in for the patent search site, the portal and the
// maker's site, serving a fixed synthetic corpus in GBK on one loopback port.
//
//   varnolt-demosite [--port N] [--log FILE] [--fail TEXT]... [--drop TEXT]...
//                    [--update-ver N] [--stop-on-eof]
//
//   --port N        port on 127.0.0.1; 0 (the default) picks a free one. The site prints
//                   "listening on 127.0.0.1:PORT" on stdout once it accepts connections.
//   --log FILE      one line per request: connection id (one per TCP connection, from 1),
//                   method, raw target and the Cookie header ("-" when none), tab-separated.
//   --fail TEXT     any request whose raw target or raw body contains TEXT is answered
//                   "500 Internal Server Error" (repeatable). Deterministic failures:
//                     search, failure on the third record:  --fail <number of record 3>
//                       (its detail page and its legal status both fail; for 名称=(电池)
//                       that is --fail 200620164213)
//                     download, failure on page 2 of 5:      --fail <number>/1/000002.tif
//                     download, detail failure of a number:  --fail recid=CN<number>
//   --drop TEXT     like --fail, but answers "200 OK" with a chunked body and closes the
//                   connection before the first chunk: a transfer cut off by the network.
//   --update-ver N  the "ver" of /trevisk/version.txt (default 20080106, the program's own).
//   --stop-on-eof   exit when standard input reaches its end: a test fixture holds the other
//                   end, so the site never outlives a test that crashed.
//
// What it serves (every page GBK):
//   POST /sipo/zljs/hyjs-jieguo.jsp   result list (recshu, searchword, pg); sets JSESSIONID
//   GET  /sipo/zljs/<page>.jsp?recid=CN<number>.<check>&...   detail page
//   POST /sipo/zljs/FlztResult.jsp    legal status (textfield1 or searchword)
//   GET  /books/<number>/<doc>/<NNNNNN>.tif   page images (doc 1: the document the
//                                     download reads; doc 2: an earlier publication, listed
//                                     first on granted inventions); sets tifsession
//   GET  /trevisk/version.txt, /trevisk.asp, /, /mini.php?q=, /custom?q=,
//        /sipo/zw_left.htm, /sipo/zljs/searchflzt.jsp, /portal/index.html.zh
#include <httplib.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "demosite/corpus.h"
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

struct Options {
  int port = 0;
  std::string logPath;
  std::vector<std::string> fail;
  std::vector<std::string> drop;
  std::string updateVer = "20080106";
  bool stopOnEof = false;
};

std::string G(const char* utf8) { return ToGbk(utf8); }

std::string HtmlEscape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

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

int ToInt(const std::string& s, int fallback) {
  try {
    size_t used = 0;
    int v = std::stoi(s, &used);
    return used == s.size() ? v : fallback;
  } catch (...) {
    return fallback;
  }
}

std::string TypeName(int type) {
  switch (type) {
    case 1: return G("发明");
    case 2: return G("实用新型");
    case 3: return G("外观设计");
    case 8: return G("发明PCT");
    case 9: return G("使用新型PCT");
  }
  return G("未知");
}

std::string Leixin(int type) {
  switch (type) {
    case 2: case 9: return "syxx";
    case 3: return "wgsj";
  }
  return "fmzl";
}

std::string HostOf(const httplib::Request& req, int port) {
  std::string host = req.get_header_value("Host");
  return host.empty() ? "127.0.0.1:" + std::to_string(port) : host;
}

const char* kHtml = "text/html; charset=GBK";

std::string PageHead(const std::string& titleGbk) {
  return "<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">\r\n<title>" +
         titleGbk + "</title>\r\n</head>\r\n<body>\r\n";
}

class DemoSite {
 public:
  DemoSite(const Options& opt) : opt_(opt) {
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
        if (Matching(opt_.fail, req)) {
          res.status = 500;
          res.set_content("<html><body>Internal Server Error</body></html>", kHtml);
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
    svr.Get("/trevisk/version.txt", route(&DemoSite::VersionFile));
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

  void Log(const httplib::Request& req) {
    if (!log_) return;
    std::string cookie = req.get_header_value("Cookie");
    std::lock_guard<std::mutex> lock(logMutex_);
    fprintf(log_, "%ld\t%s\t%s\t%s\n", t_connection, req.method.c_str(), req.target.c_str(),
            cookie.empty() ? "-" : cookie.c_str());
    fflush(log_);
  }

  std::string RecordLink(const DemoRecord& r) const {
    // The trailing "&" is the byte the program's classification cut leaves off.
    return "hyjs-yx-new.jsp?recid=CN" + r.number + "." + r.check + "&leixin=" + Leixin(r.type) +
           "&title=" + r.title + "&ipc=" + r.ipc + "&";
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
    int pages = recshu > 0 ? int((hits.size() + recshu - 1) / recshu) : 0;
    std::string h = PageHead(G("专利检索结果"));
    h += "<table width=\"772\" border=\"0\" align=\"center\" cellpadding=\"0\" cellspacing=\"0\" class=\"table0\">\r\n";
    h += "<tr><td class=\"zi_title\">" + G("检索式：") + HtmlEscape(word) + "</td></tr>\r\n";
    h += "<tr><td>" + G("共有") + std::to_string(hits.size()) + G("条记录") + "&nbsp;&nbsp;" + G("第") +
         std::to_string(pg) + "/" + std::to_string(pages) + G("页") + "</td></tr>\r\n</table>\r\n";
    h += "<table width=\"772\" border=\"0\" align=\"center\" cellpadding=\"0\" cellspacing=\"0\" class=\"table1\">\r\n";
    h += "<tr class=\"title\"><td>" + G("序号") + "</td><td>" + G("申请号") + "</td><td>" + G("专利名称") +
         "</td><td>" + G("分类号") + "</td></tr>\r\n";
    size_t first = size_t(pg - 1) * size_t(recshu);
    for (size_t i = first; i < hits.size() && i < first + size_t(recshu); ++i) {
      const DemoRecord& r = *hits[i];
      std::string link = RecordLink(r);
      h += "<tr onMouseOver=\"this.className='td-over'\" onMouseOut=\"this.className='td-out'\">\r\n";
      h += "<td height=\"24\" align=\"center\">" + std::to_string(i + 1) + "</td>\r\n";
      h += "<td align=\"center\"><a href=\"" + link + "\" target=\"_blank\">" + r.number + "." + r.check + "</a></td>\r\n";
      h += "<td align=\"left\"><a href=\"" + link + "\" target=\"_blank\">" + r.title + "</a></td>\r\n";
      h += "<td align=\"center\">" + r.ipc + "</td>\r\n</tr>\r\n";
    }
    h += "</table>\r\n";
    h += "<table width=\"772\" border=\"0\" align=\"center\" cellpadding=\"0\" cellspacing=\"0\" class=\"table2\">\r\n";
    h += "<tr><td align=\"right\">";
    if (pg > 1) h += "<a href='javascript:go(" + std::to_string(pg - 1) + ")'>" + G("上一页") + "</a> ";
    if (pg < pages) h += "<a href='javascript:go(" + std::to_string(pg + 1) + ")'>" + G("下一页") + "</a>";
    h += "</td></tr>\r\n</table>\r\n</body>\r\n</html>\r\n";
    res.set_header("Set-Cookie", "JSESSIONID=demo" + std::to_string(t_connection) + "; Path=/");
    res.set_content(h, kHtml);
  }

  const DemoRecord* RecordOfTarget(const std::string& target) const {
    size_t p = target.find("recid=CN");
    if (p == std::string::npos) return nullptr;
    p += 8;
    size_t e = p;
    while (e < target.size() && target[e] >= '0' && target[e] <= '9') ++e;
    return corpus_.Find(target.substr(p, e - p));
  }

  static std::string ViewerCall(const DemoRecord& r, int doc, int pages, const std::string& host,
                                const std::string& caption) {
    return "<a href=\"#\" onclick=javascript:browsetif('CN" + r.number + "','" + std::to_string(pages) +
           "','http://" + host + "/books/" + r.number + "/" + std::to_string(doc) + "/000001.tif')>" + caption +
           "</a>\r\n";
  }

  void Detail(const httplib::Request& req, httplib::Response& res) {
    const DemoRecord* r = RecordOfTarget(req.target);
    if (!r) {
      res.status = 404;
      res.set_content(PageHead("404") + G("没有找到该专利") + "</body></html>", kHtml);
      return;
    }
    std::string host = HostOf(req, port_);
    std::string label = "<td align=\"center\" bgcolor=\"#f4f3f3\" class=\"kuang1\">";
    auto row = [&](const char* name, const std::string& value) {
      return "<tr>" + label + G(name) + "</td><td colspan=\"3\" class=\"kuang2\">&nbsp;" + value + "</td></tr>\r\n";
    };
    std::string h = PageHead(r->title);
    h += "<table width=\"772\" border=\"0\" align=\"center\" cellpadding=\"0\" cellspacing=\"1\" class=\"table3\">\r\n";
    h += row("申请号：", r->number + "." + r->check);
    h += row("名称：", r->title);
    h += row("分类号：", r->ipc);
    h += row("类型：", TypeName(r->type));
    if (r->type == 3) {
      h += "<tr><td colspan=\"4\" class=\"kuang2\">" + G("【申请（专利权）人】&nbsp;") + r->patentee + "</td></tr>\r\n";
    } else {
      h += "<tr>" + label + G("申请(专利权)人： ") + "</td><td colspan=\"3\" class=\"kuang2\">&nbsp;" + r->patentee +
           "</td></tr>\r\n";
    }
    h += "</table>\r\n";
    if (r->type != 3) {
      h += "<table width=\"772\" border=\"0\" align=\"center\" cellpadding=\"0\" cellspacing=\"0\" class=\"table4\">\r\n";
      h += "<tr><td class=\"zi_title\">" + G("摘要") + "</td></tr>\r\n";
      h += "<tr><td align=\"left\" class=\"zi_zw\">&nbsp;" + r->abstract + "</td></tr>\r\n";
      h += "<tr><td class=\"zi_title\">" + G("主权项") + "</td></tr>\r\n";
      h += "<tr><td align=\"left\" class=\"zi_zw\">&nbsp;" + r->claim + "</td></tr>\r\n";
      h += "</table>\r\n";
    }
    h += "<p align=\"center\">\r\n";
    if (r->firstPages > 0) h += ViewerCall(*r, 2, r->firstPages, host, G("公开说明书"));
    h += ViewerCall(*r, 1, r->pages, host, r->firstPages > 0 ? G("授权说明书") : G("说明书全文"));
    h += "</p>\r\n</body>\r\n</html>\r\n";
    res.set_content(h, kHtml);
  }

  void LegalStatus(const httplib::Request& req, httplib::Response& res) {
    auto f = FormFields(req.body);
    std::string number = f["textfield1"];
    if (number.empty()) {
      number = f["searchword"];
      std::string prefix = G("申请号=");
      if (number.rfind(prefix, 0) == 0) number = number.substr(prefix.size());
      while (!number.empty() && number.back() == '%') number.pop_back();
    }
    if (number.rfind("CN", 0) == 0) number = number.substr(2);
    number = number.substr(0, number.find('.'));
    const DemoRecord* r = corpus_.Find(number);
    std::string h = PageHead(G("法律状态"));
    h += "<table width=\"772\" border=\"0\" align=\"center\" cellpadding=\"0\" cellspacing=\"1\" class=\"table5\">\r\n";
    h += "<tr><td>" + G("申请号") + "</td><td>" + G("法律状态公告日") + "</td><td colspan=\"4\">" + G("法律状态") +
         "</td></tr>\r\n";
    if (r) {
      auto line = [&](const std::string& date, const std::string& status) {
        return "<tr><td>" + r->number + "</td><td>" + date + "</td><td align=left colspan=\"4\"  >" + status +
               "</td></tr>\r\n";
      };
      h += line(r->statusDate, r->status);
      if (r->status != G("公开")) h += line(r->statusDate.substr(0, 4) + ".01.01", G("公开"));
    } else {
      h += "<tr><td colspan=\"6\">" + G("没有找到相关法律状态信息") + "</td></tr>\r\n";
    }
    h += "</table>\r\n</body>\r\n</html>\r\n";
    res.set_content(h, kHtml);
  }

  void PageImage(const httplib::Request& req, httplib::Response& res) {
    // /books/<number>/<doc>/<NNNNNN>.tif
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
    if (r && parts[3].size() == 10 && parts[3].substr(6) == ".tif") page = ToInt(parts[3].substr(0, 6), 0);
    if (page < 1 || page > pages) {
      res.status = 404;
      res.set_content(PageHead("404") + G("没有该页") + "</body></html>", kHtml);
      return;
    }
    std::string key = r->number + "/" + std::to_string(doc) + "/" + std::to_string(page);
    std::shared_ptr<const std::string> image;
    {
      std::lock_guard<std::mutex> lock(cacheMutex_);
      auto it = cache_.find(key);
      if (it != cache_.end()) image = it->second;
    }
    if (!image) {
      image = std::make_shared<const std::string>(MakePageImage({r->number, page, pages, doc}));
      std::lock_guard<std::mutex> lock(cacheMutex_);
      cache_.emplace(key, image);
    }
    if (req.get_header_value("Cookie").find("tifsession=") == std::string::npos)
      res.set_header("Set-Cookie", "tifsession=" + std::to_string(t_connection) + "; path=/");
    res.set_content(*image, "image/tiff");
  }

  void VersionFile(const httplib::Request& req, httplib::Response& res) {
    // LF line ends on purpose: the program must save them as CR LF.
    std::string body = "[update]\nver=" + opt_.updateVer + "\nurl=http://" + HostOf(req, port_) + "/\nmsg=" +
                       G("发现新版本，是否现在下载？") + "\n";
    res.set_content(body, "text/plain; charset=GBK");
  }

  void Echo(const httplib::Request& req, httplib::Response& res) {
    auto f = FormFields(QueryOf(req.target));
    bool dict = req.path == "/mini.php";
    std::string h = PageHead(dict ? G("词典") : G("网页搜索"));
    h += "<h2>" + (dict ? G("词典查询：") : G("网页搜索：")) + "</h2>\r\n<p id=\"q\">" + HtmlEscape(f["q"]) +
         "</p>\r\n</body>\r\n</html>\r\n";
    res.set_content(h, kHtml);
  }

  void Plain(const httplib::Request& req, httplib::Response& res) {
    res.set_content(PageHead(G("演示站点")) + "<p>" + HtmlEscape(req.path) + "</p>\r\n</body>\r\n</html>\r\n", kHtml);
  }

  void Home(const httplib::Request&, httplib::Response& res) {
    std::string h = PageHead(G("Varnolt 演示检索站"));
    h += "<h2>" + G("Varnolt 演示检索站") + "</h2>\r\n<p>" + G("本站提供") + std::to_string(corpus_.Records().size()) +
         G("条合成专利记录，供 Varnolt 演示与测试使用。") + "</p>\r\n";
    h += "<form method=\"post\" action=\"/sipo/zljs/hyjs-jieguo.jsp\" accept-charset=\"GBK\">\r\n"
         "<input type=\"hidden\" name=\"recshu\" value=\"20\">\r\n"
         "<input type=\"text\" name=\"searchword\" size=\"40\" value=\"" +
         G("名称=(电池)") + "\">\r\n<input type=\"submit\" value=\"" + G("检索") + "\">\r\n</form>\r\n";
    h += "</body>\r\n</html>\r\n";
    res.set_content(h, kHtml);
  }

  Options opt_;
  DemoCorpus corpus_;
  int port_ = 0;
  FILE* log_ = nullptr;
  std::mutex logMutex_;
  std::mutex cacheMutex_;
  std::map<std::string, std::shared_ptr<const std::string>> cache_;
};

int Usage() {
  fprintf(stderr,
          "usage: varnolt-demosite [--port N] [--log FILE] [--fail TEXT]... [--drop TEXT]... [--update-ver N]"
          " [--stop-on-eof]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    bool hasValue = i + 1 < argc;
    if (a == "--port" && hasValue) opt.port = ToInt(argv[++i], -1);
    else if (a == "--log" && hasValue) opt.logPath = argv[++i];
    else if (a == "--fail" && hasValue) opt.fail.push_back(argv[++i]);
    else if (a == "--drop" && hasValue) opt.drop.push_back(argv[++i]);
    else if (a == "--update-ver" && hasValue) opt.updateVer = argv[++i];
    else if (a == "--stop-on-eof") opt.stopOnEof = true;
    else return Usage();
  }
  if (opt.port < 0 || opt.port > 65535) return Usage();
  if (opt.stopOnEof) {
    std::thread([] {
      char buf[256];
      while (read(STDIN_FILENO, buf, sizeof buf) > 0) {
      }
      _exit(0);
    }).detach();
  }
  try {
    DemoSite site(opt);
    return site.Run();
  } catch (const std::exception& e) {
    fprintf(stderr, "varnolt-demosite: %s\n", e.what());
    return 1;
  }
}
