#pragma once
// Fills the library from a data root as it is: the search reports in data/query/ and the
// PDFs in data/pdf/ (their document information names the record, their text layer gives
// page texts). Records merge by the library's rule with each file's own time, so running
// it again adds nothing twice.
#include <functional>
#include <string>

#include "base/path.h"

struct TImportCounts {
  int reports = 0;         // search reports read
  int reportRecords = 0;   // rows they held
  int pdfs = 0;            // PDFs of a record read
  int pagesWithText = 0;   // their pages with text
  int otherFiles = 0;      // files that are no report or no record's PDF
  int addedRecords = 0;    // records the library did not have
  int addedDocuments = 0;  // PDFs the library did not have
};

// The files an import would read: search reports (data/query/*.html) and PDFs (data/pdf/*.pdf).
struct TImportable {
  int reports = 0;
  int pdfs = 0;
};
TImportable ImportableFiles(const TPath& root);

// Throws ELibraryError when the library cannot be opened or written; a report or PDF that
// does not read is counted among otherFiles and passed over (progress says which).
TImportCounts ImportDataRoot(const TPath& root, const std::function<void(const std::string& gbkLine)>& progress);
