#pragma once
// What a download run hands the patent library: each record it finds, and each PDF once it
// is in place under its name, with its pages, sections and the text of its text layer read
// back from the file (the text the PDF holds, whatever recognised it). A library that
// cannot be written never fails the run: one warning line, and the run goes on.
#include <string>
#include <vector>

#include "base/path.h"
#include "library/library.h"
#include "sources/source.h"

class TDownloadLibrary {
 public:
  // Records the run's start in the root's library; warn takes the one warning line (GBK).
  TDownloadLibrary(const TPath& root, TSourceKind source, const std::vector<std::string>& gbkNumbers,
                   TLibrarySink::TWarn warn);
  // The run found the document's record.
  void Found(const TSourceDocument& document);
  // The document's PDF is in place at pdf (a file of the root's data/pdf/). Safe from any
  // thread of the run.
  void InPlace(const TSourceDocument& document, const TPath& pdf);
  // The run's end: how many numbers failed, and why it ended early (GBK; "" when it did not).
  void Finish(int failures, const std::string& gbkError);

 private:
  TSourceKind source_;
  TLibrarySink sink_;
};
