#include "sources/ops/opsquery.h"

#include <algorithm>
#include <cstdio>

#include "base/bytes.h"
#include "base/gbk.h"
#include "sources/ops/cqlterms.h"
#include "sources/ops/opsnumbers.h"
#include "sources/ops/opstexts.h"
#include "sources/replytext.h"

using namespace opsquerytext;

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlnum(char c) { return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool Leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int DaysIn(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && Leap(y) ? 29 : kDays[m - 1];
}

int Digits(const std::string& s, size_t at, size_t n) {
  int v = 0;
  for (size_t i = at; i < at + n; ++i) v = v * 10 + (s[i] - '0');
  return v;
}

// A class as a term: upper case, no blanks, quoted unless letters and digits only.
std::string ClassTerm(const std::string& gbk) {
  std::string code = UpperAscii(CleanReplyText(GbkToUtf8(gbk)));
  code.erase(std::remove(code.begin(), code.end(), ' '), code.end());
  if (code.empty() || std::all_of(code.begin(), code.end(), IsAlnum)) return code;
  return CqlQuoted(code);
}

std::string Typed(const std::string& gbk) { return CleanReplyText(GbkToUtf8(gbk)); }

// The first index (or the whole query, index "") past OPS's limits; nothing when it fits.
std::string TooMany(const std::string& cql) {
  const TCqlTermCount count = CqlTermCount(cql);
  for (const auto& [index, n] : count.byIndex)
    if (n > kOpsTermsPerField)
      return kTooManyA + Utf8ToGbkWithReferences(index) + kTooManyB + std::to_string(n) + kTooManyC +
             std::to_string(kOpsTermsPerField) + kTooManyD;
  if (count.total > kOpsTermsInAll)
    return kTooManyA + std::string(kTooManyAll) + kTooManyB + std::to_string(count.total) + kTooManyC +
           std::to_string(kOpsTermsInAll) + kTooManyD;
  return {};
}

}  // namespace

std::optional<int> ReadQueryDate(const std::string& typed, bool end) {
  const std::string text = TrimBytes(typed);
  int y = 0, m = 0, d = 0;
  auto digitsAt = [&](std::initializer_list<size_t> at) {
    return std::all_of(at.begin(), at.end(), [&](size_t i) { return IsDigit(text[i]); });
  };
  if (text.size() == 4 && digitsAt({0, 1, 2, 3})) {
    y = Digits(text, 0, 4);
  } else if (text.size() == 7 && text[4] == '-' && digitsAt({0, 1, 2, 3, 5, 6})) {
    y = Digits(text, 0, 4), m = Digits(text, 5, 2);
  } else if (text.size() == 10 && text[4] == '-' && text[7] == '-' && digitsAt({0, 1, 2, 3, 5, 6, 8, 9})) {
    y = Digits(text, 0, 4), m = Digits(text, 5, 2), d = Digits(text, 8, 2);
  } else if (text.size() == 8 && digitsAt({0, 1, 2, 3, 4, 5, 6, 7})) {
    y = Digits(text, 0, 4), m = Digits(text, 4, 2), d = Digits(text, 6, 2);
  } else {
    return std::nullopt;
  }
  const bool hasMonth = text.size() > 4, hasDay = text.size() >= 8;
  if (y < 1000 || (hasMonth && (m < 1 || m > 12)) || (hasDay && (d < 1 || d > DaysIn(y, m)))) return std::nullopt;
  if (m == 0) m = end ? 12 : 1;
  if (d == 0) d = end ? DaysIn(y, m) : 1;
  return y * 10000 + m * 100 + d;
}

std::string ExpiryEstimate(const std::string& application, const std::string& filingDate) {
  if (filingDate.size() != 8 || !std::all_of(filingDate.begin(), filingDate.end(), IsDigit)) return {};
  const int type = TOpsApplication{application}.TypeDigit();
  const int filed = std::stoi(filingDate);
  int years = 0;
  if (type == 1 || type == 8)
    years = 20;
  else if (type == 2 || type == 9)
    years = 10;
  else if (type == 3)
    years = filed < 20210601 ? 10 : 15;
  else
    return {};
  int y = filed / 10000 + years, m = filed / 100 % 100, d = filed % 100;
  if (m < 1 || m > 12 || d < 1 || d > 31) return {};
  // The day before the anniversary (a 29 February filing ends on 28 February).
  if (m == 2 && d == 29 && !Leap(y)) {
    d = 28;
  } else if (--d == 0) {
    if (--m == 0) m = 12, --y;
    d = DaysIn(y, m);
  }
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
  return buf;
}

TOpsQuery BuildOpsQuery(const TOpsQueryFields& f, int today) {
  TOpsQuery q;
  for (const std::string* typed : {&f.title, &f.abstractWords, &f.ipcClass, &f.applicant, &f.inventor, &f.text, &f.cpc,
                                   &f.number, &f.from, &f.to})
    q.empty = q.empty && CleanReplyText(GbkToUtf8(*typed)).empty();
  // The dates first: a range that does not read stops everything else.
  std::optional<int> from, to;
  if (!TrimBytes(f.from).empty() && !(from = ReadQueryDate(f.from, false))) {
    q.problem = kBadFrom + TrimBytes(f.from);
    return q;
  }
  if (!TrimBytes(f.to).empty() && !(to = ReadQueryDate(f.to, true))) {
    q.problem = kBadTo + TrimBytes(f.to);
    return q;
  }
  if (from || to) {
    q.dates = TDateRange{from.value_or(AllPublicationDates(today).from), to.value_or(AllPublicationDates(today).to)};
    if (q.dates->to < q.dates->from) {
      q.problem = kToBeforeFrom + TrimBytes(f.to);
      return q;
    }
  }

  // The clauses besides the text fields, to tell the glossary how many terms they leave.
  std::vector<std::string> names;
  if (const std::string pa = Typed(f.applicant); !pa.empty()) names.push_back("pa all " + CqlQuoted(pa));
  if (const std::string in = Typed(f.inventor); !in.empty()) names.push_back("in all " + CqlQuoted(in));
  std::vector<std::string> codes;
  if (const std::string ic = ClassTerm(f.ipcClass); !ic.empty()) codes.push_back("ic=" + ic);
  if (const std::string cpc = ClassTerm(f.cpc); !cpc.empty()) codes.push_back("cpc=" + cpc);
  if (!TrimBytes(f.number).empty()) {
    TOpsNumber number;
    std::string reason;
    if (!ReadOpsNumber(TrimBytes(f.number), number, reason)) {
      q.problem = kBadNumber + TrimBytes(f.number) + " (" + reason + ")";
      return q;
    }
    codes.push_back(number.form == TOpsNumber::TForm::Publication ? "pn=" + number.publication.Shown()
                                                                   : "ap=" + number.application.Epodoc());
  }
  std::vector<std::string> rest = names;
  rest.insert(rest.end(), codes.begin(), codes.end());
  rest.push_back("pn=CN");
  std::string restCql;
  for (const std::string& c : rest) restCql += (restCql.empty() ? "" : " and ") + c;
  const std::string datesCql = q.dates ? CqlWithin("", *q.dates).substr(5) : "";
  const int otherTerms = CqlTermCount(restCql).total + (q.dates ? CqlTermCount(datesCql).total : 0);

  const std::vector<TOpsTextField> texts = {
      {"ti", GbkToUtf8(f.title)}, {"ab", GbkToUtf8(f.abstractWords)}, {"ta", GbkToUtf8(f.text)}};
  TOpsTextClauses clauses = OpsTextClauses(texts, otherTerms, f.translate);
  q.dropped = std::move(clauses.dropped);
  q.untranslated = std::move(clauses.untranslated);
  std::vector<std::string> all;
  for (std::string& c : clauses.clauses)
    if (!c.empty()) all.push_back(std::move(c));
  all.insert(all.end(), rest.begin(), rest.end());
  for (const std::string& c : all) q.cql += (q.cql.empty() ? "" : " and ") + c;
  q.problem = TooMany(q.Sent());
  return q;
}
