#pragma once
// What the demo site's page images say: the texts of a record's pages, laid out and drawn
// with FreeType in the Noto CJK fonts at the resolution of the page. A document's pages
// run as a patent's do: page 1 the bibliographic data with title and abstract, page 2 the
// claims, then the description, and with four pages or more the last one the drawings.
#include <functional>
#include <string>
#include <vector>

#include "demosite/corpus.h"

namespace pagetext {

// One line of text as it stands on the page: UTF-8, its left edge and baseline in pixels.
struct Line {
  std::string utf8;
  int x = 0;
  int baseline = 0;
  int px = 0;  // em size in pixels
  bool bold = false;
};

// A box of the drawings, in pixels; its outline is drawn.
struct Box {
  int x = 0, y = 0, w = 0, h = 0;
};

struct Layout {
  std::vector<Line> lines;
  std::vector<Box> boxes;
};

// Where the sections of a document of `pages` pages start (1-based; 0 when absent).
struct Sections {
  int abstract = 0;
  int claims = 0;
  int description = 0;
  int drawings = 0;
};
Sections SectionsOf(int pages);

// The text area: the page below the mark and its caption, inside margins of one inch.
struct Area {
  int left, top, right, bottom;
};

// Page `page` of document `doc` (1: the one the download reads; 2: the earlier
// publication) of the record, `pages` pages long, laid out inside area at dpi. Only what
// fits is laid out, whole paragraphs, so the layout is exactly what is drawn. Throws
// std::runtime_error when the fonts are not installed.
Layout LayoutPage(const DemoRecord& record, int doc, int page, int pages, int dpi, const Area& area);

// The text of a layout, one line per drawn line (UTF-8).
std::string TextOf(const Layout& layout);

// Draws the layout as black spans (x, y, length) of one pixel row each.
using SpanSink = std::function<void(int x, int y, int length)>;
void Draw(const Layout& layout, const SpanSink& span);

}  // namespace pagetext
