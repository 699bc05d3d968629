#include "library/import.h"

#include <sys/stat.h>

#include <algorithm>
#include <ctime>

#include "base/bytes.h"
#include "base/datadir.h"
#include "base/files.h"
#include "base/gbk.h"
#include "recognition/claimcut.h"
#include "download/downtexts.h"
#include "library/library.h"
#include "library/librarytexts.h"
#include "library/pdftext.h"
#include "library/reportreader.h"

namespace {

std::string U(const char* gbk) { return GbkToUtf8(gbk); }

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

// The value after label in a subject of "label：value；label：value".
std::string SubjectValue(const std::string& subject, const std::string& label) {
  const size_t at = subject.find(label);
  if (at == std::string::npos) return "";
  const size_t from = at + label.size();
  const size_t to = subject.find(U(pdfdoctext::kSeparator), from);
  return TrimBytes(subject.substr(from, to == std::string::npos ? std::string::npos : to - from));
}

std::vector<std::string> Names(const std::string& text) {
  std::string t = text;
  const std::string fullWidth = U(pdfdoctext::kSeparator);
  for (size_t at; (at = t.find(fullWidth)) != std::string::npos;) t.replace(at, fullWidth.size(), ";");
  std::vector<std::string> names;
  for (const std::string& n : SplitAt(t, ';'))
    if (!TrimBytes(n).empty()) names.push_back(TrimBytes(n));
  return names;
}

bool HasCjk(const std::string& utf8) {
  for (size_t i = 0; i < utf8.size();) {
    const size_t n = Utf8SequenceAt(utf8.data() + i, utf8.size() - i);
    if (n && IsCjkCodePoint(Utf8CodePointAt(utf8.data() + i, n))) return true;
    i += n ? n : 1;
  }
  return false;
}

}  // namespace

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

  using namespace pdfdoctext;
  const std::pair<const char*, const char*> kSections[] = {{getdowntext::kSectionAbstract, "abstract"},
                                                           {getdowntext::kSectionDescription, "description"},
                                                           {getdowntext::kSectionClaims, "claims"},
                                                           {getdowntext::kSectionDrawings, "drawings"}};
  for (const std::string& name : FilesEndingWith(pdfDir, ".pdf")) {
    const TPath file = pdfDir.Entry(name);
    TPdfContent pdf;
    try {
      pdf = ReadPdfContent(file);
    } catch (const std::exception& e) {
      say(e.what());
      ++counts.otherFiles;
      continue;
    }
    // Keywords "CN" + the application digits name the record the PDF was written for.
    const std::string owner = pdf.keywords.rfind("CN", 0) == 0 ? ApplicationDigits(pdf.keywords) : std::string();
    if (owner.empty()) {
      ++counts.otherFiles;
      continue;
    }
    ++counts.pdfs;
    const std::string asOf = FileTime(file);
    TPatentRecord r;
    r.application = owner;
    r.applicationOriginal = SubjectValue(pdf.subject, U(kApplicationLabel));
    if (ApplicationDigits(r.applicationOriginal) != owner) r.applicationOriginal.clear();
    (HasCjk(pdf.title) ? r.title : r.titleEn) = pdf.title;
    r.applicants = Names(pdf.author);
    const std::string publication = SubjectValue(pdf.subject, U(kPublicationLabel));
    if (!publication.empty()) r.publications.push_back({publication, ""});
    // Only OPS's PDFs name a publication.
    r.source = publication.empty() ? "site" : "ops";
    const std::string cls = SubjectValue(pdf.subject, U(kClassLabel));
    if (!cls.empty()) r.ipc = {cls};
    writer.Met(r, asOf);

    TDocumentRecord doc;
    doc.application = owner;
    doc.publication = publication;
    doc.path = "data/pdf/" + name;
    doc.pages = pdf.pages;
    doc.hasTextLayer = pdf.hasTextLayer;
    doc.pageTexts = pdf.pageTexts;
    int claimsPage = 0;
    for (const TPdfContent::TEntry& entry : pdf.outline)
      for (const auto& [title, kind] : kSections)
        if (entry.title == U(title)) {
          doc.sections.push_back({kind, entry.page});
          if (std::string(kind) == "claims") claimsPage = entry.page;
        }
    for (const std::string& t : pdf.pageTexts) counts.pagesWithText += !t.empty();
    writer.Document(doc, asOf);
    if (claimsPage > 0 && size_t(claimsPage) <= pdf.pageTexts.size() && !pdf.pageTexts[size_t(claimsPage) - 1].empty())
      writer.FillFirstClaim(owner, GbkToUtf8(FirstClaimFromText(Utf8ToGbk(pdf.pageTexts[size_t(claimsPage) - 1]))));
  }
  counts.addedRecords = writer.AddedRecords();
  counts.addedDocuments = writer.AddedDocuments();
  writer.Finish({std::nullopt, counts.otherFiles, "done"});
  writer.Tidy(-1);
  return counts;
}
