#pragma once
#include <ctime>
#include <string>
#include <vector>

#include "base/path.h"

// The download report page: GBK lines, written with CR LF, inserted values unescaped.

// The seven head lines; programDir without a trailing "/", now as the run's start time.
std::vector<std::string> DownloadReportHead(const TPath& programDir, std::time_t now);

// The eight lines of one record's row, linking the record's PDF.
void AppendDownloadReportRow(std::vector<std::string>& lines, int position, const std::string& number,
                             const std::string& title, const std::string& classification, const TPath& pdf);

void AppendDownloadReportTail(std::vector<std::string>& lines);

// index.html in the temp folder of root.
TPath DownloadReportPath(const TPath& root);

// Makes sure the temp folder exists, then writes the page, replacing the earlier one.
// Throws EFileError when it cannot be written.
void SaveDownloadReport(const TPath& root, const std::vector<std::string>& lines);
