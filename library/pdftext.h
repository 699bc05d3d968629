#pragma once
// What one of the program's PDFs says of itself: its document information (which names
// the record), its outline (where the sections start) and the text of its invisible text
// layer, page by page. Read with qpdf's library, as the download side writes them.
#include <string>
#include <vector>

#include "base/path.h"

struct TPdfContent {
  // Document information, UTF-8.
  std::string title, author, subject, keywords;
  int pages = 0;
  struct TEntry {
    std::string title;  // UTF-8
    int page = 0;       // from 1
  };
  std::vector<TEntry> outline;
  // The text layer's text of page i + 1 ("" for a page without one), lines by "\n".
  std::vector<std::string> pageTexts;
  bool hasTextLayer = false;
};

// Throws ELibraryError when the file does not read as a PDF.
TPdfContent ReadPdfContent(const TPath& pdf);
