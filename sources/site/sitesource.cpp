#include "sources/site/sitesource.h"

#include <optional>

#include "http/httpclient.h"
#include "sources/site/siteops.h"
#include "sources/site/sitetexts.h"

namespace {

// The application number as the record link gives it, country prefix and check digit
// included ("CN200510012345.X"); empty when the link holds none.
std::string ApplicationFromLink(const std::string& link) {
  size_t start = link.find("recid=");
  if (start == std::string::npos) return {};
  start += 6;
  size_t end = link.find("&leixin", start);
  return link.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

class TSiteSearchSession : public TSearchSession {
 public:
  TSiteSearchSession(std::string expression, const TSearchAsk& ask) : expression_(std::move(expression)), ask_(ask) {}

  long Open() override {
    page_ = PostResultList("100", expression_);
    return ReadRecordCount(page_);
  }
  long Limit() const override { return 100; }

  bool Next() override {
    // The links are read where the page stands: it is handed over, not copied.
    if (!links_) links_ = std::make_unique<RecordLinks>(std::move(page_));
    return links_->Next(link_);
  }

  TSearchHit Read() override {
    TSearchHit hit;
    hit.number = ApplicationNumberFromLink(link_);
    const int typeCode = TypeCodeOf(hit.number);
    // The detail page of the record before is kept when this one needs none: the site
    // reads nothing from it then.
    if (ask_.abstractText || ask_.firstClaim || ask_.patentee) detailPage_ = FetchDetailPage(link_);
    hit.typeName = TypeNameOf(hit.number);
    hit.title = TitleFromLink(link_);
    hit.classification = ClassFromLink(link_);
    if (ask_.legalStatus) hit.legalStatus = FetchLegalStatus(hit.number);
    if (ask_.patentee) hit.patentee = PatenteeFrom(detailPage_, typeCode);
    if (ask_.abstractText) hit.abstractText = AbstractFrom(detailPage_, typeCode);
    if (ask_.firstClaim) hit.firstClaim = FirstClaimFrom(detailPage_, typeCode);
    return hit;
  }

 private:
  std::string expression_;
  TSearchAsk ask_;
  std::string page_, link_, detailPage_;
  std::unique_ptr<RecordLinks> links_;
};

class TSiteDownloadSource : public TDownloadSource {
 public:
  bool DownloadsDesigns() const override { return false; }

  std::vector<TSourceDocument> Find(const std::string& entry, bool keepGoing, const TRunRequest& run) override {
    std::string page;
    run(TRequestStep::Record,
        [&] { page = PostResultList("1", sitetext::kExpressionA + entry + sitetext::kExpressionB); });
    if (keepGoing && ReadRecordCount(page) == 0) return {};
    TSourceDocument document;
    document.where = FirstRecordLink(page);
    document.title = TitleFromLink(document.where);
    document.classification = ClassFromLink(document.where);
    // The PDF belongs to the record found, whatever the entry held.
    document.owner = ApplicationNumberFromLink(document.where);
    document.application = ApplicationFromLink(document.where);
    return {document};
  }

  void ListPages(TSourceDocument& document, const TRunRequest& run) override {
    std::string detail;
    run(TRequestStep::PageList, [&] { detail = FetchDetailPage(document.where); });
    TPageList pages = ReadPageList(detail);
    // The PDF's author: the cell's text without its markup.
    document.patentee = PlainCellText(PatenteeFrom(detail, TypeCodeOf(document.owner)));
    document.pageCount = pages.pageCount;
    document.where = pages.imageBase;
  }

  void FetchPage(THttpClient& client, const TSourceDocument& document, int page, const TPath& file) override {
    TFileStream out(file);
    client.HttpGetStream(document.where + PageFileName(page), out);  // the file closes on failure too
    out.Close();
  }

  bool ChecksPageCount() const override { return false; }
  std::string StopReason() const override { return {}; }
  bool OverlapsRecords() const override { return false; }
  bool TellsTimeLeft() const override { return false; }
};

}  // namespace

std::unique_ptr<TSearchSession> MakeSiteSearchSession(const std::string& expression, const TSearchAsk& ask) {
  return std::make_unique<TSiteSearchSession>(expression, ask);
}

std::unique_ptr<TDownloadSource> MakeSiteDownloadSource() { return std::make_unique<TSiteDownloadSource>(); }
