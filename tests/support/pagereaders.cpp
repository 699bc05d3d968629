#include "tests/support/pagereaders.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFOutlineDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <tiffio.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <vector>

std::optional<pagemark::Mark> ReadTiffPageMark(const TPath& path, int directory) {
  TIFFSetWarningHandler(nullptr);
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (!tif) return std::nullopt;
  std::optional<pagemark::Mark> mark;
  uint32_t w = 0, h = 0;
  if (TIFFSetDirectory(tif, tdir_t(directory)) && TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w) &&
      TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h) && w > 0 && h > 0) {
    // Only the band of the mark is read: a 300 dpi page whole is 33 MB of RGBA. RGBA
    // reading copes with strips and tiles alike (tiffcp may write tiles).
    using namespace pagemark;
    const uint32_t band = std::min<uint32_t>(h, uint32_t((kTop + (kRows + 1) * kCell) * uint64_t(h) / kPageHeight + 1));
    std::vector<uint32_t> px(size_t(w) * band);
    TIFFRGBAImage img;
    char message[1024];
    if (TIFFRGBAImageOK(tif, message) && TIFFRGBAImageBegin(&img, tif, 0, message)) {
      img.req_orientation = ORIENTATION_TOPLEFT;
      if (TIFFRGBAImageGet(&img, px.data(), w, band)) {
        mark = ReadRaster(int(w), int(h), [&](int x, int y) {
          return uint32_t(y) < band && TIFFGetG(px[size_t(y) * w + size_t(x)]) < 128;
        });
      }
      TIFFRGBAImageEnd(&img);
    }
  }
  TIFFClose(tif);
  return mark;
}

int TiffPageCount(const TPath& path) {
  TIFFSetWarningHandler(nullptr);
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (!tif) return 0;
  int n = int(TIFFNumberOfDirectories(tif));
  TIFFClose(tif);
  return n;
}

namespace {

std::string Quoted(const std::string& bytes) {
  std::string quoted = "'";
  for (char c : bytes) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// What a command writes to its standard output.
std::string CommandOutput(const std::string& command) {
  FILE* p = popen((command + " 2>/dev/null").c_str(), "r");
  if (!p) return {};
  std::string out;
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  pclose(p);
  return out;
}

// The UTF-8 characters of text, blanks left out; a full-width form (U+FF01..U+FF5E,
// "．" "：" "１") counts as its ASCII character, which a reader takes for the same.
std::map<std::string, int> Characters(const std::string& text) {
  std::map<std::string, int> counts;
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    std::string ch = text.substr(i, n);
    if (n == 3 && (c == 0xEF) && i + 2 < text.size()) {
      const unsigned cp = ((c & 0x0F) << 12) | ((static_cast<unsigned char>(text[i + 1]) & 0x3F) << 6) |
                          (static_cast<unsigned char>(text[i + 2]) & 0x3F);
      if (cp >= 0xFF01 && cp <= 0xFF5E) ch = std::string(1, char(cp - 0xFF01 + 0x21));
    }
    if (!std::isspace(c) && c != 0x0C) ++counts[ch];
    i += n;
  }
  return counts;
}

}  // namespace

int PdfPageCount(const TPath& path) {
  std::string info = PdfInfoText(path);
  size_t at = info.find("\nPages:");
  if (info.rfind("Pages:", 0) == 0) at = 0;
  else if (at != std::string::npos) ++at;
  int pages = -1;
  if (at == std::string::npos || sscanf(info.c_str() + at, "Pages: %d", &pages) != 1) return -1;
  return pages;
}

std::string PdfInfoText(const TPath& path) { return CommandOutput("pdfinfo -enc UTF-8 " + Quoted(path.Bytes())); }

std::vector<std::pair<std::string, int>> PdfOutline(const TPath& path) {
  QPDF pdf;
  pdf.processFile(path.c_str());
  std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
  std::vector<std::pair<std::string, int>> entries;
  for (QPDFOutlineObjectHelper& item : QPDFOutlineDocumentHelper(pdf).getTopLevelOutlines()) {
    QPDFObjectHandle target = item.getDestPage();
    int page = 0;
    for (size_t i = 0; i < pages.size(); ++i)
      if (pages[i].getObjectHandle().getObjGen() == target.getObjGen()) page = int(i) + 1;
    entries.emplace_back(item.getTitle(), page);
  }
  return entries;
}

std::string PdfText(const TPath& path, int page) {
  std::string range = page > 0 ? "-f " + std::to_string(page) + " -l " + std::to_string(page) + " " : "";
  return CommandOutput("pdftotext -enc UTF-8 " + range + Quoted(path.Bytes()) + " -");
}

std::string RenderedPage(const TPath& path, int page, int dpi) {
  return CommandOutput("pdftoppm -gray -r " + std::to_string(dpi) + " -f " + std::to_string(page) + " -l " +
                       std::to_string(page) + " " + Quoted(path.Bytes()));
}

double CharacterRecall(const std::string& truth, const std::string& found) {
  std::map<std::string, int> drawn = Characters(truth), read = Characters(found);
  int total = 0, hits = 0;
  for (const auto& [c, n] : drawn) {
    total += n;
    hits += std::min(n, read[c]);
  }
  return total == 0 ? 1.0 : double(hits) / total;
}

std::optional<pagemark::Mark> ReadPgmPageMark(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int w = 0, h = 0, maxval = 0;
  in >> magic >> w >> h >> maxval;
  in.get();  // the one blank after the header
  if (!in || magic != "P5" || w <= 0 || h <= 0 || maxval <= 0 || maxval > 255) return std::nullopt;
  std::vector<unsigned char> px(size_t(w) * h);
  if (!in.read(reinterpret_cast<char*>(px.data()), std::streamsize(px.size()))) return std::nullopt;
  return pagemark::ReadRaster(w, h, [&](int x, int y) { return px[size_t(y) * w + size_t(x)] < maxval / 2; });
}
