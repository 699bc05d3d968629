#pragma once
// Reading back the pages a download wrote: the demo site's page marks from TIFF files and
// from rendered PDF pages, and the page counts of both.
//
//   ReadTiffPageMark(path, 2)            // which record/page ended up in page 3 of a TIFF
//   PdfPageCount(path)                   // as pdfinfo reports it
//   PdfText(path, 2)                     // the text of page 2 as pdftotext reads it
//   CharacterRecall(drawn, PdfText(...)) // how much of a page's text was recognised
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/path.h"
#include "demosite/pagemark.h"

// The mark of a demo page image: of the TIFF directory `directory` (0 = first page) of
// the file at path; nullopt when the file, the directory or the mark does not read.
std::optional<pagemark::Mark> ReadTiffPageMark(const TPath& path, int directory = 0);

// Number of images (directories) in a TIFF file; 0 when it does not open.
int TiffPageCount(const TPath& path);

// Number of pages that pdfinfo reports for the file at path; -1 when it cannot read the file.
int PdfPageCount(const TPath& path);

// The text of page `page` (1-based; 0: all pages) as `pdftotext -enc UTF-8` reads it;
// empty when it cannot read the file.
std::string PdfText(const TPath& path, int page = 0);

// The document information as `pdfinfo -enc UTF-8` shows it, one "Key: value" a line.
std::string PdfInfoText(const TPath& path);

// The outline of a PDF as qpdf's library reads it: each entry's title (UTF-8) and the page
// it points at (from 1; 0 when none). Throws when the file does not read.
std::vector<std::pair<std::string, int>> PdfOutline(const TPath& path);

// Page `page` rendered by `pdftoppm -gray` at dpi, as the bytes of its PGM file; empty
// when it does not render.
std::string RenderedPage(const TPath& path, int page, int dpi);

// The share of the characters of `truth` (UTF-8, blanks not counted) that `found` holds,
// each counted as often as it occurs: 1 when every drawn character was recognised.
double CharacterRecall(const std::string& truth, const std::string& found);

// The mark of a whole page rendered to a binary PGM (e.g. `pdftoppm -gray -r 50`).
std::optional<pagemark::Mark> ReadPgmPageMark(const std::string& path);
