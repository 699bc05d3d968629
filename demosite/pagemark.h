#pragma once
// The machine-readable mark on every demo page image: 96 cells in two rows of 48 near
// the top-left corner, black = 1. Positions are fixed fractions of the page, so the mark
// reads back from the TIFF itself, from a page of a merged TIFF and from a PDF page
// rendered at any resolution. Shared by the demo site (writing) and the test support
// (reading); it is the fixture's own format, nothing the program reads.
#include <optional>
#include <string>
#include <vector>

namespace pagemark {

constexpr int kPageWidth = 816;    // 8.5 in at 96 dpi
constexpr int kPageHeight = 1056;  // 11 in at 96 dpi
constexpr int kDpi = 96;
constexpr int kCols = 48;
constexpr int kRows = 2;
constexpr int kLeft = 24;
constexpr int kTop = 24;
constexpr int kCell = 16;
constexpr int kBits = kCols * kRows;

struct Mark {
  std::string number;  // application number, up to 12 digits
  int page = 0;        // page number, from 1
  int pages = 0;       // pages of the document
  int document = 0;    // 1: the document the download reads; 2: the earlier publication
};

// Layout: 1011 | length (4) | 12 BCD digits (48) | page (12) | pages (12) | document (4)
//         | checksum (8) | 0101.
inline std::vector<bool> Encode(const Mark& m) {
  std::vector<bool> bits;
  auto put = [&](unsigned v, int n) {
    for (int i = n - 1; i >= 0; --i) bits.push_back((v >> i) & 1);
  };
  put(0xB, 4);
  put(unsigned(m.number.size()) & 0xF, 4);
  for (int i = 0; i < 12; ++i) put(i < int(m.number.size()) ? unsigned(m.number[i] - '0') : 0xF, 4);
  put(unsigned(m.page) & 0xFFF, 12);
  put(unsigned(m.pages) & 0xFFF, 12);
  put(unsigned(m.document) & 0xF, 4);
  unsigned sum = 0;
  for (size_t i = 0; i < bits.size(); ++i) sum += bits[i] ? unsigned(i + 1) : 0;
  put(sum & 0xFF, 8);
  put(0x5, 4);
  return bits;
}

inline std::optional<Mark> Decode(const std::vector<bool>& bits) {
  if (bits.size() != kBits) return std::nullopt;
  size_t pos = 0;
  auto get = [&](int n) {
    unsigned v = 0;
    for (int i = 0; i < n; ++i) v = (v << 1) | (bits[pos++] ? 1 : 0);
    return v;
  };
  if (get(4) != 0xB) return std::nullopt;
  unsigned len = get(4);
  if (len > 12) return std::nullopt;
  Mark m;
  for (unsigned i = 0; i < 12; ++i) {
    unsigned d = get(4);
    if (i < len) {
      if (d > 9) return std::nullopt;
      m.number += char('0' + d);
    }
  }
  m.page = int(get(12));
  m.pages = int(get(12));
  m.document = int(get(4));
  unsigned sum = 0;
  for (size_t i = 0; i < pos; ++i) sum += bits[i] ? unsigned(i + 1) : 0;
  if (get(8) != (sum & 0xFF)) return std::nullopt;
  if (get(4) != 0x5) return std::nullopt;
  return m;
}

// Reads the mark from a raster of any size showing the whole page; black(x, y) tells
// whether the pixel is dark. Each cell is sampled at nine points around its centre.
template <class BlackFn>
std::optional<Mark> ReadRaster(int width, int height, BlackFn black) {
  std::vector<bool> bits;
  for (int row = 0; row < kRows; ++row) {
    for (int col = 0; col < kCols; ++col) {
      double cx = kLeft + (col + 0.5) * kCell, cy = kTop + (row + 0.5) * kCell;
      int votes = 0;
      for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
          int x = int((cx + dx * kCell / 4.0) * width / kPageWidth);
          int y = int((cy + dy * kCell / 4.0) * height / kPageHeight);
          if (x >= 0 && y >= 0 && x < width && y < height && black(x, y)) ++votes;
        }
      }
      bits.push_back(votes >= 5);
    }
  }
  return Decode(bits);
}

// The OPS role's pages carry their publication's kind in `document`: 3 + its place in
// kKinds (A = 3 ... D = 9); the pages of a foreign family member carry kForeignDocument.
constexpr const char kKinds[] = "ABCUYSD";
constexpr int kForeignDocument = 10;
inline int DocumentOfKind(char kind) {
  for (int i = 0; kKinds[i]; ++i)
    if (kKinds[i] == kind) return 3 + i;
  return 0;
}
// The kind of a CN publication's page; 0 for the search site's pages and foreign ones.
inline char KindOfDocument(int document) {
  return document >= 3 && document < 3 + int(sizeof kKinds) - 1 ? kKinds[document - 3] : 0;
}

}  // namespace pagemark
