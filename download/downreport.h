#pragma once
#include <ctime>
#include <string>
#include <vector>

// The download report page: GBK lines, written with CR LF, inserted values unescaped.

// The seven head lines; programDir without a trailing "/", now as the run's start time.
std::vector<std::string> DownloadReportHead(const std::string& programDir, std::time_t now);

// The eight lines of one record's row.
void AppendDownloadReportRow(std::vector<std::string>& lines, int position, const std::string& number,
                             const std::string& title, const std::string& classification,
                             const std::string& pdfDir);

void AppendDownloadReportTail(std::vector<std::string>& lines);

// The PDF link target: the PDF's path with "%", "#" and "?" written as escapes, so a
// title holding them still links to its file.
std::string PdfLinkTarget(const std::string& pdfDir, const std::string& title);

// root + "/data/temp/index.html"
std::string DownloadReportPath(const std::string& root);

// Makes sure root/data and root/data/temp exist, then writes the page, replacing the
// earlier one. Throws EFileError when it cannot be written.
void SaveDownloadReport(const std::string& root, const std::vector<std::string>& lines);
