#include "demosite/tiffpage.h"

#include <tiffio.h>

#include <cmath>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace {

// 5x7 glyphs, one string per row, '#' = ink.
struct Glyph {
  char c;
  const char* rows[7];
};
const Glyph kFont[] = {
    {'0', {" ### ", "#   #", "#  ##", "# # #", "##  #", "#   #", " ### "}},
    {'1', {"  #  ", " ##  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "}},
    {'2', {" ### ", "#   #", "    #", "   # ", "  #  ", " #   ", "#####"}},
    {'3', {"#####", "   # ", "  #  ", "   # ", "    #", "#   #", " ### "}},
    {'4', {"   # ", "  ## ", " # # ", "#  # ", "#####", "   # ", "   # "}},
    {'5', {"#####", "#    ", "#### ", "    #", "    #", "#   #", " ### "}},
    {'6', {"  ## ", " #   ", "#    ", "#### ", "#   #", "#   #", " ### "}},
    {'7', {"#####", "    #", "   # ", "  #  ", " #   ", " #   ", " #   "}},
    {'8', {" ### ", "#   #", "#   #", " ### ", "#   #", "#   #", " ### "}},
    {'9', {" ### ", "#   #", "#   #", " ####", "    #", "   # ", " ##  "}},
    {'C', {" ### ", "#   #", "#    ", "#    ", "#    ", "#   #", " ### "}},
    {'N', {"#   #", "##  #", "# # #", "#  ##", "#   #", "#   #", "#   #"}},
    {'P', {"#### ", "#   #", "#   #", "#### ", "#    ", "#    ", "#    "}},
    {'/', {"    #", "    #", "   # ", "  #  ", " #   ", "#    ", "#    "}},
};

class Canvas {
 public:
  Canvas(int w, int h) : w_(w), h_(h), px_(size_t(w) * h, 0) {}
  void Fill(int x, int y, int w, int h) {
    for (int yy = std::max(0, y); yy < std::min(h_, y + h); ++yy)
      for (int xx = std::max(0, x); xx < std::min(w_, x + w); ++xx) px_[size_t(yy) * w_ + xx] = 1;
  }
  int Width() const { return w_; }
  int Height() const { return h_; }
  void Text(int x, int y, int scale, const std::string& text) {
    for (char c : text) {
      for (const Glyph& g : kFont) {
        if (g.c != c) continue;
        for (int row = 0; row < 7; ++row)
          for (int col = 0; col < 5; ++col)
            if (g.rows[row][col] == '#') Fill(x + col * scale, y + row * scale, scale, scale);
      }
      x += 6 * scale;
    }
  }
  // One scan line into (width + 7) / 8 bytes: 8 pixels a byte, most significant bit
  // first, 1 = black.
  void PackRow(int y, unsigned char* out) const {
    const unsigned char* px = px_.data() + size_t(y) * w_;
    for (int x = 0; x < w_; x += 8) {
      unsigned char byte = 0;
      for (int b = 0; b < 8 && x + b < w_; ++b) byte |= (unsigned char)(px[x + b] << (7 - b));
      out[x / 8] = byte;
    }
  }

 private:
  int w_, h_;
  std::vector<unsigned char> px_;
};

// libtiff writes through these into a growing string.
struct MemFile {
  std::string data;
  toff_t pos = 0;
};
tmsize_t MemRead(thandle_t h, void* buf, tmsize_t n) {
  auto* f = static_cast<MemFile*>(h);
  if (f->pos >= f->data.size()) return 0;
  tmsize_t k = std::min<tmsize_t>(n, tmsize_t(f->data.size() - f->pos));
  memcpy(buf, f->data.data() + f->pos, size_t(k));
  f->pos += toff_t(k);
  return k;
}
tmsize_t MemWrite(thandle_t h, void* buf, tmsize_t n) {
  auto* f = static_cast<MemFile*>(h);
  if (f->pos + toff_t(n) > f->data.size()) f->data.resize(size_t(f->pos + n));
  memcpy(f->data.data() + f->pos, buf, size_t(n));
  f->pos += toff_t(n);
  return n;
}
toff_t MemSeek(thandle_t h, toff_t off, int whence) {
  auto* f = static_cast<MemFile*>(h);
  toff_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? f->pos : toff_t(f->data.size());
  f->pos = base + off;
  return f->pos;
}
int MemClose(thandle_t) { return 0; }
toff_t MemSize(thandle_t h) { return static_cast<MemFile*>(h)->data.size(); }
int MemMap(thandle_t, void**, toff_t*) { return 0; }
void MemUnmap(thandle_t, void*, toff_t) {}

}  // namespace

namespace {

// The mark's cells at the page's scale (1 at 96 dpi): they sit at the same fractions of
// any page, where pagemark::ReadRaster looks for them.
void DrawFrameAndMark(Canvas& c, const pagemark::Mark& mark, double scale) {
  using namespace pagemark;
  auto s = [scale](double v) { return int(std::lround(v * scale)); };
  const int w = c.Width(), h = c.Height();
  c.Fill(s(8), s(8), w - s(16), s(2));
  c.Fill(s(8), h - s(10), w - s(16), s(2));
  c.Fill(s(8), s(8), s(2), h - s(16));
  c.Fill(w - s(10), s(8), s(2), h - s(16));
  std::vector<bool> bits = Encode(mark);
  for (int i = 0; i < kBits; ++i)
    if (bits[i]) c.Fill(s(kLeft + (i % kCols) * kCell), s(kTop + (i / kCols) * kCell), s(kCell), s(kCell));
}

std::string EncodeG4(const Canvas& c, int dpi) {
  MemFile file;
  TIFF* tif = TIFFClientOpen("page.tif", "w", &file, MemRead, MemWrite, MemSeek, MemClose, MemSize, MemMap, MemUnmap);
  if (!tif) throw std::runtime_error("libtiff could not start a page image");
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, c.Width());
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, c.Height());
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, c.Height());
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  TIFFSetField(tif, TIFFTAG_XRESOLUTION, float(dpi));
  TIFFSetField(tif, TIFFTAG_YRESOLUTION, float(dpi));
  bool ok = true;
  std::vector<unsigned char> row((c.Width() + 7) / 8);
  for (int y = 0; y < c.Height() && ok; ++y) {
    c.PackRow(y, row.data());
    ok = TIFFWriteScanline(tif, row.data(), uint32_t(y), 0) == 1;
  }
  TIFFClose(tif);
  if (!ok) throw std::runtime_error("libtiff could not write a page image");
  return file.data;
}

constexpr double kTextScale = double(kTextDpi) / pagemark::kDpi;
constexpr int kTextPageWidth = int(pagemark::kPageWidth * kTextScale);
constexpr int kTextPageHeight = int(pagemark::kPageHeight * kTextScale);

}  // namespace

std::string MakePageImage(const pagemark::Mark& mark) {
  using namespace pagemark;
  Canvas c(kPageWidth, kPageHeight);
  // A frame, the mark cells, the large digits and some "text lines" for a scanned look.
  DrawFrameAndMark(c, mark, 1);
  // Built by appending: GCC 12 warns falsely (-Wrestrict) on "literal" + string here.
  std::string numberLine = "CN", pageLine = "P";
  numberLine += mark.number;
  pageLine += std::to_string(mark.page);
  pageLine += "/";
  pageLine += std::to_string(mark.pages);
  c.Text(60, 120, 8, numberLine);
  c.Text(60, 240, 12, pageLine);
  unsigned seed = unsigned(mark.page * 7919 + mark.document * 104729);
  for (char d : mark.number) seed = seed * 31 + unsigned(d);
  for (int y = 420; y < kPageHeight - 60; y += 24) {
    seed = seed * 1103515245u + 12345u;
    c.Fill(60, y, 300 + int((seed >> 16) % 400), 8);
  }
  return EncodeG4(c, kDpi);
}

pagetext::Area TextArea() {
  return {kTextDpi, int(kTextDpi * 1.1), kTextPageWidth - kTextDpi, kTextPageHeight - kTextDpi};
}

std::string MakePageImage(const pagemark::Mark& mark, const pagetext::Layout& text) {
  Canvas c(kTextPageWidth, kTextPageHeight);
  DrawFrameAndMark(c, mark, kTextScale);
  std::string caption = "CN";
  caption += mark.number;
  caption += " P";
  caption += std::to_string(mark.page);
  caption += "/";
  caption += std::to_string(mark.pages);
  c.Text(int(pagemark::kLeft * kTextScale), int((pagemark::kTop + pagemark::kRows * pagemark::kCell) * kTextScale) + 40,
         6, caption);
  pagetext::Draw(text, [&c](int x, int y, int length) { c.Fill(x, y, length, 1); });
  return EncodeG4(c, kTextDpi);
}

namespace {

// The pixels of a one-page image of our own, 1 = black, a row of bytes per scan line.
std::vector<std::vector<unsigned char>> ReadOwnPage(const std::string& tiff, uint32_t& width, uint32_t& height) {
  MemFile file{tiff, 0};
  TIFF* tif = TIFFClientOpen("page.tif", "r", &file, MemRead, MemWrite, MemSeek, MemClose, MemSize, MemMap, MemUnmap);
  if (!tif) throw std::runtime_error("libtiff could not read a page image back");
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
  std::vector<std::vector<unsigned char>> rows(height, std::vector<unsigned char>(size_t(TIFFScanlineSize(tif))));
  bool ok = true;
  for (uint32_t y = 0; y < height && ok; ++y) ok = TIFFReadScanline(tif, rows[y].data(), y, 0) == 1;
  TIFFClose(tif);
  if (!ok) throw std::runtime_error("libtiff could not read a page image back");
  return rows;
}

}  // namespace

std::string MakePageImages(const std::vector<pagemark::Mark>& marks, const PageFormat& format,
                           const std::vector<pagetext::Layout>& texts) {
  MemFile file;
  TIFF* tif = TIFFClientOpen("pages.tif", format.bigEndian ? "wb" : "wl", &file, MemRead, MemWrite, MemSeek,
                             MemClose, MemSize, MemMap, MemUnmap);
  if (!tif) throw std::runtime_error("libtiff could not start a page image");
  bool ok = true;
  for (size_t i = 0; i < marks.size() && ok; ++i) {
    uint32_t w = 0, h = 0;
    auto src = ReadOwnPage(i < texts.size() ? MakePageImage(marks[i], texts[i]) : MakePageImage(marks[i]), w, h);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, format.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, format.height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, format.height);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, float(format.dpi));
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, float(format.dpi));
    if (marks.size() > 1) TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    // Nearest neighbour: every target pixel takes the source pixel it falls on.
    std::vector<uint32_t> fromX(size_t(format.width));
    for (int x = 0; x < format.width; ++x) fromX[size_t(x)] = uint32_t(uint64_t(x) * w / uint64_t(format.width));
    std::vector<unsigned char> row(size_t(format.width + 7) / 8);
    for (int y = 0; y < format.height && ok; ++y) {
      const std::vector<unsigned char>& s = src[size_t(uint64_t(y) * h / uint64_t(format.height))];
      row.assign(row.size(), 0);
      for (int x = 0; x < format.width; ++x) {
        uint32_t sx = fromX[size_t(x)];
        if (s[sx / 8] & (0x80 >> (sx % 8))) row[size_t(x) / 8] |= (unsigned char)(0x80 >> (x % 8));
      }
      ok = TIFFWriteScanline(tif, row.data(), uint32_t(y), 0) == 1;
    }
    if (ok && i + 1 < marks.size()) ok = TIFFWriteDirectory(tif) == 1;
  }
  TIFFClose(tif);
  if (!ok) throw std::runtime_error("libtiff could not write a page image");
  return file.data;
}
