#include "download/pdfdoc.h"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <cstring>
#include <memory>

#include "base/bytes.h"
#include "base/files.h"
#include "base/gbk.h"
#include "base/version.h"
#include "download/downerrors.h"
#include "download/downtexts.h"
#include "download/layerform.h"

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
               const std::vector<TRecognisedPage>& text, const std::string& layerFont) {
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
    if (!text.empty()) {
      if (text.size() != pages.size())
        throw EConversionError("The text layer has " + std::to_string(text.size()) + " pages, the PDF " +
                               std::to_string(pages.size()));
      TTextLayers layers(pdf, layerFont);
      for (size_t i = 0; i < pages.size(); ++i) layers.Lay(pages[i], text[i]);
    }
    // Written to memory and then to the file at once: to a file, the writer flushes after
    // every object, a system call for each of the thousands of tiles.
    QPDFWriter writer(pdf);
    writer.setOutputMemory();
    // The converting tool declares 1.1; Unicode text strings and the text layer's
    // composite fonts came with 1.2.
    writer.setMinimumPDFVersion("1.2");
    writer.write();
    std::unique_ptr<Buffer> written(writer.getBuffer());
    WriteFileBytes(out, std::string(reinterpret_cast<const char*>(written->getBuffer()), written->getSize()));
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
