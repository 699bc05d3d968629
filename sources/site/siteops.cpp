#include "sources/site/siteops.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "base/bytes.h"
#include "base/hosts.h"
#include "http/httpclient.h"
#include "regex/patternmatcher.h"
#include "sources/site/sitetexts.h"
#include "sources/sourceerrors.h"

using namespace sitetext;

namespace {

// The site's markers, byte for byte; those with Chinese text are in the catalogue.
const std::string kRowMarker =
    "<tr onMouseOver=\"this.className='td-over'\" onMouseOut=\"this.className='td-out'\">";
const std::string kTableMarker =
    "<table width=\"772\" border=\"0\" align=\"center\" cellpadding=\"0\" cellspacing=\"0\" class=\"table2\">";
const std::string kRowEnd = "</tr>";
const std::string kZiZwMarker = "<td align=\"left\" class=\"zi_zw\">&nbsp;";
const std::string kKuang2Marker = "<td colspan=\"3\" class=\"kuang2\">&nbsp;";
const std::string kStatusMarker = "<td align=left colspan=\"4\"  >";
const std::string kCellEnd = "</td>";

// The doubled quotes in the brackets are the site's own spelling of the pattern.
const char kLinkPattern[] = "href\\s*=\\s*[\"\"]?[\"\"]([^\"\">]+?)[\"\"]";
static_assert(sizeof(kLinkPattern) - 1 == 34, "the link pattern is 34 bytes");

const std::string kFormContentType = "application/x-www-form-urlencoded";

long Len(const std::string& s) { return long(s.size()); }

// The text after the first occurrence of marker (marker length n), without the last
// byte of text, cut at the next "</td>": the reading shared by the detail and status cells.
std::string CellAfter(const std::string& text, const std::string& marker) {
  long start = BytePos(marker, text) + Len(marker);
  std::string s = ByteCopy(text, start, Len(text) - start);
  long q = BytePos(kCellEnd, s);
  return ByteCopy(s, 1, q - 1);
}

const std::string kViewerMarker = "onclick=javascript:browsetif";  // 28 bytes


std::string AfterMarker(const std::string& s) {
  long start = BytePos(kViewerMarker, s) + Len(kViewerMarker);
  return ByteCopy(s, start, Len(s) - start);
}

bool IsBlank(unsigned char c) { return c >= 1 && c <= 32; }

// Comma-separated fields: blanks and control bytes also end a field and are skipped
// between fields; a field opened by a double quote runs to its closing quote, "" inside
// standing for one. A NUL byte ends the text.
std::vector<std::string> SplitFields(const std::string& text) {
  std::string s = text.substr(0, text.find('\0'));
  std::vector<std::string> fields;
  size_t i = 0, n = s.size();
  auto skipBlanks = [&] {
    while (i < n && IsBlank(static_cast<unsigned char>(s[i]))) ++i;
  };
  skipBlanks();
  while (i < n) {
    std::string field;
    if (s[i] == '"') {
      ++i;
      while (i < n) {
        if (s[i] == '"') {
          if (i + 1 < n && s[i + 1] == '"') {
            field += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        field += s[i++];
      }
    } else {
      size_t start = i;
      while (i < n && static_cast<unsigned char>(s[i]) > 32 && s[i] != ',') ++i;
      field = s.substr(start, i - start);
    }
    fields.push_back(field);
    skipBlanks();
    if (i < n && s[i] == ',') {
      if (i + 1 == n) fields.emplace_back();  // a trailing comma ends with an empty field
      do {
        ++i;
      } while (i < n && IsBlank(static_cast<unsigned char>(s[i])));
    }
  }
  return fields;
}

// Blanks, an optional sign and decimal digits within the 32-bit range, nothing else.
bool ReadsAsInteger(const std::string& text, int& value) {
  int64_t v = 0;
  if (!ReadDecimal(text.substr(std::min(text.size(), text.find_first_not_of(' '))), v) || v < INT32_MIN ||
      v > INT32_MAX)
    return false;
  value = static_cast<int>(v);
  return true;
}

}  // namespace

std::string PostResultList(const std::string& recshu, const std::string& searchword) {
  const SiteHosts hosts = Hosts();
  THttpClient client;
  client.Request.Referer = "http://" + hosts.PortalHost + "/sipo/zw_left.htm";
  client.Request.AcceptLanguage = "zh-cn";
  client.Request.ContentType = kFormContentType;
  std::vector<std::string> fields = {"recshu=" + recshu, "searchword=" + searchword, "selectbase=0",
                                     "flag3=1", "sign=0", "pg=1"};
  return client.HttpPostForm("http://" + hosts.SearchHost + "/sipo/zljs/hyjs-jieguo.jsp", fields);
}

int ReadRecordCount(const std::string& page) {
  long a = BytePos(kCountStart, page);
  long b = BytePos(kCountEnd, page);
  if (b == a || a == 0) return 0;
  return ReadInteger(ByteCopy(page, a + 4, b - a - 4));
}

TRecordRows RecordRowsOf(const std::string& page) {
  const long first = std::max(BytePos(kRowMarker, page), 1L);
  const long table = BytePos(kTableMarker, page, first);
  return table == 0 ? TRecordRows() : TRecordRows{first, table};
}

RecordLinks::RecordLinks(const std::string& page) : RecordLinks(std::string(page)) {}

RecordLinks::RecordLinks(std::string&& page) {
  // Result pages run to megabytes: the rows are searched where they stand, the
  // page only cut off after them (the link pattern looks at no byte before a match).
  const TRecordRows rows = RecordRowsOf(page);
  page.resize(size_t(rows.last));
  text_ = std::move(page);
  first_ = rows.first;
  matcher_ = std::make_unique<TPatternMatcher>();
  matcher_->SetExpression(kLinkPattern);
}

RecordLinks::~RecordLinks() = default;

bool RecordLinks::Next(std::string& link) {
  // An empty cut (no table marker) holds no link; it is not handed to the matcher.
  if (done_ || (!started_ && text_.empty())) return false;
  bool found;
  if (!started_) {
    started_ = true;
    found = matcher_->Exec(std::move(text_), first_);
  } else {
    // Each record's row links it twice: pass over the second match of the pair.
    found = matcher_->ExecNext() && matcher_->ExecNext();
  }
  if (!found) {
    done_ = true;
    return false;
  }
  link = matcher_->MatchText(1);
  return true;
}

std::string FirstRecordLink(const std::string& page) {
  long start = BytePos(kRowMarker, page) + Len(kRowMarker);
  std::string s = ByteCopy(page, start, Len(page) - start);
  long q = BytePos(kRowEnd, s);
  s = ByteCopy(s, 1, q);
  if (s.empty()) return s;
  try {
    TPatternMatcher matcher;
    matcher.SetExpression(kLinkPattern);
    if (matcher.Exec(s)) return matcher.MatchText(1);
    return s;
  } catch (const EPatternMatcher&) {
    return "";
  }
}

std::string ApplicationNumberFromLink(const std::string& link) {
  long start = BytePos("recid=", link) + 6 + 2;  // past the country prefix
  std::string s = ByteCopy(link, start, Len(link) - start);
  long q = BytePos("&leixin", s);
  return ByteCopy(s, 1, q - 3);  // without the dot and the check digit
}

std::string TitleFromLink(const std::string& link) {
  long start = BytePos("title=", link) + 6;
  std::string s = ByteCopy(link, start, Len(link) - start);
  long q = BytePos("&ipc=", s);
  return ByteCopy(s, 1, q - 1);
}

std::string ClassFromLink(const std::string& link) {
  long start = BytePos("&ipc=", link) + 5;
  return ByteCopy(link, start, Len(link) - start);
}

std::string FetchDetailPage(const std::string& link) {
  const SiteHosts hosts = Hosts();
  THttpClient client;
  return client.HttpGetText("http://" + hosts.SearchHost + "/sipo/zljs/" + link);
}

std::string AbstractFrom(const std::string& page, int typeCode) {
  if (typeCode == 3) return kNone;
  return CellAfter(page, kZiZwMarker);
}

std::string FirstClaimFrom(const std::string& page, int typeCode) {
  if (typeCode == 3) return kNone;
  long start = BytePos(kZiZwMarker, page) + Len(kZiZwMarker);
  std::string s1 = ByteCopy(page, start, Len(page) - start);
  return CellAfter(s1, kZiZwMarker);
}

std::string PatenteeFrom(const std::string& page, int typeCode) {
  if (typeCode == 3) return CellAfter(page, kDesignPatenteeMarker);
  long start = BytePos(kKuang1Marker, page) + Len(kKuang1Marker);
  std::string s = ByteCopy(page, start, Len(page) - start);
  long q = BytePos(kCellEnd, s);
  s = ByteCopy(s, 1, q);  // keeps the "<" of the closing "</td>"; the count below drops it
  long r = BytePos(kKuang2Marker, s) + Len(kKuang2Marker);
  return ByteCopy(s, r, Len(s) - r);
}

// GBK trail bytes never take the values of '<', '&' or ';'.
std::string PlainCellText(const std::string& html) {
  std::string text;
  for (size_t i = 0; i < html.size(); ++i) {
    if (html[i] == '<') {
      size_t close = html.find('>', i);
      if (close == std::string::npos) break;
      i = close;
      text += ' ';
      continue;
    }
    if (html[i] == '&') {
      static const std::pair<const char*, char> kEntities[] = {
          {"&nbsp;", ' '}, {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}};
      bool decoded = false;
      for (const auto& [entity, c] : kEntities) {
        if (html.compare(i, std::char_traits<char>::length(entity), entity) == 0) {
          text += c;
          i += std::char_traits<char>::length(entity) - 1;
          decoded = true;
          break;
        }
      }
      if (decoded) continue;
    }
    text += html[i];
  }
  std::string out;
  for (char c : text) {
    const bool blank = static_cast<unsigned char>(c) <= 0x20;
    if (blank && (out.empty() || out.back() == ' ')) continue;
    out += blank ? ' ' : c;
  }
  return TrimBytes(out);
}

std::string FetchLegalStatus(const std::string& number) {
  const SiteHosts hosts = Hosts();
  std::string answer;
  {
    THttpClient client;
    client.Request.Referer = "http://" + hosts.SearchHost + "/sipo/zljs/searchflzt.jsp";
    client.Request.AcceptLanguage = "zh-cn";
    client.Request.ContentType = kFormContentType;
    std::vector<std::string> fields = {"textfield1=" + number, "textfield4=", "textfield5=",
                                       kConfirmField, kSearchWordField + number + "%"};
    answer = client.HttpPostForm("http://" + hosts.SearchHost + "/sipo/zljs/FlztResult.jsp", fields);
  }
  return CellAfter(answer, kStatusMarker);
}

TPageList ReadPageList(const std::string& detailPage) {
  if (BytePos(kViewerMarker, detailPage) == 0) throw EPageListError("No page-viewer call on the detail page");
  std::string s = AfterMarker(detailPage);
  // A granted invention lists its earlier publication first; the second call is the document.
  if (BytePos(kViewerMarker, s) > 0) s = AfterMarker(s);
  long q = BytePos(")", s);
  s = ByteCopy(s, 1, q - 1);
  std::string unquoted;
  for (char c : s) {
    if (c != '\'') unquoted += c;
  }
  std::vector<std::string> fields = SplitFields(unquoted);
  if (fields.size() < 3) throw EPageListError("The page-viewer call has fewer than three fields");
  TPageList list;
  if (!ReadsAsInteger(fields[1], list.pageCount))
    throw EPageListError("The page count of the page-viewer call is not a number: " + fields[1]);
  const std::string& first = fields[2];
  list.imageBase = first.size() > 10 ? first.substr(0, first.size() - 10) : "";
  return list;
}

std::string BuildSearchExpression(const std::string& title, const std::string& abstractWords,
                                  const std::string& classification) {
  const std::string t = TrimBytes(title);
  const std::string a = TrimBytes(abstractWords);
  // Upper-cased before trimming, byte by byte: trail bytes of Chinese characters too.
  const std::string c = TrimBytes(UpperAscii(classification));
  std::string e;
  if (!t.empty()) e = sitetext::kTitleTerm + t + ") ";
  if (!a.empty()) e = e.empty() ? sitetext::kAbstractTerm + a + ")" : e + "and " + sitetext::kAbstractTerm + a + ") ";
  if (!c.empty()) e = e.empty() ? sitetext::kClassTerm + c + "%')" : e + "and " + sitetext::kClassTerm + c + "%') ";
  return e;
}
