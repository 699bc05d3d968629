#include "download/pdfdoc.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <cstring>
#include <map>
#include <memory>

#include "base/bytes.h"
#include "base/files.h"
#include "base/gbk.h"
#include "base/version.h"
#include "download/downerrors.h"
#include "download/downtexts.h"

namespace {

using namespace pdfdoctext;

const char kKeywordsPrefix[] = "CN";

// A character OPS sent that GBK cannot hold comes as its reference: the viewer shows it.
QPDFObjectHandle TextString(const std::string& gbk) {
  return QPDFObjectHandle::newUnicodeString(GbkWithReferencesToUtf8(gbk));
}

void SetInfo(QPDF& pdf, const TPdfInfo& info) {
  QPDFObjectHandle trailer = pdf.getTrailer();
  QPDFObjectHandle dict = trailer.getKey("/Info");
  if (!dict.isDictionary()) {
    dict = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
    trailer.replaceKey("/Info", dict);
  }
  const std::pair<const char*, const std::string*> fields[] = {{"/Title", &info.title},
                                                                {"/Author", &info.author},
                                                                {"/Subject", &info.subject},
                                                                {"/Keywords", &info.keywords},
                                                                {"/Creator", &info.creator}};
  for (const auto& [key, value] : fields) {
    if (value->empty())
      dict.removeKey(key);
    else
      dict.replaceKey(key, TextString(*value));
  }
}

void SetOutline(QPDF& pdf, const std::vector<QPDFPageObjectHelper>& pages, const std::vector<TOutlineEntry>& outline) {
  QPDFObjectHandle root = pdf.getRoot();
  std::vector<QPDFObjectHandle> items;
  QPDFObjectHandle outlines = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
  for (const TOutlineEntry& entry : outline) {
    if (entry.page < 1 || size_t(entry.page) > pages.size()) continue;
    QPDFObjectHandle item = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
    item.replaceKey("/Title", TextString(entry.title));
    item.replaceKey("/Parent", outlines);
    QPDFObjectHandle dest = QPDFObjectHandle::newArray();
    dest.appendItem(pages[size_t(entry.page) - 1].getObjectHandle());
    dest.appendItem(QPDFObjectHandle::newName("/Fit"));
    item.replaceKey("/Dest", dest);
    if (!items.empty()) {
      item.replaceKey("/Prev", items.back());
      items.back().replaceKey("/Next", item);
    }
    items.push_back(item);
  }
  if (items.empty()) {
    // A converted PDF has none; a stale one would point at pages that are not there.
    root.removeKey("/Outlines");
    if (root.getKey("/PageMode").isNameAndEquals("/UseOutlines")) root.removeKey("/PageMode");
    return;
  }
  outlines.replaceKey("/Type", QPDFObjectHandle::newName("/Outlines"));
  outlines.replaceKey("/First", items.front());
  outlines.replaceKey("/Last", items.back());
  outlines.replaceKey("/Count", QPDFObjectHandle::newInteger(static_cast<long long>(items.size())));
  root.replaceKey("/Outlines", outlines);
  root.replaceKey("/PageMode", QPDFObjectHandle::newName("/UseOutlines"));
}

// The objects of a content stream in order, operators among them.
class ContentObjects : public QPDFObjectHandle::ParserCallbacks {
 public:
  void handleObject(QPDFObjectHandle object) override { objects.push_back(object); }
  void handleEOF() override {}
  std::vector<QPDFObjectHandle> objects;
};

// The UTF-16 code unit at byte offset at of a two-byte-coded string.
unsigned UnitAt(const std::string& s, size_t at) {
  return (unsigned(static_cast<unsigned char>(s[at])) << 8) | static_cast<unsigned char>(s[at + 1]);
}

// The bytes of the one string of a word's "[ <...> ] TJ" operand; false for any other shape.
bool WordBytes(std::vector<QPDFObjectHandle>& operands, std::string& bytes) {
  if (operands.size() != 1 || !operands[0].isArray() || operands[0].getArrayNItems() != 1) return false;
  QPDFObjectHandle item = operands[0].getArrayItem(0);
  if (!item.isString()) return false;
  bytes = item.getStringValue();
  return true;
}

struct Instruction {
  std::vector<QPDFObjectHandle> operands;
  std::string op;
};

// The OCR tool writes every word as its own string with a blank glyph after it, placed
// by a Td from the word before and stretched by Tz to the word's width; Chinese text
// comes out as one word per character or two, so a reader copies "锂 离子 电池" and a
// search for 锂离子电池 fails. Between two Chinese words of a line the blank is dropped and
// the word stretched to reach the next one, so that no gap is left to read as a blank.
std::string JoinChineseWords(std::vector<QPDFObjectHandle>& objects, double glyphWidth) {
  std::vector<Instruction> code;
  Instruction current;
  for (QPDFObjectHandle& object : objects) {
    if (object.isOperator()) {
      current.op = object.getOperatorValue();
      code.push_back(std::move(current));
      current = Instruction();
    } else {
      current.operands.push_back(object);
    }
  }
  double size = 0;
  long tz = -1;  // the Tz of the word being read
  for (size_t k = 0; k < code.size(); ++k) {
    Instruction& in = code[k];
    if (in.op == "Tf" && in.operands.size() == 2 && in.operands[1].isNumber()) size = in.operands[1].getNumericValue();
    if (in.op == "Tz") tz = long(k);
    if (in.op == "BT" || in.op == "ET" || in.op == "Tm") tz = -1;
    if (in.op != "TJ") continue;
    std::string bytes;
    const long wordTz = tz;
    tz = -1;
    if (!WordBytes(in.operands, bytes) || wordTz < 0 || size <= 0) continue;
    if (bytes.size() < 4 || bytes.size() % 2 || UnitAt(bytes, bytes.size() - 2) != 0x20 ||
        !IsCjkCodePoint(UnitAt(bytes, bytes.size() - 4)))
      continue;
    // The next word on the same line: a Td along the line, then its TJ.
    double dx = 0;
    bool sameLine = false;
    size_t m = k + 1;
    for (; m < code.size() && code[m].op != "TJ"; ++m) {
      Instruction& next = code[m];
      if (next.op == "Td" && next.operands.size() == 2 && next.operands[0].isNumber() && next.operands[1].isNumber()) {
        dx += next.operands[0].getNumericValue();
        sameLine = next.operands[1].getNumericValue() == 0;
        if (!sameLine) break;
      } else if (next.op != "Tz" && next.op != "Tf") {
        sameLine = false;
        break;
      }
    }
    if (!sameLine || m >= code.size() || dx <= 0) continue;
    std::string nextBytes;
    if (!WordBytes(code[m].operands, nextBytes) || nextBytes.size() < 2 || !IsCjkCodePoint(UnitAt(nextBytes, 0)))
      continue;
    const size_t glyphs = bytes.size() / 2 - 1;
    const double stretch = dx / (double(glyphs) * size * glyphWidth) * 100;
    code[size_t(wordTz)].operands = {QPDFObjectHandle::newReal(stretch, 3, true)};
    QPDFObjectHandle array = QPDFObjectHandle::newArray();
    array.appendItem(QPDFObjectHandle::newString(bytes.substr(0, bytes.size() - 2)));
    in.operands = {array};
  }
  std::string out;
  for (Instruction& in : code) {
    for (QPDFObjectHandle& operand : in.operands) out += operand.unparse() + " ";
    out += in.op + "\n";
  }
  return out;
}

// The width of a glyph of a font in text space units per unit of size: the default
// width of its descendant font, the one the OCR tool's glyphless font gives every glyph.
double GlyphWidthOf(QPDFObjectHandle font) {
  QPDFObjectHandle descendants = font.getKey("/DescendantFonts");
  if (descendants.isArray() && descendants.getArrayNItems() > 0) {
    QPDFObjectHandle dw = descendants.getArrayItem(0).getKey("/DW");
    if (dw.isNumber()) return dw.getNumericValue() / 1000;
  }
  return 1;
}

// Lays the text-only page of the OCR tool's PDF over page. Fonts are copied once per
// document (every page's text uses the same glyphless font).
class TextLayers {
 public:
  explicit TextLayers(QPDF& pdf) : pdf_(pdf) {}

  void Lay(QPDFPageObjectHelper& page, const TPath& layerPdf) {
    QPDF layer;
    layer.setSuppressWarnings(true);
    layer.setImmediateCopyFrom(true);
    layer.processFile(layerPdf.c_str());
    std::vector<QPDFPageObjectHelper> layerPages = QPDFPageDocumentHelper(layer).getAllPages();
    if (layerPages.size() != 1) throw std::runtime_error("the text layer is not one page");
    QPDFPageObjectHelper& text = layerPages[0];

    QPDFObjectHandle fonts = QPDFObjectHandle::newDictionary();
    double glyphWidth = 1;
    QPDFObjectHandle layerFonts = text.getAttribute("/Resources", false).getKey("/Font");
    if (layerFonts.isDictionary()) {
      for (const std::string& name : layerFonts.getKeys()) {
        QPDFObjectHandle font = layerFonts.getKey(name);
        glyphWidth = GlyphWidthOf(font);
        auto it = fonts_.find(name);
        if (it == fonts_.end())
          it = fonts_.emplace(name, pdf_.copyForeignObject(font.isIndirect() ? font : layer.makeIndirectObject(font)))
                   .first;
        fonts.replaceKey(name, it->second);
      }
    }
    ContentObjects content;
    text.parseContents(&content);

    QPDFObjectHandle form = QPDFObjectHandle::newStream(&pdf_, JoinChineseWords(content.objects, glyphWidth));
    QPDFObjectHandle dict = form.getDict();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Form"));
    dict.replaceKey("/BBox", QPDFObjectHandle::newArray(text.getMediaBox().getArrayAsRectangle()));
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
    std::string name = "/OcrText";
    name = pageResources.getUniqueResourceName(name, suffix_);
    pageResources.getKey("/XObject").replaceKey(name, form);
    const std::string place =
        page.placeFormXObject(form, name, page.getMediaBox().getArrayAsRectangle(), true, true, true);
    // The page's own drawing keeps its graphics state to itself, then the text goes on top.
    page.addPageContents(QPDFObjectHandle::newStream(&pdf_, "q\n"), true);
    page.addPageContents(QPDFObjectHandle::newStream(&pdf_, "\nQ\n" + place), false);
  }

 private:
  QPDF& pdf_;
  std::map<std::string, QPDFObjectHandle> fonts_;
  int suffix_ = 0;
};

}  // namespace

std::string PdfKeywords(const std::string& number) { return kKeywordsPrefix + number; }

std::string KeywordsOwner(const std::string& keywords) {
  return keywords.rfind(kKeywordsPrefix, 0) == 0 ? keywords.substr(std::strlen(kKeywordsPrefix)) : std::string();
}

TPdfInfo RecordPdfInfo(const TRecordFacts& facts) {
  TPdfInfo info;
  info.title = facts.title;
  info.author = facts.patentee;
  std::vector<std::string> subject;
  if (!facts.application.empty()) subject.push_back(kApplicationLabel + facts.application);
  if (!facts.publication.empty()) subject.push_back(kPublicationLabel + facts.publication);
  if (!facts.classification.empty()) subject.push_back(kClassLabel + facts.classification);
  for (size_t i = 0; i < subject.size(); ++i) info.subject += (i ? kSeparator : "") + subject[i];
  info.keywords = PdfKeywords(facts.owner);
  info.creator = "Varnolt " + std::to_string(kVarnoltVersion);
  return info;
}

void FinishPdf(const TPath& in, const TPath& out, const TPdfInfo& info, const std::vector<TOutlineEntry>& outline,
               const std::vector<TPath>& textLayers) {
  try {
    // Read from memory: a converted PDF holds thousands of small image tiles, and reading
    // each one from the file costs a seek of its own.
    const std::string bytes = ReadFileBytes(in);
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.processMemoryFile(in.c_str(), bytes.data(), bytes.size());
    std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
    SetInfo(pdf, info);
    SetOutline(pdf, pages, outline);
    if (!textLayers.empty()) {
      if (textLayers.size() != pages.size())
        throw EConversionError("The text layer has " + std::to_string(textLayers.size()) + " pages, the PDF " +
                               std::to_string(pages.size()));
      TextLayers layers(pdf);
      for (size_t i = 0; i < pages.size(); ++i) layers.Lay(pages[i], textLayers[i]);
    }
    QPDFWriter writer(pdf, out.c_str());
    // The converting tool declares 1.1; Unicode text strings and the text layer's
    // composite fonts came with 1.2.
    writer.setMinimumPDFVersion("1.2");
    writer.write();
  } catch (const EConversionError&) {
    DeleteFileAt(out);
    throw;
  } catch (const std::exception& e) {
    DeleteFileAt(out);
    throw EConversionError(std::string("The PDF could not be finished: ") + e.what());
  }
}

TPdfInfo ReadPdfInfo(const TPath& path) {
  TPdfInfo info;
  try {
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.processFile(path.c_str());
    QPDFObjectHandle dict = pdf.getTrailer().getKey("/Info");
    if (!dict.isDictionary()) return info;
    auto text = [&](const char* key) {
      QPDFObjectHandle value = dict.getKey(key);
      return value.isString() ? Utf8ToGbk(value.getUTF8Value()) : std::string();
    };
    info.title = text("/Title");
    info.author = text("/Author");
    info.subject = text("/Subject");
    info.keywords = text("/Keywords");
    info.creator = text("/Creator");
  } catch (const std::exception&) {
    return TPdfInfo();
  }
  return info;
}
