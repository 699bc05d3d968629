#include "library/reportreader.h"

#include "base/bytes.h"
#include "base/gbk.h"
#include "download/downtexts.h"
#include "library/librarytexts.h"
#include "library/runrecords.h"
#include "search/searchtexts.h"

namespace {

std::string U(const char* gbk) { return GbkToUtf8(gbk); }

// The inner HTML of each <td ...>...</td> of a row.
std::vector<std::string> Cells(const std::string& row) {
  std::vector<std::string> cells;
  size_t at = 0;
  while ((at = row.find("<td", at)) != std::string::npos) {
    const size_t open = row.find('>', at);
    if (open == std::string::npos) break;
    const size_t close = row.find("</td>", open);
    if (close == std::string::npos) break;
    cells.push_back(row.substr(open + 1, close - open - 1));
    at = close + 5;
  }
  return cells;
}

std::string Between(const std::string& s, const std::string& a, const std::string& b) {
  const size_t from = s.find(a);
  if (from == std::string::npos) return "";
  const size_t to = s.find(b, from + a.size());
  return to == std::string::npos ? "" : s.substr(from + a.size(), to - from - a.size());
}

}  // namespace

std::string PlainFromHtml(const std::string& gbkHtml, const std::string& sep) {
  // Tags out first, on the GBK bytes (no trail byte takes the value of '<' or '>').
  std::string text;
  for (size_t i = 0; i < gbkHtml.size(); ++i) {
    if (gbkHtml[i] != '<') {
      text += gbkHtml[i];
      continue;
    }
    const size_t close = gbkHtml.find('>', i);
    if (close == std::string::npos) break;
    const std::string tag = LowerAscii(gbkHtml.substr(i + 1, 3));
    text += tag.rfind("br", 0) == 0 ? sep : " ";
    i = close;
  }
  // Character references of characters GBK lacks, then the named entities.
  std::string utf8 = GbkWithReferencesToUtf8(text);
  static const std::pair<const char*, const char*> kEntities[] = {
      {"&nbsp;", " "}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}};
  for (const auto& [entity, c] : kEntities)
    for (size_t at; (at = utf8.find(entity)) != std::string::npos;) utf8.replace(at, std::char_traits<char>::length(entity), c);
  std::string out;
  for (char c : utf8) {
    const bool blank = static_cast<unsigned char>(c) <= 0x20;
    if (blank && (out.empty() || out.back() == ' ')) continue;
    out += blank ? ' ' : c;
  }
  return TrimBytes(out);
}

TSearchReport ReadSearchReport(const std::string& page) {
  using namespace searchreporttext;
  TSearchReport report;
  const size_t titleAt = page.find("<tr class=\"title\">");
  if (titleAt == std::string::npos || page.find(kQueryHead) == std::string::npos) return report;
  report.query = PlainFromHtml(Between(page, kQueryHead, "</h2>"));
  report.when = Between(page, kTimeHead, "</h3>");
  if (report.when.size() != 19) report.when.clear();
  const size_t titleEnd = page.find("</tr>", titleAt);
  std::vector<std::string> header;
  for (const std::string& c : Cells(page.substr(titleAt, titleEnd - titleAt))) header.push_back(PlainFromHtml(c));
  report.source = page.find("href=\"https://worldwide.espacenet.com/") != std::string::npos ? "ops" : "site";

  const std::string abstractHead = U(kAbstractRowHead).substr(U(kAbstractRowHead).rfind('>') + 1);      // 摘要:
  const std::string claimHead = U(kFirstClaimRowHead).substr(U(kFirstClaimRowHead).rfind('>') + 1);     // 首权项:
  const std::string notSearched = U(getquerytext::kNotSearched);
  auto asked = [&](const std::string& v) { return v == notSearched ? std::string() : v; };

  for (size_t at = titleEnd; (at = page.find("<tr class=\"detail\">", at)) != std::string::npos;) {
    const size_t end = page.find("</tr>", at);
    if (end == std::string::npos) break;
    const std::vector<std::string> cells = Cells(page.substr(at, end - at));
    at = end;
    if (cells.size() == 2 && !report.records.empty()) {
      const std::string text = PlainFromHtml(cells[1]);
      TPatentRecord& r = report.records.back();
      if (text.rfind(abstractHead, 0) == 0) {
        const std::string a = asked(TrimBytes(text.substr(abstractHead.size())));
        (HasCjk(a) ? r.abstractText : r.abstractEn) = a;
      } else if (text.rfind(claimHead, 0) == 0) {
        r.firstClaim = asked(FirstClaimOfCell(text.substr(claimHead.size())));
      }
      continue;
    }
    if (cells.size() < header.size() || header.empty()) continue;
    TPatentRecord r;
    r.source = report.source;
    for (size_t c = 0; c < header.size(); ++c) {
      const std::string& name = header[c];
      const std::string& html = cells[c];
      const std::string text = PlainFromHtml(html);
      if (name == U(reporttext::kColumnType)) {
        r.patentType = text;
      } else if (name == U(reporttext::kColumnNumber)) {
        r.application = PlainFromHtml(html.substr(0, html.find('<')));
        for (size_t a = 0; (a = html.find("<a ", a)) != std::string::npos;) {
          const size_t open = html.find('>', a), close = html.find("</a>", a);
          if (open == std::string::npos || close == std::string::npos || close < open) break;
          r.publications.push_back({PlainFromHtml(html.substr(open + 1, close - open - 1)), ""});
          a = close;
        }
      } else if (name == U(reporttext::kColumnTitle)) {
        (HasCjk(text) ? r.title : r.titleEn) = text;
      } else if (name == U(reporttext::kColumnClass) || name == "IPC") {
        r.ipc = SplitNames(text);
      } else if (name == U(reporttext::kColumnLegal)) {
        r.legalStatus = asked(PlainFromHtml(html, " "));
        const size_t blank = r.legalStatus.rfind(' ');
        if (blank != std::string::npos) r.legalStatusDate = NormalDate(r.legalStatus.substr(blank + 1));
      } else if (name == U(reporttext::kColumnPatentee) || name == U(librarytext::kFieldApplicants)) {
        r.applicants = SplitNames(asked(text));
      } else if (name == U(librarytext::kFieldInventors)) {
        r.inventors = SplitNames(asked(text));
      } else if (name == U(exporttext::kApplicationDate)) {
        r.applicationDate = NormalDate(text);
      } else if (name == U(exporttext::kPublicationDate)) {
        r.publicationDate = NormalDate(text);
      } else if (name == U(exporttext::kGrantDate)) {
        r.grantDate = NormalDate(text);
      }
    }
    if (!ApplicationDigits(r.application).empty()) report.records.push_back(std::move(r));
  }
  return report;
}
