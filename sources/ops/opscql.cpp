#include "sources/ops/opscql.h"

#include <algorithm>

#include "base/bytes.h"
#include "base/gbk.h"
#include "sources/replytext.h"

namespace {

bool IsAlnum(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }

std::string IpcTerm(const std::string& gbk) {
  std::string ipc = UpperAscii(CleanReplyText(GbkToUtf8(gbk)));
  ipc.erase(std::remove(ipc.begin(), ipc.end(), ' '), ipc.end());
  if (ipc.empty() || std::all_of(ipc.begin(), ipc.end(), IsAlnum)) return ipc;
  return CqlQuoted(ipc);
}

int Year(int date) { return date / 10000; }
int Month(int date) { return date / 100 % 100; }
int Day(int date) { return date % 100; }
int Date(int y, int m, int d) { return y * 10000 + m * 100 + d; }

int DaysIn(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m == 2 && leap ? 29 : kDays[(m - 1) % 12];
}

constexpr int kFirstYear = 1985;

}  // namespace

std::string CqlQuoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string OpsCql(const TOpsSearchFields& fields) {
  std::vector<std::string> clauses;
  const std::string title = CleanReplyText(GbkToUtf8(fields.titleWords));
  const std::string abstract = CleanReplyText(GbkToUtf8(fields.abstractWords));
  const std::string ipc = IpcTerm(fields.ipcClass);
  if (!title.empty()) clauses.push_back("ti all " + CqlQuoted(title));
  if (!abstract.empty()) clauses.push_back("ab all " + CqlQuoted(abstract));
  if (!ipc.empty()) clauses.push_back("ic=" + ipc);
  clauses.push_back("pn=CN");
  std::string cql;
  for (const std::string& clause : clauses) cql += (cql.empty() ? "" : " and ") + clause;
  return cql;
}

std::string QueryValueEncoded(const std::string& text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (char c : text) {
    if (IsAlnum(c) || c == '-' || c == '.' || c == '_' || c == '~')
      out += c;
    else
      AppendPercentEscape(out, static_cast<unsigned char>(c));
  }
  return out;
}

std::string CqlWithin(const std::string& cql, const TDateRange& range) {
  return cql + " and pd within \"" + std::to_string(range.from) + " " + std::to_string(range.to) + "\"";
}

TDateRange AllPublicationDates(int today) { return {Date(kFirstYear, 1, 1), Date(Year(today), 12, 31)}; }

std::optional<std::pair<TDateRange, TDateRange>> SplitRange(const TDateRange& r) {
  if (r.from >= r.to) return std::nullopt;
  const int y = Year(r.from), m = Month(r.from);
  if (y != Year(r.to)) {
    const int mid = (y + Year(r.to)) / 2;
    return std::make_pair(TDateRange{r.from, Date(mid, 12, 31)}, TDateRange{Date(mid + 1, 1, 1), r.to});
  }
  if (m != Month(r.to)) {
    const int mid = (m + Month(r.to)) / 2;
    return std::make_pair(TDateRange{r.from, Date(y, mid, DaysIn(y, mid))}, TDateRange{Date(y, mid + 1, 1), r.to});
  }
  const int mid = (Day(r.from) + Day(r.to)) / 2;
  return std::make_pair(TDateRange{r.from, Date(y, m, mid)}, TDateRange{Date(y, m, mid + 1), r.to});
}

TOpsSlicer::TOpsSlicer(TDateRange whole, long wholeCount, TCounter counter)
    : counter_(std::move(counter)), pending_{whole}, whole_(whole) {
  counts_[whole] = wholeCount;
}

long TOpsSlicer::CountOf(const TDateRange& range) {
  auto it = counts_.find(range);
  if (it != counts_.end()) return it->second;
  const long count = std::max(0L, counter_(range));
  counts_[range] = count;
  return count;
}

long TOpsSlicer::SumUnder(const TDateRange& range) {
  const long count = CountOf(range);
  if (count < kOpsCountCap) return count;
  const auto halves = SplitRange(range);
  const int unknown = halves ? !counts_.count(halves->first) + !counts_.count(halves->second) : 0;
  // Out of counts: the range's own count is what is known, and less than the truth.
  if (!halves || unknown > totalBudget_) return count;
  totalBudget_ -= unknown;
  return SumUnder(halves->second) + SumUnder(halves->first);
}

long TOpsSlicer::Total() { return SumUnder(whole_); }

std::optional<TOpsSlice> TOpsSlicer::Next() {
  while (!pending_.empty()) {
    const TDateRange range = pending_.back();
    pending_.pop_back();
    const long count = CountOf(range);
    if (count == 0) continue;
    const auto halves = count > kOpsServedHits ? SplitRange(range) : std::nullopt;
    if (!halves) return TOpsSlice{range, count};
    pending_.push_back(halves->first);
    pending_.push_back(halves->second);
  }
  return std::nullopt;
}
