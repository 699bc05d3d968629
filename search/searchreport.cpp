#include "search/searchreport.h"

#include <cstdio>

#include "base/datadir.h"

namespace {

std::tm LocalTime(std::time_t when) {
  std::tm tm{};
  localtime_r(&when, &tm);
  return tm;
}

const char kCrLf[] = "\r\n";

}  // namespace

std::string ShortDate(std::time_t when) {
  std::tm tm = LocalTime(when);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
  return buf;
}

std::string LongTime(std::time_t when) {
  std::tm tm = LocalTime(when);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
  return buf;
}

std::vector<std::string> SearchReportHead(const std::string& query, std::time_t when,
                                          const TPath& programDir) {
  const std::string date = ShortDate(when);
  const std::string dateTime = date + " " + LongTime(when);
  return {
      "<html>",
      "<head><title>" + query + "--" + date + "</title>",
      datadir::StylesheetLine(programDir),
      "</head><body>",
      // 检索式： ... 检索时间：
      "<h2>\xbc\xec\xcb\xf7\xca\xbd\xa3\xba" + query + "</h2><h3>\xbc\xec\xcb\xf7\xca\xb1\xbc\xe4\xa3\xba" +
          dateTime + "</h3>",
      "<table border=\"0\" align=\"center\" cellpadding=\"0\" cellspacing=\"0\" >",
      // 编号 类型 申请号 名称 分类 法律状态 专利权人
      "<tr class=\"title\"><td>\xb1\xe0\xba\xc5</td> <td>\xc0\xe0\xd0\xcd</td> "
      "<td>\xc9\xea\xc7\xeb\xba\xc5</td> <td>\xc3\xfb\xb3\xc6</td> <td>\xb7\xd6\xc0\xe0</td> "
      "<td>\xb7\xa8\xc2\xc9\xd7\xb4\xcc\xac</td> <td>\xd7\xa8\xc0\xfb\xc8\xa8\xc8\xcb</td></tr>",
  };
}

std::string SearchRowOpening() { return std::string("<tr class=\"detail\">") + kCrLf; }

std::string SearchRowCells(const SearchRecordCells& c) {
  std::string s;
  s += "\t<td>" + std::to_string(c.n) + "</td>" + kCrLf;
  s += "\t<td>" + c.typeName + "</td>" + kCrLf;
  s += "\t<td>" + c.number + "</td>";
  s += "\t<td class=\"doctitle\">" + c.title + "</td>" + kCrLf;
  s += "\t<td>" + c.classification + "</td>";
  s += "\t<td>" + c.legalStatus + "</td>" + kCrLf;
  s += "\t<td>" + c.patentee + "</td>" + kCrLf;
  s += "</tr>";
  return s;
}

std::string SearchAbstractRow(const std::string& abstractText) {
  // 摘要:
  return "\t<tr class=\"detail\"><td>&nbsp;</td><td colspan=\"6\">\xd5\xaa\xd2\xaa:" + abstractText +
         "</td></tr>" + kCrLf;
}

std::string SearchFirstClaimRow(const std::string& firstClaim) {
  // 首权项:
  return "\t<tr class=\"detail\"><td>&nbsp;</td><td colspan=\"6\">\xca\xd7\xc8\xa8\xcf\xee:" + firstClaim +
         "</td></tr>" + kCrLf;
}

std::string SearchDividerRow() {
  return std::string("\t<tr><td colspan=\"7\" class=\"divtd\">&nbsp;</td></tr>") + kCrLf + kCrLf;
}

std::vector<std::string> SearchReportTail() { return {"</body>", "</html>"}; }
