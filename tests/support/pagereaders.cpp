#include "tests/support/pagereaders.h"

#include <tiffio.h>

#include <cstdio>
#include <fstream>
#include <vector>

std::optional<pagemark::Mark> ReadTiffPageMark(const TPath& path, int directory) {
  TIFFSetWarningHandler(nullptr);
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (!tif) return std::nullopt;
  std::optional<pagemark::Mark> mark;
  uint32_t w = 0, h = 0;
  if (TIFFSetDirectory(tif, tdir_t(directory)) && TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w) &&
      TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h) && w > 0 && h > 0) {
    // RGBA reading copes with strips and tiles alike (tiffcp may write tiles).
    std::vector<uint32_t> px(size_t(w) * h);
    if (TIFFReadRGBAImageOriented(tif, w, h, px.data(), ORIENTATION_TOPLEFT, 0)) {
      mark = pagemark::ReadRaster(int(w), int(h), [&](int x, int y) {
        return TIFFGetG(px[size_t(y) * w + size_t(x)]) < 128;
      });
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

int PdfPageCount(const TPath& path) {
  std::string quoted = "'";
  for (char c : path.Bytes()) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  quoted += "'";
  FILE* p = popen(("pdfinfo " + quoted + " 2>/dev/null").c_str(), "r");
  if (!p) return -1;
  char line[512];
  int pages = -1;
  while (fgets(line, sizeof line, p)) {
    if (pages < 0 && sscanf(line, "Pages: %d", &pages) != 1) pages = -1;
  }
  pclose(p);
  return pages;
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
