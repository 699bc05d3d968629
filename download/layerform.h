#pragma once
// The invisible text of recognised pages over the page images of a PDF: a reader finds,
// selects and copies the words where the images show them.
#include <memory>
#include <string>

#include "recognition/recognise.h"

class QPDF;
class QPDFPageObjectHelper;

// Lays recognised pages over the pages of one PDF, as a form over each page, with one
// glyphless font for all of them whose program is fontProgram (tesseract's pdf.ttf; left
// out of the file when empty: the text never shows, and readers place it by the widths
// the font gives). Every word is shown in render mode 3 (invisible) from the left end of
// its box on the line's baseline, stretched to the box's width, then a blank; a word whose
// last character and the next word's first are Chinese is stretched to where the next one
// starts instead, without a blank, so that a reader copies a line's Chinese without blanks
// and a search finds its words. A text object per line: readers of the layer take its
// end for the end of a line.
class TTextLayers {
 public:
  TTextLayers(QPDF& pdf, std::string fontProgram);
  ~TTextLayers();
  TTextLayers(const TTextLayers&) = delete;
  TTextLayers& operator=(const TTextLayers&) = delete;

  // The page's own drawing stays as it was; the text goes on top, fitted to its media box.
  // A page without lines is left alone.
  void Lay(QPDFPageObjectHelper& page, const TRecognisedPage& text);

 private:
  struct TObjects;
  QPDF& pdf_;
  std::string fontProgram_;
  std::unique_ptr<TObjects> objects_;
};
