#include "download/downlibrary.h"

#include <utility>

#include "base/gbk.h"
#include "library/runrecords.h"

namespace {

std::string Joined(const std::vector<std::string>& gbkNumbers) {
  std::string all;
  for (const std::string& n : gbkNumbers) all += (all.empty() ? "" : " ") + n;
  return GbkToUtf8(all);
}

}  // namespace

TDownloadLibrary::TDownloadLibrary(const TPath& root, TSourceKind source, const std::vector<std::string>& gbkNumbers,
                                   TLibrarySink::TWarn warn)
    : source_(source), sink_(root, TRunInfo{"download", SourceName(source), Joined(gbkNumbers), ""}, std::move(warn)) {}

void TDownloadLibrary::Found(const TSourceDocument& document) {
  const TPatentRecord record = RecordOfDocument(source_, document);
  if (!record.application.empty()) sink_.Met(record);
}

void TDownloadLibrary::InPlace(const TSourceDocument& document, const TPath& pdf) {
  const std::string application = ApplicationDigits(GbkToUtf8(document.owner));
  if (application.empty()) return;
  const std::string& bytes = pdf.Bytes();
  const std::string relative = "data/pdf/" + bytes.substr(bytes.rfind('/') + 1);
  TPdfRecord read;
  try {
    read = ReadPdfRecord(pdf, relative);
  } catch (const std::exception&) {
    // A PDF the run has just written reads; should it not, the library still learns of it.
    read.document.path = relative;
    read.document.pages = document.pageCount;
    read.document.publication = GbkToUtf8(document.publication);
  }
  read.document.application = application;
  sink_.Document(read.document);
  if (!read.firstClaim.empty()) sink_.FillFirstClaim(application, read.firstClaim);
}

void TDownloadLibrary::Finish(int failures, const std::string& gbkError) {
  sink_.Finish(TRunEnd{std::nullopt, failures, gbkError.empty() ? "done" : GbkToUtf8(gbkError)});
}
