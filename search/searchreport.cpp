#include "search/searchreport.h"

#include <cstdio>

#include "base/datadir.h"
#include "search/searchtexts.h"

using namespace searchreporttext;

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
      kQueryHead + query + kTimeHead + dateTime + "</h3>",
      "<table border=\"0\" align=\"center\" cellpadding=\"0\" cellspacing=\"0\" >",
      kTitleRow,
  };
}

std::string SearchRowOpening() { return std::string("<tr class=\"detail\">") + kCrLf; }

std::string SearchRowCells(const SearchRecordCells& c) {
  std::string s;
  s += "\t<td>" + std::to_string(c.n) + "</td>" + kCrLf;
  s += "\t<td>" + c.typeName + "</td>" + kCrLf;
  s += "\t<td>" + c.number;
  if (!c.publication.empty())
    s += "<br><a href=\"" + c.recordLink + "\" target=\"_blank\">" + c.publication + "</a>";
  s += "</td>";
  s += "\t<td class=\"doctitle\">" + c.title + "</td>" + kCrLf;
  s += "\t<td>" + c.classification + "</td>";
  s += "\t<td>" + c.legalStatus + "</td>" + kCrLf;
  s += "\t<td>" + c.patentee + "</td>" + kCrLf;
  s += "</tr>";
  return s;
}

std::string SearchAbstractRow(const std::string& abstractText) {
  return kAbstractRowHead + abstractText + "</td></tr>" + kCrLf;
}

std::string SearchFirstClaimRow(const std::string& firstClaim) {
  return kFirstClaimRowHead + firstClaim + "</td></tr>" + kCrLf;
}

std::string SearchDividerRow() {
  return std::string("\t<tr><td colspan=\"7\" class=\"divtd\">&nbsp;</td></tr>") + kCrLf + kCrLf;
}

std::vector<std::string> SearchReportTail() { return {"</body>", "</html>"}; }
