#include "search/searchreport.h"

#include <cstdio>

#include "base/datadir.h"
#include "search/searchtexts.h"
#include "sources/replytext.h"

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

namespace {

// YYYYMMDD as YYYY-MM-DD; "" stays "".
std::string Dashed(const std::string& date) {
  if (date.size() != 8) return date;
  return date.substr(0, 4) + "-" + date.substr(4, 2) + "-" + date.substr(6, 2);
}

std::string PageJoined(const std::vector<std::string>& parts) {
  std::string all;
  for (const std::string& p : parts) all += (all.empty() ? "" : "; ") + p;
  return ReplyPageText(all);
}

std::string Linked(const TPublicationFact& p) {
  return "<a href=\"" + ReplyPageText(p.link) + "\" target=\"_blank\">" + ReplyPageText(p.shown) + "</a>";
}

// The application number and every publication of it among the hits.
std::string NumberCell(const TSearchRecord& r) {
  std::string cell = r.number;
  if (r.facts)
    for (const TPublicationFact& p : r.facts->publications) cell += "<br>" + Linked(p);
  return cell;
}

std::string FamilyCell(const TSearchFacts& f) {
  if (!f.family) return {};
  std::string cell = std::to_string(f.family->size) + kFamilyMembers;
  if (!f.family->countries.empty()) cell += " (" + PageJoined(f.family->countries) + ")";
  for (const TPublicationFact& p : f.family->foreign) cell += "<br>" + Linked(p);
  return cell;
}

// A cell of the row and its twins', one line each.
template <class F>
std::string Lines(const TSearchRecord& r, F of) {
  std::string cell = of(r);
  for (const TSearchRecord& t : r.twins) cell += "<br>" + of(t);
  return cell;
}

}  // namespace

std::vector<std::string> OpsReportHead(const std::string& query, std::time_t when, const TPath& programDir,
                                       long publications, long applications, bool exact, bool family) {
  // The query holds the user's words: markup in them must show as text. Character
  // references (&#...;) stand for characters GBK lacks and stay.
  std::string shown;
  for (size_t i = 0; i < query.size(); ++i) {
    const char c = query[i];
    if (c == '<') shown += "&lt;";
    else if (c == '>') shown += "&gt;";
    else if (c == '"') shown += "&quot;";
    else if (c == '&' && query.compare(i, 2, "&#") != 0) shown += "&amp;";
    else shown += c;
  }
  std::vector<std::string> head = SearchReportHead(shown, when, programDir);
  head[4] += kOpsCountsA + std::to_string(publications) + kOpsCountsB + (exact ? "" : kOpsCountsAtLeast) +
             std::to_string(applications) + kOpsCountsC;
  head[6] = kOpsTitleRow + std::string(family ? kOpsTitleFamily : "") + "</tr>";
  return head;
}

std::string OpsReportRows(const std::vector<TSearchRecord>& records, bool family, const std::vector<TRowMark>& marks) {
  const std::string span = std::to_string(family ? 12 : 11);
  const std::string lf = kCrLf;
  std::string rows;
  int n = 0;
  for (const TSearchRecord& r : records) {
    const TSearchFacts none;
    const TSearchFacts& f = r.facts ? *r.facts : none;
    auto factsOf = [&](const TSearchRecord& x) -> const TSearchFacts& { return x.facts ? *x.facts : none; };
    std::string s;
    if (size_t(n) < marks.size())
      s += "\t<tr class=\"detail " + marks[size_t(n)].kind + "\"><td>&nbsp;</td><td colspan=\"" + span + "\">" +
           marks[size_t(n)].text + "</td></tr>" + lf;
    s += "<tr class=\"detail\">" + lf;
    s += "\t<td>" + std::to_string(++n) + "</td>" + lf;
    s += "\t<td>" + Lines(r, [](const TSearchRecord& x) { return x.typeName; }) + "</td>" + lf;
    s += "\t<td>" + Lines(r, NumberCell) + "</td>" + lf;
    s += "\t<td class=\"doctitle\">" + r.title + "</td>" + lf;
    s += "\t<td>" + r.classification + "</td>" + lf;
    s += "\t<td>" + Lines(r, [](const TSearchRecord& x) { return x.legalStatus.value_or(getquerytext::kNotSearched); }) +
         "</td>" + lf;
    s += "\t<td>" + r.patentee.value_or(getquerytext::kNotSearched) + "</td>" + lf;
    s += "\t<td>" + Lines(r, [&](const TSearchRecord& x) { return Dashed(factsOf(x).applicationDate); }) + "</td>" + lf;
    s += "\t<td>" + Lines(r, [&](const TSearchRecord& x) { return Dashed(factsOf(x).PublicationDate()); }) + "</td>" + lf;
    s += "\t<td>" + Lines(r, [&](const TSearchRecord& x) { return Dashed(factsOf(x).GrantDate()); }) + "</td>" + lf;
    s += "\t<td>" + PageJoined(f.inventors) + "</td>" + lf;
    s += "\t<td>" + Lines(r, [&](const TSearchRecord& x) { return factsOf(x).expiryEstimate; }) + "</td>" + lf;
    if (family) s += "\t<td>" + FamilyCell(f) + "</td>" + lf;
    s += "</tr>" + lf;
    if (r.abstractText) s += "\t<tr class=\"detail\"><td>&nbsp;</td><td colspan=\"" + span + "\">" + kAbstractLabel + *r.abstractText + "</td></tr>" + lf;
    if (r.firstClaim) s += "\t<tr class=\"detail\"><td>&nbsp;</td><td colspan=\"" + span + "\">" + kFirstClaimLabel + *r.firstClaim + "</td></tr>" + lf;
    s += "\t<tr><td colspan=\"" + std::to_string(family ? 13 : 12) + "\" class=\"divtd\">&nbsp;</td></tr>" + lf + lf;
    rows += s;
  }
  return rows;
}
