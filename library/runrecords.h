#pragma once
// What the runs meet, as the library keeps it: a search's hit, a download's document and a
// PDF of the program's own become records here, and only here, so that the workers and the
// import hand over what a source gave without knowing the library's fields. Records are
// UTF-8; the hits and documents come in GBK as the reports show them.
#include <string>
#include <vector>

#include "base/path.h"
#include "library/library.h"
#include "sources/source.h"

// A search hit as a record: its cells read as the report reader reads a report's (a cell
// of a look-up not asked, a placeholder cell and a first claim not recognised stay empty).
TPatentRecord RecordOfHit(TSourceKind source, const TSearchHit& hit);

// The record a download found for one of its documents.
TPatentRecord RecordOfDocument(TSourceKind source, const TSourceDocument& document);

// One of the program's PDFs read back (document information, outline, text layer).
struct TPdfRecord {
  TPatentRecord record;       // what the document information says; application "" when it names none
  TDocumentRecord document;   // path as given
  std::string firstClaim;     // cut from the claims page's text; "" when there is none
  int pagesWithText = 0;
};

// relativePath: the PDF's path relative to the data root, as the library keeps it.
// Throws ELibraryError when the file does not read as a PDF.
TPdfRecord ReadPdfRecord(const TPath& pdf, const std::string& relativePath);

// Helpers of the readers of the program's own pages and files.
// Whether UTF-8 text holds a CJK character (a Chinese title rather than an English one).
bool HasCjk(const std::string& utf8);
// Names as a cell lists them, "; " or "；" between them.
std::vector<std::string> SplitNames(const std::string& utf8);
// A first claim cell's plain text without the recognition mark; "" for the cells that hold
// no claim (the source has none, nothing was recognised).
std::string FirstClaimOfCell(const std::string& plainUtf8);
