#include "download/downreport.h"

#include "base/datadir.h"
#include "base/files.h"
#include "base/ini.h"
#include "download/downtexts.h"
#include "download/pages.h"
#include "sources/source.h"

using namespace downreporttext;

namespace {

std::string Formatted(std::time_t when, const char* format) {
  std::tm local{};
  localtime_r(&when, &local);
  char buf[64];
  size_t n = std::strftime(buf, sizeof buf, format, &local);
  return std::string(buf, n);
}

}  // namespace

std::vector<std::string> DownloadReportHead(const TPath& programDir, std::time_t now) {
  // Fixed equivalents of a short date and a long time, independent of the locale.
  const std::string date = Formatted(now, "%Y-%m-%d");
  const std::string dateTime = date + " " + Formatted(now, "%H:%M:%S");
  return {
      "<html>",
      "<head><title>" + date + "</title>",
      datadir::StylesheetLine(programDir),
      "</head><body>",
      kTimeHead + dateTime + "</h3>",
      "<table border=\"0\" align=\"center\" cellpadding=\"0\" cellspacing=\"0\" >",
      kTitleRow,
  };
}

namespace {

void AppendRow(std::vector<std::string>& lines, int position, const std::string& number, const std::string& titleCell,
               const std::string& classification, const std::string& pdfCell, const std::string& publication = "",
               const std::string& application = "") {
  lines.push_back("<tr class=\"detail\">");
  lines.push_back("<td>" + std::to_string(position) + "</td>");
  lines.push_back("<td>" + TypeNameOf(application.empty() ? number : application) + "</td>");
  lines.push_back("<td>" + number + (publication.empty() ? "" : "<br>" + publication) + "</td>");
  lines.push_back("<td>" + titleCell + "</td>");
  lines.push_back("<td>" + classification + "</td>");
  lines.push_back(pdfCell);
  lines.push_back("</tr>");
}

}  // namespace

void AppendDownloadReportRow(std::vector<std::string>& lines, int position, const std::string& number,
                             const std::string& title, const std::string& classification, const TPath& pdf,
                             const std::string& publication, const std::string& application) {
  // The "s after the closing quote is the page's own spelling; browsers ignore it.
  AppendRow(lines, position, number, title, classification,
            "<td><a href=\"" + datadir::LinkTarget(pdf) + "\"s>" + kViewLink + "</a></td>", publication, application);
}

void AppendDownloadFailureRow(std::vector<std::string>& lines, int position, const std::string& number,
                              const std::string& reason, const std::string& classification,
                              const std::string& publication, const std::string& application) {
  AppendRow(lines, position, number, reason, classification, "<td></td>", publication, application);
}

void AppendDownloadReportTail(std::vector<std::string>& lines) {
  lines.push_back("</body>");
  lines.push_back("</html>");
}

TPath DownloadReportPath(const TPath& root) {
  return datadir::FolderPath(root, datadir::Folder::Temp) + "/index.html";
}

void SaveDownloadReport(const TPath& root, const std::vector<std::string>& lines) {
  datadir::EnsureFolder(root, datadir::Folder::Temp);
  WriteTextLines(DownloadReportPath(root), lines);
}
