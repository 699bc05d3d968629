#include "demosite/pages.h"

const char kHtml[] = "text/html; charset=GBK";

namespace {

std::string G(const char* utf8) { return ToGbk(utf8); }

// The opening of a record row, the marker the program cuts result pages at.
const std::string kRowMarker = "<tr onMouseOver=\"this.className='td-over'\" onMouseOut=\"this.className='td-out'\">";

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

std::string PageHead(const std::string& titleGbk) {
  return "<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">\r\n<title>" +
         titleGbk + "</title>\r\n</head>\r\n<body>\r\n";
}

std::string RecordLink(const DemoRecord& r) {
  // The trailing "&" is the byte the program's classification cut leaves off.
  return "hyjs-yx-new.jsp?recid=CN" + r.number + "." + r.check + "&leixin=" + Leixin(r.type) +
         "&title=" + r.title + "&ipc=" + r.ipc + "&";
}

std::string ViewerCall(const DemoRecord& r, int doc, int pages, const std::string& host,
                       const std::string& caption) {
  return "<a href=\"#\" onclick=javascript:browsetif('CN" + r.number + "','" + std::to_string(pages) +
         "','http://" + host + "/books/" + r.number + "/" + std::to_string(doc) + "/000001.tif')>" + caption +
         "</a>\r\n";
}

}  // namespace

std::string ResultListPage(const std::string& word, const std::vector<const DemoRecord*>& hits, int recshu, int pg,
                           const std::string& noHitRow) {
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
    h += kRowMarker + "\r\n";
    h += "<td height=\"24\" align=\"center\">" + std::to_string(i + 1) + "</td>\r\n";
    h += "<td align=\"center\"><a href=\"" + link + "\" target=\"_blank\">" + r.number + "." + r.check + "</a></td>\r\n";
    h += "<td align=\"left\"><a href=\"" + link + "\" target=\"_blank\">" + r.title + "</a></td>\r\n";
    h += "<td align=\"center\">" + r.ipc + "</td>\r\n</tr>\r\n";
  }
  if (hits.empty() && !noHitRow.empty())
    h += kRowMarker + noHitRow + "</tr>\r\n";
  h += "</table>\r\n";
  h += "<table width=\"772\" border=\"0\" align=\"center\" cellpadding=\"0\" cellspacing=\"0\" class=\"table2\">\r\n";
  h += "<tr><td align=\"right\">";
  if (pg > 1) h += "<a href='javascript:go(" + std::to_string(pg - 1) + ")'>" + G("上一页") + "</a> ";
  if (pg < pages) h += "<a href='javascript:go(" + std::to_string(pg + 1) + ")'>" + G("下一页") + "</a>";
  h += "</td></tr>\r\n</table>\r\n</body>\r\n</html>\r\n";
  return h;
}

std::string DetailPage(const DemoRecord& r, const std::string& host) {
  std::string label = "<td align=\"center\" bgcolor=\"#f4f3f3\" class=\"kuang1\">";
  auto row = [&](const char* name, const std::string& value) {
    return "<tr>" + label + G(name) + "</td><td colspan=\"3\" class=\"kuang2\">&nbsp;" + value + "</td></tr>\r\n";
  };
  std::string h = PageHead(r.title);
  h += "<table width=\"772\" border=\"0\" align=\"center\" cellpadding=\"0\" cellspacing=\"1\" class=\"table3\">\r\n";
  h += row("申请号：", r.number + "." + r.check);
  h += row("名称：", r.title);
  h += row("分类号：", r.ipc);
  h += row("类型：", TypeName(r.type));
  if (r.type == 3) {
    h += "<tr><td colspan=\"4\" class=\"kuang2\">" + G("【申请（专利权）人】&nbsp;") + r.patentee + "</td></tr>\r\n";
  } else {
    h += "<tr>" + label + G("申请(专利权)人： ") + "</td><td colspan=\"3\" class=\"kuang2\">&nbsp;" + r.patentee +
         "</td></tr>\r\n";
  }
  h += "</table>\r\n";
  if (r.type != 3) {
    h += "<table width=\"772\" border=\"0\" align=\"center\" cellpadding=\"0\" cellspacing=\"0\" class=\"table4\">\r\n";
    h += "<tr><td class=\"zi_title\">" + G("摘要") + "</td></tr>\r\n";
    h += "<tr><td align=\"left\" class=\"zi_zw\">&nbsp;" + r.abstract + "</td></tr>\r\n";
    h += "<tr><td class=\"zi_title\">" + G("主权项") + "</td></tr>\r\n";
    h += "<tr><td align=\"left\" class=\"zi_zw\">&nbsp;" + r.claim + "</td></tr>\r\n";
    h += "</table>\r\n";
  }
  h += "<p align=\"center\">\r\n";
  if (r.firstPages > 0) h += ViewerCall(r, 2, r.firstPages, host, G("公开说明书"));
  h += ViewerCall(r, 1, r.pages, host, r.firstPages > 0 ? G("授权说明书") : G("说明书全文"));
  h += "</p>\r\n</body>\r\n</html>\r\n";
  return h;
}

std::string LegalStatusPage(const DemoRecord* r) {
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
  return h;
}

std::string NotFoundPage(const std::string& textGbk) { return PageHead("404") + textGbk + "</body></html>"; }

std::string ServerErrorPage() { return "<html><body>Internal Server Error</body></html>"; }

std::string VersionFile(const std::string& ver, const std::string& host) {
  // LF line ends on purpose: the program must save them as CR LF.
  return "[update]\nver=" + ver + "\nurl=http://" + host + "/\nmsg=" + G("发现新版本，是否现在下载？") + "\n";
}

std::string LookupPage(bool dictionary, const std::string& query) {
  std::string h = PageHead(dictionary ? G("词典") : G("网页搜索"));
  h += "<h2>" + (dictionary ? G("词典查询：") : G("网页搜索：")) + "</h2>\r\n<p id=\"q\">" + HtmlEscape(query) +
       "</p>\r\n</body>\r\n</html>\r\n";
  return h;
}

std::string PlainPage(const std::string& path) {
  return PageHead(G("演示站点")) + "<p>" + HtmlEscape(path) + "</p>\r\n</body>\r\n</html>\r\n";
}

std::string HomePage(std::size_t recordCount) {
  std::string h = PageHead(G("Varnolt 演示检索站"));
  h += "<h2>" + G("Varnolt 演示检索站") + "</h2>\r\n<p>" + G("本站提供") + std::to_string(recordCount) +
       G("条合成专利记录，供 Varnolt 演示与测试使用。") + "</p>\r\n";
  h += "<form method=\"post\" action=\"/sipo/zljs/hyjs-jieguo.jsp\" accept-charset=\"GBK\">\r\n"
       "<input type=\"hidden\" name=\"recshu\" value=\"20\">\r\n"
       "<input type=\"text\" name=\"searchword\" size=\"40\" value=\"" +
       G("名称=(电池)") + "\">\r\n<input type=\"submit\" value=\"" + G("检索") + "\">\r\n</form>\r\n";
  h += "</body>\r\n</html>\r\n";
  return h;
}
