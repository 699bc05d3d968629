#include "library/import.h"

#include <sys/stat.h>

#include <algorithm>
#include <ctime>

#include "base/bytes.h"
#include "base/datadir.h"
#include "base/files.h"
#include "library/library.h"
#include "library/reportreader.h"
#include "library/runrecords.h"

namespace {

std::string FileTime(const TPath& file) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) return "";
  std::tm tm{};
  localtime_r(&st.st_mtime, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return buf;
}

// The files of a folder with the suffix (any case), by name.
std::vector<std::string> FilesEndingWith(const TPath& dir, const std::string& suffix) {
  std::vector<std::string> names;
  for (const DirEntry& e : ListDirectory(dir)) {
    const std::string lower = LowerAscii(e.name);
    if (!e.isDirectory && lower.size() > suffix.size() && lower.compare(lower.size() - suffix.size(), suffix.size(), suffix) == 0 &&
        e.name[0] != '.')
      names.push_back(e.name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

TImportable ImportableFiles(const TPath& root) {
  return {int(FilesEndingWith(datadir::FolderPath(root, datadir::Folder::Query), ".html").size()),
          int(FilesEndingWith(datadir::FolderPath(root, datadir::Folder::Pdf), ".pdf").size())};
}

TImportCounts ImportDataRoot(const TPath& root, const std::function<void(const std::string&)>& progress) {
  TImportCounts counts;
  auto say = [&](const std::string& line) {
    if (progress) progress(line);
  };
  const TPath queryDir = datadir::FolderPath(root, datadir::Folder::Query);
  const TPath pdfDir = datadir::FolderPath(root, datadir::Folder::Pdf);
  TLibraryWriter writer(root, {"import", "", "data/query data/pdf", ""});

  for (const std::string& name : FilesEndingWith(queryDir, ".html")) {
    const TPath file = queryDir.Entry(name);
    TSearchReport report;
    try {
      report = ReadSearchReport(ReadFileBytes(file));
    } catch (const std::exception& e) {
      say(e.what());
    }
    if (report.records.empty() && report.query.empty()) {
      ++counts.otherFiles;
      continue;
    }
    ++counts.reports;
    const std::string asOf = report.when.empty() ? FileTime(file) : report.when;
    for (const TPatentRecord& r : report.records) {
      writer.Met(r, asOf);
      ++counts.reportRecords;
    }
  }

  for (const std::string& name : FilesEndingWith(pdfDir, ".pdf")) {
    const TPath file = pdfDir.Entry(name);
    TPdfRecord pdf;
    try {
      pdf = ReadPdfRecord(file, "data/pdf/" + name);
    } catch (const std::exception& e) {
      say(e.what());
      ++counts.otherFiles;
      continue;
    }
    if (pdf.record.application.empty()) {
      ++counts.otherFiles;
      continue;
    }
    ++counts.pdfs;
    const std::string asOf = FileTime(file);
    writer.Met(pdf.record, asOf);
    counts.pagesWithText += pdf.pagesWithText;
    writer.Document(pdf.document, asOf);
    if (!pdf.firstClaim.empty()) writer.FillFirstClaim(pdf.record.application, pdf.firstClaim);
  }
  counts.addedRecords = writer.AddedRecords();
  counts.addedDocuments = writer.AddedDocuments();
  writer.Finish({std::nullopt, counts.otherFiles, "done"});
  writer.Tidy(-1);
  return counts;
}
