#include "library/charts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>

#include "base/gbk.h"
#include "library/librarytexts.h"

namespace {

std::string U(const char* gbk) { return GbkToUtf8(gbk); }

std::string Escaped(const std::string& s) {
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

std::string Num(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", v);
  return buf;
}

// At most n characters, an ellipsis after a cut.
std::string Shortened(const std::string& s, size_t n) {
  size_t at = 0, count = 0;
  while (at < s.size() && count < n) {
    const size_t len = Utf8SequenceAt(s.data() + at, s.size() - at);
    at += len ? len : 1;
    ++count;
  }
  return at < s.size() ? s.substr(0, at) + "\xe2\x80\xa6" : s;
}

std::vector<TChartBar> TopTen(const std::map<std::string, int>& counts) {
  std::vector<TChartBar> bars;
  for (const auto& [label, value] : counts) bars.push_back({label, value});
  std::stable_sort(bars.begin(), bars.end(), [](const TChartBar& a, const TChartBar& b) { return a.value > b.value; });
  if (bars.size() > 10) bars.resize(10);
  return bars;
}

const char* Name(TChartKind kind) {
  switch (kind) {
    case TChartKind::Years: return "years";
    case TChartKind::Applicants: return "applicants";
    case TChartKind::Ipc: return "ipc";
    case TChartKind::Legal: break;
  }
  return "legal";
}

std::string Title(TChartKind kind) {
  using namespace charttext;
  switch (kind) {
    case TChartKind::Years: return U(kYears);
    case TChartKind::Applicants: return U(kApplicants);
    case TChartKind::Ipc: return U(kIpc);
    case TChartKind::Legal: break;
  }
  return U(kLegal);
}

constexpr int kWidth = 480, kHeight = 280;
const char* const kColours[] = {"#2e7d32", "#c62828", "#f9a825", "#9e9e9e"};

std::string Bar(const TChartBar& bar, double x, double y, double w, double h) {
  return "<rect data-label=\"" + Escaped(bar.label) + "\" data-value=\"" + std::to_string(bar.value) + "\" x=\"" +
         Num(x) + "\" y=\"" + Num(y) + "\" width=\"" + Num(w) + "\" height=\"" + Num(h) +
         "\" fill=\"#4a78b5\"><title>" + Escaped(bar.label) + ": " + std::to_string(bar.value) + "</title></rect>";
}

std::string Text(double x, double y, const std::string& text, const char* anchor, int size = 11,
                 const std::string& extra = "") {
  return "<text x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" font-size=\"" + std::to_string(size) +
         "\" text-anchor=\"" + anchor + "\"" + extra + ">" + Escaped(text) + "</text>";
}

// Vertical bars, one a year, the label under every bar when they fit, else every few.
std::string Columns(const std::vector<TChartBar>& bars, int max) {
  std::string s;
  const double left = 36, bottom = kHeight - 30, top = 34, width = kWidth - left - 10;
  const double step = width / double(bars.size());
  const size_t every = std::max<size_t>(1, size_t(std::ceil(bars.size() * 34.0 / width)));
  for (size_t i = 0; i < bars.size(); ++i) {
    const double h = max ? (bottom - top) * bars[i].value / max : 0;
    const double x = left + step * double(i);
    s += Bar(bars[i], x + step * 0.1, bottom - h, step * 0.8, h);
    if (bars[i].value > 0 && step >= 18) s += Text(x + step / 2, bottom - h - 3, std::to_string(bars[i].value), "middle", 10);
    if (i % every == 0) s += Text(x + step / 2, bottom + 14, bars[i].label, "middle", 10);
  }
  s += "<line x1=\"" + Num(left) + "\" y1=\"" + Num(bottom) + "\" x2=\"" + Num(kWidth - 10) + "\" y2=\"" + Num(bottom) +
       "\" stroke=\"#333\"/>";
  return s;
}

// Horizontal bars, label on the left, count on the right.
std::string Rows(const std::vector<TChartBar>& bars, int max) {
  std::string s;
  const double labelWidth = 170, top = 34, right = kWidth - 40;
  const double step = (kHeight - top - 8) / 10.0;
  for (size_t i = 0; i < bars.size(); ++i) {
    const double y = top + step * double(i);
    const double w = max ? (right - labelWidth) * bars[i].value / max : 0;
    s += Text(labelWidth - 6, y + step * 0.65, Shortened(bars[i].label, 14), "end");
    s += Bar(bars[i], labelWidth, y + step * 0.1, w, step * 0.8);
    s += Text(labelWidth + w + 4, y + step * 0.65, std::to_string(bars[i].value), "start", 10);
  }
  return s;
}

// A pie of the states, a legend beside it.
std::string Pie(const std::vector<TChartBar>& slices) {
  int total = 0;
  for (const TChartBar& b : slices) total += b.value;
  std::string s;
  const double cx = 140, cy = 155, r = 100;
  double angle = -M_PI / 2;
  for (size_t i = 0; i < slices.size(); ++i) {
    const TChartBar& b = slices[i];
    const std::string data = "data-label=\"" + Escaped(b.label) + "\" data-value=\"" + std::to_string(b.value) + "\"";
    std::string colour = kColours[3];
    for (int k = 0; k < 4; ++k)
      if (b.label == LegalStateName(TLegalState(k))) colour = kColours[k];
    const std::string tip = "<title>" + Escaped(b.label) + ": " + std::to_string(b.value) + "</title>";
    if (b.value == total) {
      s += "<circle " + data + " cx=\"" + Num(cx) + "\" cy=\"" + Num(cy) + "\" r=\"" + Num(r) + "\" fill=\"" + colour +
           "\">" + tip + "</circle>";
    } else {
      const double sweep = 2 * M_PI * b.value / total;
      const double x1 = cx + r * std::cos(angle), y1 = cy + r * std::sin(angle);
      const double x2 = cx + r * std::cos(angle + sweep), y2 = cy + r * std::sin(angle + sweep);
      s += "<path " + data + " d=\"M" + Num(cx) + "," + Num(cy) + " L" + Num(x1) + "," + Num(y1) + " A" + Num(r) + "," +
           Num(r) + " 0 " + (sweep > M_PI ? "1" : "0") + ",1 " + Num(x2) + "," + Num(y2) + " Z\" fill=\"" + colour +
           "\" stroke=\"#fff\">" + tip + "</path>";
      angle += sweep;
    }
    const double ly = 80 + 26 * double(i);
    s += "<rect x=\"280\" y=\"" + Num(ly - 11) + "\" width=\"14\" height=\"14\" fill=\"" + colour + "\"/>";
    char share[32];
    std::snprintf(share, sizeof share, " %d (%.0f%%)", b.value, 100.0 * b.value / total);
    s += Text(300, ly, b.label + share, "start", 12);
  }
  return s;
}

}  // namespace

std::vector<TChartBar> ChartData(TChartKind kind, const std::vector<TPatentRecord>& records) {
  std::vector<TChartBar> bars;
  switch (kind) {
    case TChartKind::Years: {
      std::map<int, int> years;
      for (const TPatentRecord& r : records)
        if (const int y = ApplicationYear(r)) ++years[y];
      if (years.empty()) break;
      for (int y = years.begin()->first; y <= years.rbegin()->first; ++y)
        bars.push_back({std::to_string(y), years.count(y) ? years[y] : 0});
      break;
    }
    case TChartKind::Applicants: {
      std::map<std::string, int> counts;
      for (const TPatentRecord& r : records) {
        std::set<std::string> names(r.applicants.begin(), r.applicants.end());
        if (names.empty()) names.insert(r.applicantsLatin.begin(), r.applicantsLatin.end());
        for (const std::string& n : names) ++counts[n];
      }
      bars = TopTen(counts);
      break;
    }
    case TChartKind::Ipc: {
      std::map<std::string, int> counts;
      for (const TPatentRecord& r : records) {
        std::set<std::string> subclasses;
        for (const std::string& code : r.ipc)
          if (!IpcSubclass(code).empty()) subclasses.insert(IpcSubclass(code));
        for (const std::string& c : subclasses) ++counts[c];
      }
      bars = TopTen(counts);
      break;
    }
    case TChartKind::Legal: {
      int counts[4] = {0, 0, 0, 0};
      for (const TPatentRecord& r : records) ++counts[int(LegalStateOf(r.legalStatus))];
      for (int k = 0; k < 4; ++k)
        if (counts[k]) bars.push_back({LegalStateName(TLegalState(k)), counts[k]});
      break;
    }
  }
  return bars;
}

std::string ChartSvg(TChartKind kind, const std::vector<TPatentRecord>& records) {
  const std::vector<TChartBar> bars = ChartData(kind, records);
  int max = 0;
  for (const TChartBar& b : bars) max = std::max(max, b.value);
  std::string s = "<svg class=\"chart\" data-chart=\"" + std::string(Name(kind)) +
                  "\" xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(kWidth) + "\" height=\"" +
                  std::to_string(kHeight) + "\" viewBox=\"0 0 " + std::to_string(kWidth) + " " +
                  std::to_string(kHeight) + "\" font-family=\"sans-serif\" role=\"img\">";
  s += Text(kWidth / 2.0, 20, Title(kind), "middle", 14, " font-weight=\"bold\"");
  if (bars.empty())
    s += Text(kWidth / 2.0, kHeight / 2.0, U(charttext::kNone), "middle", 12, " fill=\"#777\"");
  else if (kind == TChartKind::Years)
    s += Columns(bars, max);
  else if (kind == TChartKind::Legal)
    s += Pie(bars);
  else
    s += Rows(bars, max);
  return s + "</svg>";
}

std::string ReportCharts(const std::vector<TPatentRecord>& records, bool withLegal) {
  std::string html = "<div class=\"charts\">\r\n";
  for (TChartKind kind : {TChartKind::Years, TChartKind::Applicants, TChartKind::Ipc, TChartKind::Legal}) {
    if (kind == TChartKind::Legal && !withLegal) continue;
    html += ChartSvg(kind, records) + "\r\n";
  }
  return Utf8ToGbkWithReferences(html + "</div>\r\n");
}
