#include "sources/ops/opssource.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
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
#include "sources/ops/opsreplies.h"
#include "sources/ops/opstexts.h"
#include "sources/ops/replytext.h"
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

std::string RecordLink(const TOpsPublication& pub) {
  return "https://worldwide.espacenet.com/patent/search?q=pn%3D" + pub.Shown();
}

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

class TOpsSearchSession : public TSearchSession {
 public:
  TOpsSearchSession(const TSearchAsk& ask, TProgress progress)
      : ask_(ask),
        progress_(std::move(progress)),
        connection_(OpenOpsConnection(progress_)),
        cql_(OpsCql({ask.title, ask.abstractWords, ask.classification})) {}

  long Open() override {
    std::optional<TOpsSearchPage> first = Page(cql_, 1, FirstPageSize());
    if (!first) {
      // OPS has answered "No results found" for a while for valid queries under load.
      if (progress_) progress_(kNoHitsRetry);
      std::this_thread::sleep_for(kNoHitsRecheck);
      first = Page(cql_, 1, FirstPageSize());
      if (!first) return 0;
    }
    if (first->total <= kOpsServedHits) {
      total_ = first->total;
      for (TOpsBiblio& b : first->records) hits_.push_back(std::move(b));
      sliceQueued_ = std::min<long>(FirstPageSize(), total_);
      sliceCql_ = cql_;
      sliceCount_ = total_;
      return total_;
    }
    // More than OPS serves for one query: slices by publication date, newest first.
    if (progress_) progress_(kSlices);
    slicer_.emplace(AllPublicationDates(Today()), first->total, [this](const TDateRange& range) -> long {
      std::optional<TOpsSearchPage> page = Page(CqlWithin(cql_, range), 1, 1);
      return page ? long(page->total) : 0;
    });
    total_ = slicer_->Total();
    return total_;
  }

  long Limit() const override { return ask_.max; }

  bool Next() override {
    if (read_ >= ask_.max) return false;
    while (hits_.empty()) {
      if (!Refill()) return false;
    }
    current_ = std::move(hits_.front());
    hits_.pop_front();
    ++read_;
    return true;
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

 private:
  long FirstPageSize() const { return std::min<long>(100, ask_.max); }

  static int Today() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    return (tm.tm_year + 1900) * 10000 + (tm.tm_mon + 1) * 100 + tm.tm_mday;
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

  // The next page of the current slice, or the next slice; false when every hit the run
  // may read has been queued.
  bool Refill() {
    const long wanted = ask_.max - read_;
    if (wanted <= 0) return false;
    const long servedInSlice = std::min(sliceCount_, kOpsServedHits);
    if (sliceQueued_ < servedInSlice) {
      const long first = sliceQueued_ + 1;
      const long last = std::min({first + 99, servedInSlice, first + wanted - 1});
      std::optional<TOpsSearchPage> page = Page(sliceCql_, first, last);
      if (!page || page->records.empty()) {
        sliceQueued_ = servedInSlice;  // the slice ended sooner than its count said
        return slicer_.has_value();
      }
      // Past the range asked, whatever the page held: a hit OPS cannot serve (a placeholder)
      // still takes its place in the count.
      sliceQueued_ = last;
      for (TOpsBiblio& b : page->records) hits_.push_back(std::move(b));
      return true;
    }
    if (!slicer_) return false;
    std::optional<TOpsSlice> slice = slicer_->Next();
    if (!slice) return false;
    sliceCql_ = CqlWithin(cql_, slice->range);
    sliceCount_ = slice->count;
    sliceQueued_ = 0;
    return true;
  }

  std::string LegalCell(const TOpsBiblio& b) {
    TOpsReply reply = connection_->Get(client_, opspaths::Legal(b.publication), kXml);
    if (reply.status == 404) return opstext::kLegalUnknown;
    return LegalStatusCell(ReadLegalReply(reply.body, b.application));
  }

  TSearchAsk ask_;
  TProgress progress_;
  std::unique_ptr<TOpsConnection> connection_;
  THttpClient client_;
  std::string cql_;
  std::optional<TOpsSlicer> slicer_;
  std::string sliceCql_;
  long sliceCount_ = 0;
  long sliceQueued_ = 0;
  long total_ = 0;
  long read_ = 0;
  std::deque<TOpsBiblio> hits_;
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
  if (TrimBytes(ask.title).empty() && TrimBytes(ask.abstractWords).empty() && TrimBytes(ask.classification).empty())
    return {};
  return Utf8ToGbkWithReferences(OpsCql({ask.title, ask.abstractWords, ask.classification}));
}

std::unique_ptr<TSearchSession> MakeOpsSearchSession(const TSearchAsk& ask, TProgress progress) {
  return std::make_unique<TOpsSearchSession>(ask, std::move(progress));
}

std::unique_ptr<TDownloadSource> MakeOpsDownloadSource(TDocumentChoice choice, TProgress progress) {
  return std::make_unique<TOpsDownloadSource>(choice, std::move(progress));
}
