#pragma once
// Charts of a list of records, drawn as inline SVG (no script: they print and open in any
// browser): applications per year, the ten most frequent applicants, the ten most frequent
// IPC subclasses, and the share of each legal state. Each is
// <svg class="chart" data-chart="years|applicants|ipc|legal"> whose bars and slices carry
// data-label and data-value, so a reader can check them against the rows. Needs no SQLite.
#include <string>
#include <vector>

#include "library/record.h"

enum class TChartKind { Years, Applicants, Ipc, Legal };

struct TChartBar {
  std::string label;  // UTF-8
  int value = 0;
};

// What a chart draws, in its order: every year from the first to the last (years without
// applications as 0), the top ten by count (ties by name), the four states with records.
std::vector<TChartBar> ChartData(TChartKind kind, const std::vector<TPatentRecord>& records);

// The chart as SVG markup (UTF-8).
std::string ChartSvg(TChartKind kind, const std::vector<TPatentRecord>& records);

// The charts for a GBK report page, in a <div class="charts">: years, applicants and IPC,
// and the legal states when withLegal. Characters GBK lacks become character references.
std::string ReportCharts(const std::vector<TPatentRecord>& records, bool withLegal);
