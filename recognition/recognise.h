#pragma once
// Recognition of page text: a page image in, its words and lines with their boxes and its
// text out, or the page's invisible text as a one-page PDF. The searches and the downloads
// both use it; neither knows how the text is recognised (today tesseract with the Chinese
// and English models, one process a page with its own threads off).
#include <string>
#include <vector>

#include "base/errors.h"
#include "base/path.h"

// A page that could not be recognised; the message says why (GBK).
class EOcrError : public EMessageException {
 public:
  using EMessageException::EMessageException;
};

// Where a word or a line stands on its page, in the image's pixels from its top left corner.
struct TPageBox {
  int left = 0, top = 0, width = 0, height = 0;
};

struct TRecognisedWord {
  std::string text;  // GBK
  TPageBox box;
  int confidence = 0;  // 0 to 100
};

struct TRecognisedLine {
  std::vector<TRecognisedWord> words;  // in reading order
  TPageBox box;
  // The words with one blank between them (GBK).
  std::string Text() const;
};

struct TRecognisedPage {
  std::vector<TRecognisedLine> lines;  // in reading order
  // One line of text per line (GBK), each ended by a line break.
  std::string Text() const;
};

// Empty when the recognition can run (tesseract starts and has the chi_sim and eng
// models); else why not, as a line for the user (GBK). workDir holds the tool's answer
// for a moment.
std::string OcrUnavailableReason(const TPath& workDir);

// The words and lines of one page image. workDir holds the tool's files while it runs,
// under names of their own, so that runs side by side never meet. Throws EOcrError with
// the reason (GBK) when the tool fails, is killed or writes nothing.
TRecognisedPage RecognisePage(const TPath& image, const TPath& workDir);

// The page's recognised text as an invisible, text-only one-page PDF at outBase + ".pdf"
// (the tool's log beside it as outBase + ".log"), to be laid over the page image. Throws
// EOcrError as RecognisePage does.
void RecognisePageLayer(const TPath& image, const TPath& outBase);
