#pragma once
#include <string>
#include <vector>

#include "demosite/pagemark.h"
#include "demosite/pagetext.h"

// One bilevel page image (CCITT G4 TIFF, 816 x 1056 at 96 dpi) carrying the mark in
// machine-readable cells and, in large digits, "CN<number>" and "P<page>/<pages>".
std::string MakePageImage(const pagemark::Mark& mark);

// The resolution of the pages that carry text: a scan's.
constexpr int kTextDpi = 300;
// Where a text page's text goes: below its mark and the small "CN<number> P<page>/<pages>"
// caption, inside margins of one inch, in pixels at kTextDpi.
pagetext::Area TextArea();
// A page of the same proportions at kTextDpi (2550 x 3300, CCITT G4): the mark in the same
// cells, the caption, and the laid-out text (pagetext::LayoutPage with TextArea()).
std::string MakePageImage(const pagemark::Mark& mark, const pagetext::Layout& text);

// Size, resolution and byte order of a page image; the default is the search site's page.
struct PageFormat {
  int width = pagemark::kPageWidth;
  int height = pagemark::kPageHeight;
  int dpi = pagemark::kDpi;
  bool bigEndian = false;
};
// A4 at 300 dpi, big-endian: the scans the OPS role serves.
constexpr PageFormat kA4Scan{2480, 3508, 300, true};

// One TIFF with a directory for each mark: the page MakePageImage draws, scaled to `format`
// (the mark sits at the same fractions of the page, where pagemark::ReadRaster looks).
// With texts (one per mark), each page is the text page of MakePageImage(mark, text).
std::string MakePageImages(const std::vector<pagemark::Mark>& marks, const PageFormat& format,
                           const std::vector<pagetext::Layout>& texts = {});
