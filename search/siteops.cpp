#include "search/siteops.h"

#include <algorithm>
#include <vector>

#include "base/bytes.h"
#include "base/hosts.h"
#include "http/httpclient.h"
#include "regex/patternmatcher.h"
#include "search/searchtexts.h"

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

int TypeCodeOf(const std::string& number) {
  char c = 0;
  if (number.size() == 6 || number.size() == 8) c = number[2];
  else if (number.size() == 12) c = number[4];
  return (c >= '0' && c <= '9') ? c - '0' : 0;
}

std::string TypeNameOf(const std::string& number) {
  switch (TypeCodeOf(number)) {
    case 1: return kInvention;
    case 2: return kUtilityModel;
    case 3: return kDesign;
    case 8: return kInventionPct;
    case 9: return kUtilityModelPct;
    default: return kUnknownType;
  }
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
