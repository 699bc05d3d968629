#pragma once
// Recognition of page text: a page image in, its words and lines with their boxes out. The
// searches and the downloads both use it; neither knows how the text is recognised (today
// tesseract's library inside the process, through the recognition module of
// recognition/tessmodule.h: one engine per thread that recognises, its models loaded once).
#include <memory>
#include <string>
#include <vector>

#include "base/errors.h"

// A page that could not be recognised, or an engine that could not start; the message
// says why (GBK).
class EOcrError : public EMessageException {
 public:
  using EMessageException::EMessageException;
};

// Where a word or a line stands on its page, in the image's pixels from its top left corner.
struct TPageBox {
  int left = 0, top = 0, width = 0, height = 0;
};

struct TRecognisedWord {
  std::string text;  // GBK; a character GBK lacks as its reference ("&#8361;")
  TPageBox box;
  int confidence = 0;  // 0 to 100
};

struct TRecognisedLine {
  std::vector<TRecognisedWord> words;  // in reading order
  TPageBox box;
  // The rows of the line's baseline at the left and right edges of its box: the line may
  // slope a little on a scan.
  int baselineLeft = 0, baselineRight = 0;
  // The words with one blank between them, none between Chinese ones: the words of a
  // Chinese line are a character or two each (GBK).
  std::string Text() const;
};

struct TRecognisedPage {
  int width = 0, height = 0;           // of the image, in pixels
  std::vector<TRecognisedLine> lines;  // in reading order; none for a page without ink
  // One line of text per line (GBK), each ended by a line break.
  std::string Text() const;
};

// Whether two neighbouring words (GBK) meet without a blank: Chinese on both sides.
bool WordsJoin(const std::string& left, const std::string& right);

// Where a page stands in its document, as the source's sections tell it: the labels of a
// drawing are scattered over the page, not set in lines and paragraphs.
enum class TPageKind { Text, Drawings };

// Empty when recognition can run (tesseract's library and the chi_sim and eng models are
// there); else why not, as a line for the user (GBK).
std::string OcrUnavailableReason();

class TPageRecogniser;
struct TRecognitionSettings;

// One engine: its models loaded, for one thread at a time.
class TRecognitionEngine {
 public:
  // Loads the models; throws EOcrError with the reason OcrUnavailableReason gives.
  TRecognitionEngine();
  // With settings of the caller's (the recognition benchmark's).
  explicit TRecognitionEngine(const TRecognitionSettings& settings);
  // An engine of the caller's (the benchmarks' baseline).
  explicit TRecognitionEngine(std::unique_ptr<TPageRecogniser> recogniser);
  ~TRecognitionEngine();
  TRecognitionEngine(const TRecognitionEngine&) = delete;
  TRecognitionEngine& operator=(const TRecognitionEngine&) = delete;

  // The words and lines of the first image of a TIFF file's bytes. Throws EOcrError when
  // the bytes hold no image or the recognition fails.
  TRecognisedPage Recognise(const std::string& tiff, TPageKind kind = TPageKind::Text);

  // The font program of an invisible text layer over the pages (tesseract's glyphless
  // pdf.ttf beside the models); empty when it does not read.
  std::string LayerFont() const;

 private:
  std::unique_ptr<TPageRecogniser> recogniser_;
};
