#pragma once
// The boundary of the recognition module (varnolt-tesseract.so beside the program), which
// the program loads when a run first asks for recognition: tesseract's library is then
// loaded with it, and a system without that library still runs the program, whose PDFs
// then come without text.
#include <string>
#include <vector>

#include "recognition/recognise.h"

// How pages are recognised; the defaults are the program's, chosen by the recognition
// benchmark (bench/recognition/recognition_bench.cpp).
struct TRecognitionSettings {
  // The model every line is read with, and the one a doubtful line is read again with: a
  // line the first reads with less confidence than fallbackBelow (0 to 100) keeps the
  // reading of the two it is surer of. tesseract's own "chi_sim+eng" reads most Chinese
  // lines a second time in English, a third of the time a page costs.
  std::string language = "chi_sim";
  std::string fallback = "eng";
  int fallbackBelow = 60;
  // The page is recognised at this resolution (scaled down to grey when it has more; 0
  // keeps the image's own): 300 dpi bilevel scans read better and cost less lower down.
  // At 150 a claim's "1" on a resampled scan reads as "L" (claim 1 found on 13 of 20 such
  // claims pages, 19 of 20 at 180), for a tenth less CPU than 180.
  int dpi = 180;
  int pageSegmentation = 3;    // tesseract's automatic page segmentation
  int drawingsSegmentation = 11;  // sparse text: the labels scattered over a drawing
  // tesseract's second reading of a doubtful line as white on black: scans are black on
  // white, and it costs a fifth of the time.
  bool invertedRetry = false;
};

// One engine with its models loaded, for one thread at a time.
class TPageRecogniser {
 public:
  virtual ~TPageRecogniser() = default;
  // Recognises the first image of a TIFF file's bytes. A page without ink is passed over
  // and gives no lines. The words come in UTF-8 (the module links nothing of the program;
  // TRecognitionEngine makes them GBK). False with the reason (English) in error.
  virtual bool Recognise(const std::string& tiff, TPageKind kind, TRecognisedPage& page, std::string& error) = 0;
  // The folder the models came from, ending with "/".
  virtual std::string DataPath() const = 0;
};

// The module's entry, looked up by this name: a new engine, or null with the models that
// are missing in missing (none when something else failed, said in error).
using TNewRecogniser = TPageRecogniser* (*)(const TRecognitionSettings& settings, std::vector<std::string>& missing,
                                            std::string& error);
constexpr char kNewRecogniserSymbol[] = "VarnoltNewRecogniser";
constexpr char kRecognitionModule[] = "varnolt-tesseract.so";
