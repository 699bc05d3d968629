#pragma once
// The invisible text of a recognised page, as the content of a PDF form laid over the
// page's image: a reader finds, selects and copies the words where the image shows them.
#include <memory>
#include <string>

#include "download/recognisedpage.h"

class QPDF;
class QPDFPageObjectHelper;

// The content stream of the text layer of a page, in the image's pixels with y upwards
// (the form's box is 0 0 width height), a text object per line. Every word is shown in render mode 3 (invisible)
// in the font `font` (a resource name such as "/F1": the glyphless font, half an em wide
// per UTF-16 code unit), from the left end of its box on the line's baseline and
// stretched to the box's width, then a blank; a word whose last character and the next
// word's first are Chinese is stretched to where the next one starts instead, without a
// blank, so that a reader copies the line's Chinese without blanks and a search finds
// its words.
std::string TextLayerContent(const TRecognisedPage& page, const std::string& font);

// The glyphless font's ToUnicode map: its codes are the text's UTF-16 code units.
std::string TextLayerToUnicode();

// Its CIDToGIDMap: every code to glyph 1, the font's one empty glyph.
std::string TextLayerGlyphMap();

// Lays recognised pages over the pages of one PDF, with one glyphless font for all of
// them, whose program is fontProgram (tesseract's pdf.ttf; left out of the file when empty:
// the text never shows, and readers place it by the widths the font gives).
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
