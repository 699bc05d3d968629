#include "download/layerform.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "base/gbk.h"

namespace {

// The glyphless font's one width, in ems.
constexpr double kGlyphWidth = 0.5;

// A number as the content stream writes it: at most `decimals` decimals, no trailing zeros.
std::string Num(double v, int decimals = 2) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  std::string s = buf;
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s == "-0" ? "0" : s;
}

// A word's UTF-16 code units, as the hex string of a show operator.
std::string Utf16Hex(const std::string& utf8, size_t& units) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string hex;
  units = 0;
  auto unit = [&](unsigned u) {
    for (int shift = 12; shift >= 0; shift -= 4) hex += kHex[(u >> shift) & 0xF];
    ++units;
  };
  for (size_t i = 0; i < utf8.size();) {
    size_t n = Utf8SequenceAt(utf8.data() + i, utf8.size() - i);
    if (n == 0) {  // not UTF-8: shown as the replacement character
      unit(0xFFFD);
      ++i;
      continue;
    }
    unsigned cp = Utf8CodePointAt(utf8.data() + i, n);
    i += n;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      unit(0xD800 + (cp >> 10));
      unit(0xDC00 + (cp & 0x3FF));
    } else {
      unit(cp);
    }
  }
  return hex;
}

// The content stream of the text layer of a page, in the image's pixels with y upwards
// (the form's box is 0 0 width height), showing its words in the font resource `font`.
std::string TextLayerContent(const TRecognisedPage& page, const std::string& font) {
  std::string out;
  // A text object per line: readers of the layer take its end for the end of a line.
  for (const TRecognisedLine& line : page.lines) {
    std::vector<std::string> words;
    for (const TRecognisedWord& w : line.words) words.push_back(GbkWithReferencesToUtf8(w.text));
    const double lineLeft = line.box.left, lineWidth = std::max(1, line.box.width);
    const double rise = line.baselineRight - line.baselineLeft;  // downwards in the image
    const double length = std::hypot(lineWidth, rise);
    const double cosA = lineWidth / length, sinA = -rise / length;
    auto baselineAt = [&](double x) { return line.baselineLeft + rise * (x - lineLeft) / lineWidth; };
    // The size of the line's text: the height of its box above the baseline.
    const double size = std::max(1.0, baselineAt(lineLeft) - line.box.top);
    out += "BT\n3 Tr\n/" + font.substr(font[0] == '/' ? 1 : 0) + " " + Num(size) + " Tf\n";
    for (size_t i = 0; i < words.size(); ++i) {
      const TPageBox& box = line.words[i].box;
      const bool joins = i + 1 < words.size() && WordsJoin(line.words[i].text, line.words[i + 1].text) &&
                         line.words[i + 1].box.left > box.left;
      size_t units = 0;
      std::string hex = Utf16Hex(words[i], units);
      if (units == 0) continue;
      const double reach = joins ? line.words[i + 1].box.left - box.left : box.width;
      const double stretch = 100 * std::max(1.0, reach / cosA) / (double(units) * size * kGlyphWidth);
      if (!joins && i + 1 < words.size()) hex += "0020";
      const double x = box.left, y = page.height - baselineAt(x);
      out += Num(cosA, 4) + " " + Num(sinA, 4) + " " + Num(-sinA, 4) + " " + Num(cosA, 4) + " " + Num(x) + " " +
             Num(y) + " Tm " + Num(stretch) + " Tz <" + hex + "> Tj\n";
    }
    out += "ET\n";
  }
  return out;
}

// The glyphless font's ToUnicode map: its codes are the text's UTF-16 code units.
std::string TextLayerToUnicode() {
  return "/CIDInit /ProcSet findresource begin\n"
         "12 dict begin\n"
         "begincmap\n"
         "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
         "/CMapName /Adobe-Identity-UCS def\n"
         "/CMapType 2 def\n"
         "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n"
         "1 beginbfrange\n<0000> <FFFF> <0000>\nendbfrange\n"
         "endcmap\n"
         "CMapName currentdict /CMap defineresource pop\n"
         "end\n"
         "end\n";
}

// Its CIDToGIDMap: every code to glyph 1, the font's one empty glyph.
std::string TextLayerGlyphMap() {
  std::string map;
  map.reserve(2 * 65536);
  for (int i = 0; i < 65536; ++i) map += std::string("\0\1", 2);
  return map;
}

}  // namespace

struct TTextLayers::TObjects {
  QPDFObjectHandle font;
  int suffix = 0;
};

TTextLayers::TTextLayers(QPDF& pdf, std::string fontProgram)
    : pdf_(pdf), fontProgram_(std::move(fontProgram)), objects_(std::make_unique<TObjects>()) {}

TTextLayers::~TTextLayers() = default;

void TTextLayers::Lay(QPDFPageObjectHelper& page, const TRecognisedPage& text) {
  if (text.lines.empty() || text.width <= 0 || text.height <= 0) return;
  QPDFObjectHandle& font = objects_->font;
  if (!font.isInitialized()) {
    auto name = [](const char* n) { return QPDFObjectHandle::newName(n); };
    QPDFObjectHandle descriptor = QPDFObjectHandle::newDictionary();
    descriptor.replaceKey("/Type", name("/FontDescriptor"));
    descriptor.replaceKey("/FontName", name("/GlyphLessFont"));
    descriptor.replaceKey("/Flags", QPDFObjectHandle::newInteger(5));
    descriptor.replaceKey("/FontBBox", QPDFObjectHandle::newArray(QPDFObjectHandle::Rectangle(0, 0, 500, 1000)));
    descriptor.replaceKey("/ItalicAngle", QPDFObjectHandle::newInteger(0));
    descriptor.replaceKey("/Ascent", QPDFObjectHandle::newInteger(1000));
    descriptor.replaceKey("/Descent", QPDFObjectHandle::newInteger(-1));
    descriptor.replaceKey("/CapHeight", QPDFObjectHandle::newInteger(1000));
    descriptor.replaceKey("/StemV", QPDFObjectHandle::newInteger(80));
    if (!fontProgram_.empty()) {
      QPDFObjectHandle program = QPDFObjectHandle::newStream(&pdf_, fontProgram_);
      program.getDict().replaceKey("/Length1", QPDFObjectHandle::newInteger(static_cast<long long>(fontProgram_.size())));
      descriptor.replaceKey("/FontFile2", program);
    }
    QPDFObjectHandle systemInfo = QPDFObjectHandle::newDictionary();
    systemInfo.replaceKey("/Registry", QPDFObjectHandle::newString("Adobe"));
    systemInfo.replaceKey("/Ordering", QPDFObjectHandle::newString("Identity"));
    systemInfo.replaceKey("/Supplement", QPDFObjectHandle::newInteger(0));
    QPDFObjectHandle cidFont = QPDFObjectHandle::newDictionary();
    cidFont.replaceKey("/Type", name("/Font"));
    cidFont.replaceKey("/Subtype", name("/CIDFontType2"));
    cidFont.replaceKey("/BaseFont", name("/GlyphLessFont"));
    cidFont.replaceKey("/CIDSystemInfo", systemInfo);
    cidFont.replaceKey("/FontDescriptor", pdf_.makeIndirectObject(descriptor));
    cidFont.replaceKey("/DW", QPDFObjectHandle::newInteger(static_cast<long long>(kGlyphWidth * 1000)));
    cidFont.replaceKey("/CIDToGIDMap", QPDFObjectHandle::newStream(&pdf_, TextLayerGlyphMap()));
    QPDFObjectHandle type0 = QPDFObjectHandle::newDictionary();
    type0.replaceKey("/Type", name("/Font"));
    type0.replaceKey("/Subtype", name("/Type0"));
    type0.replaceKey("/BaseFont", name("/GlyphLessFont"));
    type0.replaceKey("/Encoding", name("/Identity-H"));
    type0.replaceKey("/DescendantFonts", QPDFObjectHandle::newArray(std::vector<QPDFObjectHandle>{pdf_.makeIndirectObject(cidFont)}));
    type0.replaceKey("/ToUnicode", QPDFObjectHandle::newStream(&pdf_, TextLayerToUnicode()));
    font = pdf_.makeIndirectObject(type0);
  }
  QPDFObjectHandle form = QPDFObjectHandle::newStream(&pdf_, TextLayerContent(text, "/F1"));
  QPDFObjectHandle dict = form.getDict();
  dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
  dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Form"));
  dict.replaceKey("/BBox", QPDFObjectHandle::newArray(QPDFObjectHandle::Rectangle(0, 0, text.width, text.height)));
  QPDFObjectHandle fonts = QPDFObjectHandle::newDictionary();
  fonts.replaceKey("/F1", font);
  QPDFObjectHandle resources = QPDFObjectHandle::newDictionary();
  resources.replaceKey("/Font", fonts);
  dict.replaceKey("/Resources", resources);

  QPDFObjectHandle pageResources = page.getAttribute("/Resources", true);
  if (!pageResources.isDictionary()) {
    pageResources = QPDFObjectHandle::newDictionary();
    page.getObjectHandle().replaceKey("/Resources", pageResources);
  }
  if (!pageResources.getKey("/XObject").isDictionary())
    pageResources.replaceKey("/XObject", QPDFObjectHandle::newDictionary());
  const std::string name = pageResources.getUniqueResourceName("/OcrText", objects_->suffix);
  pageResources.getKey("/XObject").replaceKey(name, form);
  const std::string place = page.placeFormXObject(form, name, page.getMediaBox().getArrayAsRectangle(), true, true, true);
  // The page's own drawing keeps its graphics state to itself, then the text goes on top.
  page.addPageContents(QPDFObjectHandle::newStream(&pdf_, "q\n"), true);
  page.addPageContents(QPDFObjectHandle::newStream(&pdf_, "\nQ\n" + place), false);
}
