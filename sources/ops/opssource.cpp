#include "sources/ops/opssource.h"

#include <algorithm>
#include <cmath>
#include <chrono>
#include <ctime>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <utility>
#include <thread>

#include "base/bytes.h"
#include "base/files.h"
#include "base/gbk.h"
#include "base/tiffpages.h"
#include "http/httpclient.h"
#include "sources/opsaccount.h"
#include "sources/ops/opsclient.h"
#include "sources/ops/opscql.h"
#include "sources/ops/opslegal.h"
#include "sources/ops/opsnumbers.h"
#include "sources/ops/opspaths.h"
#include "sources/ops/opsquery.h"
#include "sources/ops/opsreplies.h"
#include "sources/ops/opstexts.h"
#include "sources/replytext.h"
#include "sources/sourcetexts.h"

using namespace opswiretext;

namespace {

const char kXml[] = "application/xml";
const char kTiff[] = "application/tiff";
// How long a "No results found" waits before it is asked once more: OPS has been seen to
// answer it for a while for a valid query when busy.
constexpr auto kNoHitsRecheck = std::chrono::seconds(3);
constexpr int kDesignType = 3;

// The run's connection to hosts.ini's OpsHost with the stored account.
std::unique_ptr<TOpsConnection> OpenOpsConnection(TProgress progress) {
  std::optional<TOpsCredentials> credentials = ReadOpsCredentials();
  if (!credentials) throw EOpsNoCredentials(MissingCredentialsMessage());
  return std::make_unique<TOpsConnection>(OpsHost(), *credentials, std::move(progress));
}

// A publication's page at Espacenet, at any office.
std::string LinkOf(const std::string& shown) { return "https://worldwide.espacenet.com/patent/search?q=pn%3D" + shown; }

std::string RecordLink(const TOpsPublication& pub) { return LinkOf(pub.Shown()); }

std::string Joined(const std::vector<std::string>& parts, const char* between) {
  std::string all;
  for (const std::string& p : parts) all += (all.empty() ? "" : between) + p;
  return all;
}

// A cell of a GBK page from reply text (UTF-8).
std::string Cell(const std::string& utf8) { return ReplyPageText(utf8); }

// The sections a PDF's outline names. The abstract stands on the front page: ABSTRACT, or
// BIBLIOGRAPHY when that is all an inquiry lists; a design has no abstract.
std::vector<TDocumentSection> DocumentSections(const TOpsImageDocument& images, bool design) {
  using TKind = TDocumentSection::TKind;
  std::vector<TDocumentSection> sections;
  int front = images.SectionStart("ABSTRACT");
  if (!front && !design) front = images.SectionStart("BIBLIOGRAPHY");
  if (front) sections.push_back({TKind::Abstract, front});
  for (auto [name, kind] : {std::pair{"DESCRIPTION", TKind::Description}, {"CLAIMS", TKind::Claims},
                            {"DRAWINGS", TKind::Drawings}})
    if (int page = images.SectionStart(name)) sections.push_back({kind, page});
  return sections;
}

// The body of a page reply, which must be a TIFF of that one page.
const std::string& OnePage(const TOpsReply& reply, int page) {
  const std::string where = std::to_string(page) + kPageTail;
  if (reply.status == 404) throw EOpsError(kPageMissing + where);
  const long images = TiffImageCount(reply.body);
  if (images < 0) throw EOpsError(kPageNotTiff + where);
  if (images != 1) throw EOpsError(kPageNotOne + where);
  return reply.body;
}

TPublicationFact PublicationFactOf(const TOpsBiblio& b) {
  return {b.publication.Shown(), RecordLink(b.publication), b.publicationDate, b.publication.IsGrant()};
}

int Today() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&now, &tm);
  return (tm.tm_year + 1900) * 10000 + (tm.tm_mon + 1) * 100 + tm.tm_mday;
}

TOpsQuery QueryOf(const TSearchAsk& ask) {
  return BuildOpsQuery({ask.title, ask.abstractWords, ask.classification, ask.applicant, ask.inventor, ask.text,
                        ask.cpc, ask.number, ask.dateFrom, ask.dateTo, ask.translate},
                       Today());
}

// A search run: one record per CN application, however many of its publications (A, B,
// U, ...) are hits. OPS lists publications newest first, so a grant usually comes pages
// before its A: a publication of an application read already is handed over as a late one
// and joins that record, which costs no look-up. Once the run has its records it reads no
// further page, but takes the late publications of the pages it has.
class TOpsSearchSession : public TSearchSession {
 public:
  TOpsSearchSession(const TSearchAsk& ask, TProgress progress)
      : ask_(ask), progress_(std::move(progress)), connection_(OpenOpsConnection(progress_)), query_(QueryOf(ask)) {
    if (!query_.problem.empty()) throw EOpsError(query_.problem);
  }

  long Open() override {
    ReportDrops();
    const std::string cql = query_.Sent();
    std::optional<TOpsSearchPage> first = Page(cql, 1, FirstPageSize());
    if (!first) {
      // OPS has answered "No results found" for a while for valid queries under load.
      if (progress_) progress_(kNoHitsRetry);
      std::this_thread::sleep_for(kNoHitsRecheck);
      first = Page(cql, 1, FirstPageSize());
      if (!first) return 0;
    }
    if (first->total <= kOpsServedHits) {
      total_ = first->total;
      for (TOpsBiblio& b : first->records) hits_.push_back(std::move(b));
      sliceQueued_ = std::min<long>(FirstPageSize(), total_);
      sliceCql_ = cql;
      sliceCount_ = total_;
      return total_;
    }
    // More than OPS serves for one query: slices by publication date, newest first, inside
    // the range asked.
    if (progress_) progress_(kSlices);
    const TDateRange whole = query_.dates.value_or(AllPublicationDates(Today()));
    slicer_.emplace(whole, first->total, [this](const TDateRange& range) -> long {
      std::optional<TOpsSearchPage> page = Page(CqlWithin(query_.cql, range), 1, 1);
      return page ? long(page->total) : 0;
    });
    total_ = slicer_->Total();
    return total_;
  }

  long Limit() const override { return ask_.max; }

  bool Next() override {
    for (;;) {
      if (hits_.empty()) {
        if (LimitReached()) return false;  // no page more once the run has its records
        if (!Refill()) {
          exhausted_ = true;
          return false;
        }
        continue;
      }
      TOpsBiblio b = std::move(hits_.front());
      hits_.pop_front();
      ++consumed_;
      const std::string key = KeyOf(b);
      everyApplication_.insert(key);
      if (read_.count(key)) {
        late_.push_back({b.application.digits, PublicationFactOf(b)});
        continue;
      }
      // Past the limit only a twin of a family shown joins its row; the rest is counted.
      if (LimitReached() && !(ask_.collapseFamily && !b.familyId.empty() && families_.count(b.familyId))) continue;
      read_.insert(key);
      if (!b.familyId.empty()) families_.insert(b.familyId);
      familiesRead_ += b.familyId.empty();
      current_ = std::move(b);
      return true;
    }
  }

  TSearchHit Read() override {
    const TOpsBiblio& b = current_;
    TSearchHit hit;
    hit.number = b.application.digits;
    hit.typeName = TypeNameOf(hit.number);
    hit.title = Cell(b.Title());
    hit.titleUtf8 = b.Title();
    hit.classification = Cell(Joined(b.ipcClasses, "; "));
    hit.publication = b.publication.Shown();
    hit.recordLink = RecordLink(b.publication);
    if (ask_.legalStatus) hit.legalStatus = LegalCell(b);
    if (ask_.patentee) hit.patentee = Cell(Joined(b.Applicants(), "; "));
    if (ask_.abstractText) hit.abstractText = Cell(b.Abstract());
    if (ask_.firstClaim) hit.firstClaim = sourcetext::kNoClaimsText;
    hit.facts = FactsOf(b, hit.legalStatus);
    if (ask_.family) hit.facts->family = FamilyFacts(b);
    return hit;
  }

  bool FetchClaimsPage(const TPath& file) override {
    const TOpsPublication& pub = current_.publication;
    TOpsReply inquiry = connection_->Get(client_, opspaths::ImageInquiry(pub), kXml);
    if (inquiry.status == 404) return false;
    const int claims = ReadImageInquiry(inquiry.body, pub).SectionStart("CLAIMS");
    if (claims == 0) return false;
    const TOpsReply page = connection_->Get(client_, opspaths::FullDocumentPage(pub, claims), kTiff);
    WriteFileBytes(file, OnePage(page, claims));
    return true;
  }

  std::vector<TLatePublication> TakeLatePublications() override { return std::exchange(late_, {}); }

  // The records still to come at the rate of the hits read so far (records per hit), within
  // the limit.
  long Expected() const override {
    const long read = long(read_.size());
    if (exhausted_) return read;
    // Every hit in hand: the records still to come are those among them.
    if (!slicer_ && sliceQueued_ >= std::min(sliceCount_, kOpsServedHits)) {
      std::set<std::string> coming;
      std::set<std::string> families = families_;
      long rows = long(families_.size()) + familiesRead_;
      for (const TOpsBiblio& b : hits_) {
        const std::string key = KeyOf(b);
        if (read_.count(key) || coming.count(key)) continue;
        const bool twin = ask_.collapseFamily && !b.familyId.empty() && families.count(b.familyId);
        if (!twin && (ask_.collapseFamily ? rows : read + long(coming.size())) >= ask_.max) continue;
        coming.insert(key);
        if (ask_.collapseFamily && !twin) ++rows, families.insert(b.familyId.empty() ? "-" + key : b.familyId);
      }
      return read + long(coming.size());
    }
    const double perHit = consumed_ ? double(everyApplication_.size()) / double(consumed_) : 1.0;
    long expected = read + std::lround(perHit * double(std::max(0L, total_ - consumed_)));
    if (ask_.collapseFamily) {
      const long families = long(families_.size()) + familiesRead_;
      const double perFamily = families ? double(read) / double(families) : 1.0;
      expected = std::min(expected, std::lround(perFamily * ask_.max));
    } else {
      expected = std::min<long>(expected, ask_.max);
    }
    return std::max(expected, read);
  }

  long Applications() const override { return long(everyApplication_.size()); }
  bool ReadEveryHit() const override { return exhausted_ || consumed_ >= total_; }

 private:
  // Whole pages whatever the limit: one request either way, and the publications of the
  // records read that a full page holds (an A after its grant) join their records.
  static long FirstPageSize() { return 100; }

  bool LimitReached() const {
    const long rows = ask_.collapseFamily ? long(families_.size()) + familiesRead_ : long(read_.size());
    return rows >= ask_.max;
  }

  static std::string KeyOf(const TOpsBiblio& b) {
    return b.application.digits.empty() ? b.publication.Shown() : b.application.digits;
  }

  // The equivalents the glossary had to leave out, one line each, and the fields sent as typed.
  void ReportDrops() {
    if (!progress_) return;
    for (const TGlossaryDrop& d : query_.dropped)
      progress_(kDroppedA + Utf8ToGbkWithReferences(d.word) + kDroppedB + Utf8ToGbkWithReferences(d.equivalent) +
                kDroppedC);
    for (const TOpsTextField& f : query_.untranslated)
      progress_(kUntranslated + Utf8ToGbkWithReferences(f.words));
  }

  // A page of hits; nothing for "No results found" (also a range past the last hit).
  std::optional<TOpsSearchPage> Page(const std::string& cql, long first, long last) {
    TOpsReply reply = connection_->Get(client_, opspaths::Search(cql, first, last), kXml);
    if (reply.status == 404) {
      if (IsNotFound(reply.status, ReadFault(reply.body))) return std::nullopt;
      throw EOpsError(kRefusedA + std::string("404") + kRefusedB + Utf8ToGbkWithReferences(ReadFault(reply.body).code));
    }
    return ReadSearchReply(reply.body);
  }

  // The next page of the current slice, or the next slice; false when every hit has been
  // queued.
  bool Refill() {
    const long servedInSlice = std::min(sliceCount_, kOpsServedHits);
    if (sliceQueued_ < servedInSlice) {
      const long first = sliceQueued_ + 1;
      const long last = std::min(first + FirstPageSize() - 1, servedInSlice);
      std::optional<TOpsSearchPage> page = Page(sliceCql_, first, last);
      if (!page || page->records.empty()) {
        sliceQueued_ = servedInSlice;  // the slice ended sooner than its count said
        return slicer_.has_value();
      }
      // Past the range asked, whatever the page held: a hit OPS cannot serve (a placeholder)
      // still takes its place in the count.
      sliceQueued_ = last;
      consumed_ += (last - first + 1) - long(page->records.size());
      for (TOpsBiblio& b : page->records) hits_.push_back(std::move(b));
      return true;
    }
    if (!slicer_) return false;
    std::optional<TOpsSlice> slice = slicer_->Next();
    if (!slice) return false;
    sliceCql_ = CqlWithin(query_.cql, slice->range);
    sliceCount_ = slice->count;
    sliceQueued_ = 0;
    return true;
  }

  // What the INPADOC reply of a family gave, kept for the run instead of the reply itself:
  // the legal status cell of each CN application in it, and the family.
  struct TInpadoc {
    bool found = false;  // false: OPS has no such family (a 404)
    std::map<std::string, std::string> legalCells;
    TFamilyFacts family;
  };

  // The INPADOC data of the record's family, asked once a family: the family service's
  // (with the legal events when they are asked too) when the family is asked, else the
  // legal service's, which is the family with its events as well. A record its family's
  // reply does not name is asked for on its own.
  const TInpadoc& Inpadoc(const TOpsBiblio& b) {
    const std::string key = b.familyId.empty() ? "-" + KeyOf(b) : b.familyId;
    auto it = inpadoc_.find(key);
    if (it != inpadoc_.end() && (!it->second.found || !ask_.legalStatus || it->second.legalCells.count(b.application.digits)))
      return it->second;
    const std::string path = !ask_.family ? opspaths::Legal(b.publication)
                             : ask_.legalStatus ? opspaths::Family(b.publication) + "/legal"
                                                : opspaths::Family(b.publication);
    TOpsReply reply = connection_->Get(client_, path, kXml);
    TInpadoc data;
    if (reply.status != 404) {
      data.found = true;
      const TOpsFamily family = ReadFamilyReply(reply.body);
      if (ask_.legalStatus) {
        std::set<std::string> applications = {b.application.digits};
        for (const TOpsFamilyMember& m : family.members) {
          TOpsApplication app;
          if (m.country == "CN" && ReadReplyApplication(m.applicationNumber, app)) applications.insert(app.digits);
        }
        for (const std::string& app : applications)
          data.legalCells[app] = LegalStatusCell(ReadLegalReply(reply.body, TOpsApplication{app}));
      }
      data.family.size = int(family.total);
      data.family.countries = family.Countries();
      for (const TOpsFamilyMember& m : family.members)
        if (m.country != "CN") data.family.foreign.push_back({m.Shown(), LinkOf(m.Shown()), m.date, false});
    }
    return inpadoc_[key] = std::move(data);
  }

  std::string LegalCell(const TOpsBiblio& b) {
    const TInpadoc& data = Inpadoc(b);
    auto cell = data.legalCells.find(b.application.digits);
    return cell == data.legalCells.end() ? std::string(opstext::kLegalUnknown) : cell->second;
  }

  TFamilyFacts FamilyFacts(const TOpsBiblio& b) { return Inpadoc(b).family; }

  static TSearchFacts FactsOf(const TOpsBiblio& b, const std::optional<std::string>& legal) {
    TSearchFacts f;
    f.publications.push_back(PublicationFactOf(b));
    f.applicationDate = b.applicationDate;
    for (const TOpsPriority& p : b.priorities) f.priorities.emplace_back(p.number, p.date);
    f.applicants = b.applicantsOriginal;
    f.applicantsLatin = b.applicantsEpodoc;
    f.inventors = b.Inventors();
    f.ipc = b.ipcClasses;
    f.cpc = b.cpcClasses;
    f.familyId = b.familyId;
    f.citedCount = b.citedCount;
    // A right that has lapsed has no end to foresee.
    const bool lapsed = legal && legal->rfind(opstext::kLegalLapsed, 0) == 0;
    if (!lapsed) f.expiryEstimate = ExpiryEstimate(b.application.digits, b.applicationDate);
    return f;
  }

  TSearchAsk ask_;
  TProgress progress_;
  std::unique_ptr<TOpsConnection> connection_;
  THttpClient client_;
  TOpsQuery query_;
  std::optional<TOpsSlicer> slicer_;
  std::string sliceCql_;
  long sliceCount_ = 0;
  long sliceQueued_ = 0;
  long total_ = 0;
  long consumed_ = 0;  // hits taken from the pages (placeholders too)
  bool exhausted_ = false;
  std::deque<TOpsBiblio> hits_;
  std::set<std::string> read_;              // the records handed out
  std::set<std::string> everyApplication_;  // the records among every hit taken
  std::set<std::string> families_;          // of the records handed out
  long familiesRead_ = 0;                   // records handed out without a family id
  std::vector<TLatePublication> late_;
  std::map<std::string, TInpadoc> inpadoc_;
  TOpsBiblio current_;
};

// The routes from an application number to its publications, in the order tried.
enum class TRoute { Docdb, Epodoc, Search };

class TOpsDownloadSource : public TDownloadSource {
 public:
  TOpsDownloadSource(TDocumentChoice choice, TProgress progress)
      : choice_(choice), connection_(OpenOpsConnection(std::move(progress))) {}

  bool DownloadsDesigns() const override { return true; }
  bool ChecksPageCount() const override { return true; }
  std::string StopReason() const override { return connection_->StopReason(); }
  // The images service sets the pace: a run overlaps its records, and is long.
  bool OverlapsRecords() const override { return true; }
  bool TellsTimeLeft() const override { return true; }

  std::vector<TSourceDocument> Find(const std::string& entry, bool, const TRunRequest& run) override {
    TOpsNumber number;
    std::string reason;
    if (!ReadOpsNumber(entry, number, reason)) throw EOpsError(reason);
    THttpClient client;
    std::vector<TOpsBiblio> found;
    std::vector<TOpsPublication> chosen;
    if (number.form == TOpsNumber::TForm::Publication) {
      run(TRequestStep::Record, [&] { found = Biblio(client, opspaths::PublicationBiblioDocdb(number.publication)); });
      if (found.empty())
        run(TRequestStep::Record,
            [&] { found = Biblio(client, opspaths::PublicationBiblioEpodoc(number.publication)); });
      // The publication named, whatever else the reply lists.
      std::erase_if(found, [&](const TOpsBiblio& b) { return !(b.publication == number.publication); });
      if (!found.empty()) chosen.push_back(number.publication);
      // A publication names its record: both means both of its documents.
      if (!found.empty() && Choice() == TOpsDocument::Both && !found.front().application.digits.empty()) {
        std::vector<TOpsBiblio> all;
        run(TRequestStep::Record, [&] { all = Publications(client, found.front().application); });
        std::vector<TOpsPublication> pubs;
        for (const TOpsBiblio& b : all) pubs.push_back(b.publication);
        if (std::vector<TOpsPublication> both = ChoosePublications(pubs, TOpsDocument::Both); both.size() > 1) {
          found = std::move(all);
          chosen = std::move(both);
        }
      }
    } else {
      run(TRequestStep::Record, [&] { found = Publications(client, number.application); });
      std::vector<TOpsPublication> pubs;
      for (const TOpsBiblio& b : found) pubs.push_back(b.publication);
      chosen = ChoosePublications(pubs, Choice());
    }
    std::vector<TSourceDocument> documents;
    for (const TOpsPublication& pub : chosen) {
      auto b = std::find_if(found.begin(), found.end(), [&](const TOpsBiblio& x) { return x.publication == pub; });
      TSourceDocument d;
      d.title = Cell(b->Title());
      d.plainTitle = Utf8ToGbkWithReferences(b->Title());
      d.classification = Cell(Joined(b->ipcClasses, "; "));
      d.owner = b->application.digits.empty() ? number.application.digits : b->application.digits;
      d.publication = pub.Shown();
      // One PDF per publication: the publication is part of its name.
      d.nameTitle = Utf8ToGbkWithReferences(b->Title()) + " " + pub.Shown();
      d.where = pub.number + std::string(1, pub.kind);
      d.patentee = Utf8ToGbkWithReferences(Joined(b->Applicants(), "; "));
      d.application = "CN" + TOpsApplication{d.owner}.Original();
      documents.push_back(std::move(d));
    }
    return documents;
  }

  void ListPages(TSourceDocument& document, const TRunRequest& run) override {
    const TOpsPublication pub = PublicationOf(document);
    THttpClient client;
    TOpsReply reply;
    run(TRequestStep::PageList, [&] { reply = connection_->Get(client, opspaths::ImageInquiry(pub), kXml); });
    if (reply.status == 404) throw EOpsError(kNoImages + pub.Shown());
    const TOpsImageDocument images = ReadImageInquiry(reply.body, pub);
    document.pageCount = images.pages;
    document.claimsPage = images.SectionStart("CLAIMS");
    document.sections = DocumentSections(images, TypeCodeOf(document.owner) == kDesignType);
  }

  void FetchPage(THttpClient& client, const TSourceDocument& document, int page, const TPath& file) override {
    const TOpsReply reply =
        connection_->Get(client, opspaths::FullDocumentPage(PublicationOf(document), page), kTiff);
    WriteFileBytes(file, OnePage(reply, page));
  }

 private:
  TOpsDocument Choice() const {
    switch (choice_) {
      case TDocumentChoice::Application: return TOpsDocument::Application;
      case TDocumentChoice::Both: return TOpsDocument::Both;
      case TDocumentChoice::Grant: break;
    }
    return TOpsDocument::Grant;
  }

  static TOpsPublication PublicationOf(const TSourceDocument& d) {
    return {d.where.substr(0, d.where.size() - 1), d.where.back()};
  }

  // The CN publications of a biblio reply; none for "not found" and a refused route.
  std::vector<TOpsBiblio> Biblio(THttpClient& client, const std::string& path) {
    TOpsReply reply = connection_->Get(client, path, kXml);
    if (reply.status == 404) return {};
    return ReadBiblioReply(reply.body);
  }

  std::vector<TOpsBiblio> Searched(THttpClient& client, const TOpsApplication& app) {
    TOpsReply reply = connection_->Get(client, opspaths::Search(opspaths::ApplicationCql(app), 1, 100), kXml);
    if (reply.status == 404) return {};
    return ReadSearchReply(reply.body).records;
  }

  // The routes in order, the one that last worked in this run first.
  std::vector<TOpsBiblio> Publications(THttpClient& client, const TOpsApplication& app) {
    std::vector<TRoute> order = {TRoute::Docdb, TRoute::Epodoc, TRoute::Search};
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (working_) {
        std::erase(order, *working_);
        order.insert(order.begin(), *working_);
      }
    }
    for (TRoute route : order) {
      std::vector<TOpsBiblio> found;
      if (route == TRoute::Docdb) {
        for (char kind : app.DocdbKinds())
          if (found.empty()) found = Biblio(client, opspaths::ApplicationBiblioDocdb(app, kind));
      } else if (route == TRoute::Epodoc) {
        found = Biblio(client, opspaths::ApplicationBiblioEpodoc(app));
      } else {
        found = Searched(client, app);
      }
      // Only this application's publications: a search may also find others.
      std::erase_if(found, [&](const TOpsBiblio& b) { return !b.application.digits.empty() && !(b.application == app); });
      if (!found.empty()) {
        std::lock_guard<std::mutex> lock(mutex_);
        working_ = route;
        return found;
      }
    }
    return {};
  }

  TDocumentChoice choice_;
  std::unique_ptr<TOpsConnection> connection_;
  std::mutex mutex_;
  std::optional<TRoute> working_;
};

}  // namespace

std::string OpsSearchExpression(const TSearchAsk& ask) {
  const TOpsQuery query = QueryOf(ask);
  if (query.empty) return {};
  return Utf8ToGbkWithReferences(query.Sent());
}

std::string OpsSearchProblem(const TSearchAsk& ask) {
  return QueryOf(ask).problem;
}

std::unique_ptr<TSearchSession> MakeOpsSearchSession(const TSearchAsk& ask, TProgress progress) {
  return std::make_unique<TOpsSearchSession>(ask, std::move(progress));
}

std::unique_ptr<TDownloadSource> MakeOpsDownloadSource(TDocumentChoice choice, TProgress progress) {
  return std::make_unique<TOpsDownloadSource>(choice, std::move(progress));
}
