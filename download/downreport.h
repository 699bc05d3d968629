#pragma once
#include <ctime>
#include <string>
#include <vector>

#include "base/path.h"

// The download report page: GBK lines, written with CR LF, inserted values unescaped.

// The seven head lines; programDir without a trailing "/", now as the run's start time.
std::vector<std::string> DownloadReportHead(const TPath& programDir, std::time_t now);

// The eight lines of one record's row, linking the record's PDF. An OPS document shows its
// publication under the number; its application gives the type.
void AppendDownloadReportRow(std::vector<std::string>& lines, int position, const std::string& number,
                             const std::string& title, const std::string& classification, const TPath& pdf,
                             const std::string& publication = "", const std::string& application = "");

// The row of a record that was not found, whose record or detail request failed, or whose
// PDF did not come: the reason stands in the title's cell, and there is no PDF to link.
// publication and application as for AppendDownloadReportRow.
void AppendDownloadFailureRow(std::vector<std::string>& lines, int position, const std::string& number,
                              const std::string& reason, const std::string& classification,
                              const std::string& publication = "", const std::string& application = "");

void AppendDownloadReportTail(std::vector<std::string>& lines);

// index.html in the temp folder of root.
TPath DownloadReportPath(const TPath& root);

// Makes sure the temp folder exists, then writes the page, replacing the earlier one.
// Throws EFileError when it cannot be written.
void SaveDownloadReport(const TPath& root, const std::vector<std::string>& lines);
