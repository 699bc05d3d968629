#include "library/runrecords.h"

#include <utility>

#include "base/bytes.h"
#include "base/gbk.h"
#include "download/downtexts.h"
#include "library/pdftext.h"
#include "library/reportreader.h"
#include "recognition/claimcut.h"
#include "search/searchtexts.h"
#include "sources/sourcetexts.h"

namespace {

std::string U(const char* gbk) { return GbkToUtf8(gbk); }

// Title and abstract go to the Chinese field or the English one by what they hold.
void PutText(const std::string& text, std::string& chinese, std::string& english) {
  (HasCjk(text) ? chinese : english) = text;
}

// The value after label in a subject of "label：value；label：value".
std::string SubjectValue(const std::string& subject, const std::string& label) {
  const size_t at = subject.find(label);
  if (at == std::string::npos) return "";
  const size_t from = at + label.size();
  const size_t to = subject.find(U(pdfdoctext::kSeparator), from);
  return TrimBytes(subject.substr(from, to == std::string::npos ? std::string::npos : to - from));
}

}  // namespace

bool HasCjk(const std::string& utf8) {
  for (size_t i = 0; i < utf8.size();) {
    const size_t n = Utf8SequenceAt(utf8.data() + i, utf8.size() - i);
    if (n && IsCjkCodePoint(Utf8CodePointAt(utf8.data() + i, n))) return true;
    i += n ? n : 1;
  }
  return false;
}

std::vector<std::string> SplitNames(const std::string& text) {
  std::string t = text;
  const std::string fullWidth = U(pdfdoctext::kSeparator);
  for (size_t at; (at = t.find(fullWidth)) != std::string::npos;) t.replace(at, fullWidth.size(), ";");
  std::vector<std::string> names;
  for (const std::string& n : SplitAt(t, ';'))
    if (!TrimBytes(n).empty()) names.push_back(TrimBytes(n));
  return names;
}

std::string FirstClaimOfCell(const std::string& plain) {
  std::string claim = TrimBytes(plain);
  const std::string recognised = U(getquerytext::kRecognised);
  if (claim.rfind(recognised, 0) == 0) claim = TrimBytes(claim.substr(recognised.size()));
  if (claim == U(sourcetext::kNoClaimsText) || claim == U(getquerytext::kNoClaimRecognised)) claim.clear();
  return claim;
}

namespace {

// What OPS gave of a hit beyond its cells (UTF-8 already): every publication among the
// hits with its date, the dates, names, classes, family and the estimated expiry.
void AddFacts(const TSearchFacts& f, TPatentRecord& r) {
  r.publications.clear();
  for (const TPublicationFact& p : f.publications) r.publications.push_back({p.shown, NormalDate(p.date)});
  r.applicationDate = NormalDate(f.applicationDate);
  r.publicationDate = NormalDate(f.PublicationDate());
  r.grantDate = NormalDate(f.GrantDate());
  for (const auto& [number, date] : f.priorities) r.priorities.push_back({number, NormalDate(date)});
  if (!f.applicants.empty()) r.applicants = f.applicants;
  r.applicantsLatin = f.applicantsLatin;
  r.inventors = f.inventors;
  if (!f.ipc.empty()) r.ipc = f.ipc;
  r.cpc = f.cpc;
  r.familyId = f.familyId;
  r.citedCount = f.citedCount;
  r.expiryEstimate = f.expiryEstimate;
}

}  // namespace

TPatentRecord RecordOfHit(TSourceKind source, const TSearchHit& hit) {
  TPatentRecord r;
  r.source = SourceName(source);
  const std::string number = PlainFromHtml(hit.number);
  r.application = ApplicationDigits(number);
  if (number != r.application) r.applicationOriginal = number;
  r.patentType = GbkToUtf8(hit.typeName);
  if (!hit.publication.empty()) r.publications.push_back({GbkToUtf8(hit.publication), ""});
  PutText(hit.titleUtf8.empty() ? PlainFromHtml(hit.title) : hit.titleUtf8, r.title, r.titleEn);
  r.ipc = SplitNames(PlainFromHtml(hit.classification));
  if (hit.legalStatus) {
    r.legalStatus = PlainFromHtml(*hit.legalStatus, " ");
    const size_t blank = r.legalStatus.rfind(' ');
    if (blank != std::string::npos) r.legalStatusDate = NormalDate(r.legalStatus.substr(blank + 1));
  }
  if (hit.patentee) r.applicants = SplitNames(PlainFromHtml(*hit.patentee));
  if (hit.abstractText) PutText(PlainFromHtml(*hit.abstractText), r.abstractText, r.abstractEn);
  if (hit.firstClaim) r.firstClaim = FirstClaimOfCell(PlainFromHtml(*hit.firstClaim));
  if (hit.facts) AddFacts(*hit.facts, r);
  return r;
}

TPatentRecord RecordOfDocument(TSourceKind source, const TSourceDocument& document) {
  TPatentRecord r;
  r.source = SourceName(source);
  r.application = ApplicationDigits(GbkToUtf8(document.owner));
  const std::string original = GbkToUtf8(document.application);
  if (!original.empty() && original != r.application) r.applicationOriginal = original;
  r.patentType = GbkToUtf8(TypeNameOf(document.owner));
  if (!document.publication.empty()) r.publications.push_back({GbkToUtf8(document.publication), ""});
  PutText(document.plainTitle.empty() ? PlainFromHtml(document.title) : GbkWithReferencesToUtf8(document.plainTitle),
          r.title, r.titleEn);
  r.ipc = SplitNames(PlainFromHtml(document.classification));
  r.applicants = SplitNames(GbkWithReferencesToUtf8(document.patentee));
  return r;
}

TPdfRecord ReadPdfRecord(const TPath& file, const std::string& relativePath) {
  using namespace pdfdoctext;
  const TPdfContent pdf = ReadPdfContent(file);
  TPdfRecord out;
  // Keywords "CN" + the application digits name the record the PDF was written for.
  const std::string owner = pdf.keywords.rfind("CN", 0) == 0 ? ApplicationDigits(pdf.keywords) : std::string();
  TPatentRecord& r = out.record;
  r.application = owner;
  r.applicationOriginal = SubjectValue(pdf.subject, U(kApplicationLabel));
  if (ApplicationDigits(r.applicationOriginal) != owner) r.applicationOriginal.clear();
  PutText(pdf.title, r.title, r.titleEn);
  r.applicants = SplitNames(pdf.author);
  const std::string publication = SubjectValue(pdf.subject, U(kPublicationLabel));
  if (!publication.empty()) r.publications.push_back({publication, ""});
  // Only OPS's PDFs name a publication.
  r.source = publication.empty() ? "site" : "ops";
  const std::string cls = SubjectValue(pdf.subject, U(kClassLabel));
  if (!cls.empty()) r.ipc = {cls};

  TDocumentRecord& doc = out.document;
  doc.application = owner;
  doc.publication = publication;
  doc.path = relativePath;
  doc.pages = pdf.pages;
  doc.hasTextLayer = pdf.hasTextLayer;
  doc.pageTexts = pdf.pageTexts;
  const std::pair<const char*, const char*> kSections[] = {{getdowntext::kSectionAbstract, "abstract"},
                                                           {getdowntext::kSectionDescription, "description"},
                                                           {getdowntext::kSectionClaims, "claims"},
                                                           {getdowntext::kSectionDrawings, "drawings"}};
  int claimsPage = 0;
  for (const TPdfContent::TEntry& entry : pdf.outline)
    for (const auto& [title, kind] : kSections)
      if (entry.title == U(title)) {
        doc.sections.push_back({kind, entry.page});
        if (std::string(kind) == "claims") claimsPage = entry.page;
      }
  for (const std::string& t : pdf.pageTexts) out.pagesWithText += !t.empty();
  if (claimsPage > 0 && size_t(claimsPage) <= pdf.pageTexts.size() && !pdf.pageTexts[size_t(claimsPage) - 1].empty())
    out.firstClaim = GbkToUtf8(FirstClaimFromText(Utf8ToGbk(pdf.pageTexts[size_t(claimsPage) - 1])));
  return out;
}
