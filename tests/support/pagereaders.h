#pragma once
// Reading back the pages a download wrote: the demo site's page marks from TIFF files and
// from rendered PDF pages, and the page counts of both.
//
//   ReadTiffPageMark(path, 2)            // which record/page ended up in page 3 of a TIFF
//   PdfPageCount(path)                   // as pdfinfo reports it
#include <optional>
#include <string>

#include "base/path.h"
#include "demosite/pagemark.h"

// The mark of a demo page image: of the TIFF directory `directory` (0 = first page) of
// the file at path; nullopt when the file, the directory or the mark does not read.
std::optional<pagemark::Mark> ReadTiffPageMark(const TPath& path, int directory = 0);

// Number of images (directories) in a TIFF file; 0 when it does not open.
int TiffPageCount(const TPath& path);

// Number of pages that pdfinfo reports for the file at path; -1 when it cannot read the file.
int PdfPageCount(const TPath& path);

// The mark of a whole page rendered to a binary PGM (e.g. `pdftoppm -gray -r 50`).
std::optional<pagemark::Mark> ReadPgmPageMark(const std::string& path);
