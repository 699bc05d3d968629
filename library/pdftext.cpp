#include "library/pdftext.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <map>

#include "base/bytes.h"
#include "base/gbk.h"
#include "library/liberrors.h"

namespace {

void AppendUtf8(std::string& out, unsigned cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

// The text layer's glyphless font codes each glyph as its UTF-16 code unit, two bytes,
// whether the string is written as hex or as literal bytes.
void AppendUtf16(std::string& out, const std::string& bytes) {
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    unsigned unit = (unsigned(static_cast<unsigned char>(bytes[i])) << 8) | static_cast<unsigned char>(bytes[i + 1]);
    if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
      const unsigned low =
          (unsigned(static_cast<unsigned char>(bytes[i + 2])) << 8) | static_cast<unsigned char>(bytes[i + 3]);
      if (low >= 0xDC00 && low < 0xE000) {
        unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    if (unit >= 0x20 || unit == '\t') AppendUtf8(out, unit);
  }
}

// The text of a text layer's content: a line per text object or line move.
class LayerText : public QPDFObjectHandle::ParserCallbacks {
 public:
  void handleObject(QPDFObjectHandle object) override {
    if (!object.isOperator()) {
      operands_.push_back(object);
      return;
    }
    const std::string op = object.getOperatorValue();
    if (op == "TJ" || op == "Tj" || op == "'" || op == "\"") {
      if (op == "'" || op == "\"") NewLine();
      for (QPDFObjectHandle& o : operands_) {
        if (o.isString()) AppendUtf16(line_, o.getStringValue());
        if (o.isArray())
          for (QPDFObjectHandle item : o.getArrayAsVector())
            if (item.isString()) AppendUtf16(line_, item.getStringValue());
      }
    } else if (op == "ET" || op == "T*") {
      NewLine();
    } else if ((op == "Td" || op == "TD") && operands_.size() == 2 && operands_[1].isNumber() &&
               operands_[1].getNumericValue() != 0) {
      NewLine();
    }
    operands_.clear();
  }
  void handleEOF() override { NewLine(); }

  std::string text;

 private:
  void NewLine() {
    const std::string t = TrimBytes(line_);
    if (!t.empty()) text += (text.empty() ? "" : "\n") + t;
    line_.clear();
  }
  std::vector<QPDFObjectHandle> operands_;
  std::string line_;
};

std::string Utf8Of(QPDFObjectHandle value) { return value.isString() ? value.getUTF8Value() : std::string(); }

}  // namespace

TPdfContent ReadPdfContent(const TPath& path) {
  TPdfContent content;
  try {
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.processFile(path.c_str());
    QPDFObjectHandle info = pdf.getTrailer().getKey("/Info");
    if (info.isDictionary()) {
      content.title = Utf8Of(info.getKey("/Title"));
      content.author = Utf8Of(info.getKey("/Author"));
      content.subject = Utf8Of(info.getKey("/Subject"));
      content.keywords = Utf8Of(info.getKey("/Keywords"));
    }
    std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
    content.pages = int(pages.size());
    std::map<QPDFObjGen, int> pageOf;
    for (size_t i = 0; i < pages.size(); ++i) pageOf[pages[i].getObjectHandle().getObjGen()] = int(i + 1);

    QPDFObjectHandle outlines = pdf.getRoot().getKey("/Outlines");
    // A loop in a damaged outline must not hold the import: at most one entry per page and some.
    int guard = 0;
    for (QPDFObjectHandle item = outlines.isDictionary() ? outlines.getKey("/First") : QPDFObjectHandle::newNull();
         item.isDictionary() && guard < content.pages + 64; item = item.getKey("/Next"), ++guard) {
      QPDFObjectHandle dest = item.getKey("/Dest");
      if (!dest.isArray() || dest.getArrayNItems() < 1) continue;
      auto it = pageOf.find(dest.getArrayItem(0).getObjGen());
      if (it != pageOf.end()) content.outline.push_back({Utf8Of(item.getKey("/Title")), it->second});
    }

    for (QPDFPageObjectHelper& page : pages) {
      std::string text;
      QPDFObjectHandle xobjects = page.getAttribute("/Resources", false).getKey("/XObject");
      if (xobjects.isDictionary()) {
        for (const std::string& name : xobjects.getKeys()) {
          // The program's own text layer only: the page image is no text.
          if (name.rfind("/OcrText", 0) != 0) continue;
          QPDFObjectHandle form = xobjects.getKey(name);
          if (!form.isStream()) continue;
          LayerText layer;
          QPDFObjectHandle::parseContentStream(form, &layer);
          content.hasTextLayer = true;
          text += (text.empty() || layer.text.empty() ? "" : "\n") + layer.text;
        }
      }
      content.pageTexts.push_back(text);
    }
  } catch (const std::exception& e) {
    throw ELibraryError(path.ShownText() + ": " + Utf8ToGbk(e.what()));
  }
  return content;
}
