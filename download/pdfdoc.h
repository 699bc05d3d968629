#pragma once
// A record's PDF as the program finishes it from the converting tool's output: document
// information a viewer shows, an outline of the document's sections, and an invisible
// text layer over the page images. Built with qpdf's library, never by patching bytes.
#include <string>
#include <vector>

#include "base/path.h"
#include "recognition/recognise.h"

// The document information; GBK texts, an empty one is left out.
struct TPdfInfo {
  std::string title;
  std::string author;
  std::string subject;
  std::string keywords;
  std::string creator;
};

// What the run knows of a record (GBK), for its document information.
struct TRecordFacts {
  std::string title;
  std::string patentee;        // plain text, a character GBK lacks as its reference
  std::string application;     // the application number as the site writes it, e.g. CN200510012345.X
  std::string publication;     // empty when unknown
  std::string classification;
  std::string owner;           // the application number the ownership rule reads
};

// Title the record's title, Author the patentee, Subject the numbers and the
// class, Keywords the ownership keywords (PdfKeywords), Creator "Varnolt <version>".
TPdfInfo RecordPdfInfo(const TRecordFacts& facts);

// The keywords a record's PDF carries for its application number ("CN" and the number),
// which tell whose PDF a stored file is; and the number they name ("" for none).
std::string PdfKeywords(const std::string& number);
std::string KeywordsOwner(const std::string& keywords);

// One entry of the outline: a section's name (GBK) and the page it starts on (from 1).
struct TOutlineEntry {
  std::string title;
  int page = 0;
};

// Writes the PDF `in` as `out` with:
// - info as its document information (text that is not ASCII as UTF-16BE with a byte-order
//   mark, so viewers show the characters);
// - outline as a flat outline in the given order, opened beside the pages; entries whose
//   page the PDF does not have are left out, and no entries give no outline;
// - when text is not empty, the recognised text of page i (one for each page of in; a
//   page without lines gets none) laid over it exactly and invisibly in a glyphless font
//   whose program is layerFont (download/layerform.h); the visible page stays as it was.
// out is written whole or not at all (removed on failure). Throws EConversionError.
void FinishPdf(const TPath& in, const TPath& out, const TPdfInfo& info, const std::vector<TOutlineEntry>& outline,
               const std::vector<TRecognisedPage>& text = {}, const std::string& layerFont = "");

// The document information of a PDF (GBK); empty fields when it does not read.
TPdfInfo ReadPdfInfo(const TPath& pdf);
