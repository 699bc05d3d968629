#pragma once
// Recognition of page images inside the process: engines of the recognition module
// (download/tessmodule.h), each holding its models, one per thread that recognises.
#include <memory>
#include <string>

#include "download/recognisedpage.h"
#include "download/tessmodule.h"

// Empty when recognition is possible with the settings' models; else why not, as a line
// for the user (GBK). The module is loaded at the first call and stays.
std::string RecognitionUnavailableReason(const TRecognitionSettings& settings = {});

class TRecognitionEngine {
 public:
  // Loads the models; throws EOcrError with the reason (GBK) when they do not load.
  explicit TRecognitionEngine(const TRecognitionSettings& settings = {});
  // An engine of the caller's (the benchmarks' baseline).
  explicit TRecognitionEngine(std::unique_ptr<TPageRecogniser> recogniser);
  ~TRecognitionEngine();
  TRecognitionEngine(const TRecognitionEngine&) = delete;
  TRecognitionEngine& operator=(const TRecognitionEngine&) = delete;

  // The lines of the first image of a TIFF file's bytes. Throws EOcrError when the bytes
  // are not an image or recognition fails.
  TRecognisedPage Recognise(const std::string& tiff, TPageKind kind = TPageKind::Text);

  // The font of a text layer: the glyphless TrueType font that comes with tesseract, so
  // the layer's text has a font program but never shows. Empty when it does not read.
  std::string LayerFont() const;

 private:
  std::unique_ptr<TPageRecogniser> recogniser_;
};
