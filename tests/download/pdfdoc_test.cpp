// What a finished PDF holds besides its pages: the document information as viewers read
// it, the outline of the sections, and the keywords the ownership rule reads.
#include <gtest/gtest.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <cstdio>

#include "base/files.h"
#include "base/gbk.h"
#include "download/downerrors.h"
#include "download/pdfdoc.h"
#include "download/pdfstore.h"
#include "tests/support/pagereaders.h"
#include "tests/support/tempdir.h"

namespace {

std::string G(const std::string& utf8) { return Utf8ToGbk(utf8); }

// A PDF of blank pages, with the version the converting tool declares.
void WriteBlankPdf(const TPath& path, int pages) {
  QPDF pdf;
  pdf.emptyPDF();
  QPDFPageDocumentHelper doc(pdf);
  for (int i = 0; i < pages; ++i)
    doc.addPage(pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 612 792] >>")), false);
  QPDFWriter writer(pdf, path.c_str());
  writer.forcePDFVersion("1.1");
  writer.write();
}

TEST(PdfDocument, InformationReadsBackInChineseAndKeepsTheOwnershipKeywords) {
  TempDir dir;
  WriteBlankPdf(dir.File("in.pdf"), 2);
  TRecordFacts facts;
  facts.title = G("一种锂离子电池及其制备方法");
  facts.patentee = G("哈尔滨工业大学； 张伟 & 李强");
  facts.application = "CN200510012345.X";
  facts.classification = "H01M10/0525";
  facts.owner = "200510012345";
  FinishPdf(dir.File("in.pdf"), dir.File("out.pdf"), RecordPdfInfo(facts), {});

  const std::string info = PdfInfoText(dir.File("out.pdf"));
  EXPECT_NE(info.find("Title:           一种锂离子电池及其制备方法\n"), std::string::npos) << info;
  EXPECT_NE(info.find("Author:          哈尔滨工业大学； 张伟 & 李强\n"), std::string::npos) << info;
  EXPECT_NE(info.find("Subject:         申请号：CN200510012345.X；分类号：H01M10/0525\n"), std::string::npos) << info;
  EXPECT_NE(info.find("Keywords:        CN200510012345\n"), std::string::npos) << info;
  EXPECT_NE(info.find("Creator:         Varnolt 20080106\n"), std::string::npos) << info;
  EXPECT_EQ(PdfPageCount(dir.File("out.pdf")), 2);

  // Chinese text goes as UTF-16BE with its byte-order mark; the keywords stay plain.
  QPDF pdf;
  pdf.processFile(dir.File("out.pdf").c_str());
  QPDFObjectHandle dict = pdf.getTrailer().getKey("/Info");
  EXPECT_EQ(dict.getKey("/Title").getStringValue().substr(0, 4), std::string("\xfe\xff\x4e\x00", 4));  // BOM, 一
  EXPECT_EQ(dict.getKey("/Keywords").getStringValue(), "CN200510012345");
  EXPECT_EQ(PdfOwner(dir.File("out.pdf")), "200510012345");
  EXPECT_EQ(pdf.getPDFVersion(), "1.2");  // text strings in UTF-16 came with 1.2

  // A publication number, when the source knows one, joins the subject.
  facts.publication = "CN1234567A";
  EXPECT_EQ(RecordPdfInfo(facts).subject, G("申请号：CN200510012345.X；公开号：CN1234567A；分类号：H01M10/0525"));
}

TEST(PdfDocument, OutlineEntriesPointAtTheirPagesAndOnlyExistingOnes) {
  TempDir dir;
  WriteBlankPdf(dir.File("in.pdf"), 6);
  FinishPdf(dir.File("in.pdf"), dir.File("out.pdf"), {},
            {{G("摘要"), 1}, {G("权利要求书"), 2}, {G("说明书"), 3}, {G("附图"), 6}, {G("多余"), 7}, {"x", 0}});
  EXPECT_EQ(PdfOutline(dir.File("out.pdf")),
            (std::vector<std::pair<std::string, int>>{{"摘要", 1}, {"权利要求书", 2}, {"说明书", 3}, {"附图", 6}}));
  QPDF pdf;
  pdf.processFile(dir.File("out.pdf").c_str());
  EXPECT_EQ(pdf.getRoot().getKey("/PageMode").getName(), "/UseOutlines");

  // No sections known: no outline, and a viewer opens as usual.
  FinishPdf(dir.File("out.pdf"), dir.File("none.pdf"), {}, {{G("附图"), 9}});
  EXPECT_TRUE(PdfOutline(dir.File("none.pdf")).empty());
  QPDF none;
  none.processFile(dir.File("none.pdf").c_str());
  EXPECT_FALSE(none.getRoot().hasKey("/Outlines"));
}

TEST(PdfDocument, OwnersOfEarlierPdfsAndFailuresThatLeaveNothing) {
  TempDir dir;
  // A PDF of an earlier version: the converting tool's own keywords.
  WriteFileBytes(dir.File("old.pdf"),
                 "%PDF-1.1\n1 0 obj\n<< /Keywords (CN02123456) >>\nendobj\n2 0 obj\n<< /Type /Catalog /Pages 3 0 R >>\n"
                 "endobj\n3 0 obj\n<< /Type /Pages /Kids [] /Count 0 >>\nendobj\ntrailer\n<< /Root 2 0 R /Info 1 0 R >>\n"
                 "%%EOF\n");
  EXPECT_EQ(PdfOwner(dir.File("old.pdf")), "02123456");
  WriteBlankPdf(dir.File("blank.pdf"), 1);
  EXPECT_EQ(PdfOwner(dir.File("blank.pdf")), "");
  WriteFileBytes(dir.File("text.pdf"), "not a PDF at all");
  EXPECT_EQ(PdfOwner(dir.File("text.pdf")), "");

  EXPECT_THROW(FinishPdf(dir.File("text.pdf"), dir.File("out.pdf"), {}, {}), EConversionError);
  EXPECT_FALSE(FileExists(dir.File("out.pdf")));
  // A text layer for another number of pages is refused, not laid over the wrong pages.
  EXPECT_THROW(FinishPdf(dir.File("blank.pdf"), dir.File("out.pdf"), {}, {}, std::vector<TRecognisedPage>(2), ""),
               EConversionError);
  EXPECT_FALSE(FileExists(dir.File("out.pdf")));
}

// The words pdftotext finds on page 1 with their boxes: "word xMin yMin xMax" a line.
std::vector<std::string> WordBoxes(const TPath& pdf) {
  std::vector<std::string> words;
  FILE* p = popen(("pdftotext -bbox -f 1 -l 1 '" + pdf.Bytes() + "' -").c_str(), "r");
  if (!p) return words;
  char buf[512];
  while (fgets(buf, sizeof buf, p)) {
    double x0, y0, x1;
    char word[256];
    if (sscanf(buf, " <word xMin=\"%lf\" yMin=\"%lf\" xMax=\"%lf\" yMax=\"%*f\">%255[^<]", &x0, &y0, &x1, word) == 4) {
      char line[400];
      snprintf(line, sizeof line, "%s %.0f %.0f %.0f", word, x0, y0, x1);
      words.push_back(line);
    }
  }
  pclose(p);
  return words;
}

TEST(PdfDocument, RecognisedTextLiesOverItsWordsAndReadsLineByLine) {
  TempDir dir;
  WriteBlankPdf(dir.File("in.pdf"), 2);
  // A 300 dpi letter page (2550 x 3300 pixels over 612 x 792 points: 0.24 points a pixel).
  TRecognisedPage page;
  page.width = 2550;
  page.height = 3300;
  TRecognisedLine chinese;
  chinese.box = {500, 400, 290, 50};
  chinese.baselineLeft = chinese.baselineRight = 450;
  chinese.words = {{G("锂"), {500, 400, 50, 50}}, {G("离子"), {552, 400, 98, 50}}, {G("电池"), {655, 400, 95, 50}},
                   {"2", {765, 400, 25, 50}}};
  TRecognisedLine latin;
  latin.box = {500, 1000, 730, 50};
  latin.baselineLeft = latin.baselineRight = 1040;
  latin.words = {{"Int.Cl.", {500, 1000, 300, 50}}, {"H01M2/16", {830, 1000, 400, 50}}};
  page.lines = {chinese, latin};
  FinishPdf(dir.File("in.pdf"), dir.File("out.pdf"), {}, {}, {page, TRecognisedPage()}, "");

  // A line's Chinese reads without blanks, other words apart; each line on its own.
  EXPECT_EQ(PdfText(dir.File("out.pdf"), 1), "锂离子电池 2\n\nInt.Cl. H01M2/16\n\n\f");
  // Where the image shows them: x from the left edge, y from the top, in points.
  EXPECT_EQ(WordBoxes(dir.File("out.pdf")),
            (std::vector<std::string>{"锂离子电池 120 96 180", "2 184 96 190", "Int.Cl. 120 240 192", "H01M2/16 199 240 295"}));
  // A page with nothing read carries no layer.
  EXPECT_EQ(PdfText(dir.File("out.pdf"), 2).find_first_not_of(" \n\f"), std::string::npos);
  QPDF pdf;
  pdf.processFile(dir.File("out.pdf").c_str());
  std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
  QPDFObjectHandle resources = pages[1].getAttribute("/Resources", false);
  EXPECT_FALSE(resources.isDictionary() && resources.hasKey("/XObject"));
}

}  // namespace
