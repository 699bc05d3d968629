#pragma once
// The recognition of before, the baseline of the benchmarks: tesseract started once a page
// with its own threads off, at the page's own resolution and its default settings, the
// page written to a file for it and its words read back from its TSV output.
#include <atomic>
#include <string>

#include "base/path.h"
#include "recognition/tessmodule.h"

class TProcessRecogniser : public TPageRecogniser {
 public:
  // work: a folder the recogniser may write its files into.
  explicit TProcessRecogniser(TPath work);
  bool Recognise(const std::string& tiff, TPageKind kind, TRecognisedPage& page, std::string& error) override;
  std::string DataPath() const override;

 private:
  TPath base_;
};
