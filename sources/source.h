#pragma once
// The one seam between the workers (the search and download runs, their dialogs,
// varnolt-cli) and the sources of patent data: the old search site (sources/site) and the
// Open Patent Services (sources/ops). The workers keep the run's shape, its progress lines
// and its report; a source answers what a record is and where its pages lie. Texts are GBK
// unless said otherwise.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/path.h"

class THttpClient;

enum class TSourceKind { Site, Ops };

// "site", "ops": the names of --source and of the saved choice.
const char* SourceName(TSourceKind kind);
std::optional<TSourceKind> ReadSourceName(const std::string& name);
// The name users see (GBK): 专利检索网站, EPO OPS.
std::string SourceTitle(TSourceKind kind);

// The desktop's saved choice (source.ini in the settings directory, [source] source=);
// nothing when none is saved or it does not read.
std::optional<TSourceKind> SavedSource();
// Throws EFileError when the file cannot be written.
void SaveSource(TSourceKind kind);
// The source of a run: the explicit choice, else the saved one, else the site when the
// program directory is writable (a build, the demo run) and OPS when it is installed (the
// old site is gone; an installed program must reach real patents).
TSourceKind ChooseSource(std::optional<TSourceKind> explicitChoice = std::nullopt);

// The patent type of an application number by its type digit (6, 8 or 12 digits), as both
// sources' reports show it: 发明, 实用新型, 外观设计, ...; 0 / 未知 when it has none.
int TypeCodeOf(const std::string& number);
std::string TypeNameOf(const std::string& number);

// The name of page n's file, "000001.tif" .. "999999.tif" (seven or more digits give
// "000001.tif"): the worker's page files, and the site's page addresses.
std::string PageFileName(int n);

// Why a run of the source cannot start now (GBK): OPS without credentials says where to
// register and where to put them. "" when it can.
std::string NotReadyReason(TSourceKind kind);

// What an entry of a number list (GBK) names for a source: an application number (in a
// form ReadPastedNumber of sources/cnnumbers.h reads), a publication the source fetches
// as it is (OPS's publication numbers), or nothing it can fetch (reason says why).
enum class TListEntry { Application, Publication, Unfetchable };
TListEntry ReadListEntry(TSourceKind kind, const std::string& entry, std::string& reason);

// A progress line (GBK) a source adds to a run's own: a wait, the quota used, ...
using TProgress = std::function<void(const std::string& line)>;

// ---- Search ----

// What a search asks: the dialog's three fields (GBK, as typed) and the look-ups per record.
struct TSearchAsk {
  std::string title, abstractWords, classification;
  bool legalStatus = false, abstractText = false, firstClaim = false, patentee = false;
  // With firstClaim: the first claim recognised on the page where the claims start, where
  // the source knows that page (OPS); one image request a record.
  bool firstClaimOcr = false;
  int max = 100;  // records read at most (the site always gives up to 100)
  // OPS only, as typed (GBK): names, words of the title or the abstract, a CPC class, a
  // publication or application number, and the publication dates (both included).
  std::string applicant, inventor, text, cpc, number, dateFrom, dateTo;
  bool translate = true;        // Chinese words also as their English equivalents
  bool family = false;          // each record's family: its size, offices, foreign publications
  bool collapseFamily = false;  // one row per family; max then counts families
};

// A publication of a record among a search's hits (texts UTF-8).
struct TPublicationFact {
  std::string shown;  // "CN116789012A"
  std::string link;   // its page elsewhere
  std::string date;   // YYYYMMDD; "" when not given
  bool grant = false;
  friend bool operator==(const TPublicationFact&, const TPublicationFact&) = default;
};

// A record's family as the family service gives it.
struct TFamilyFacts {
  int size = 0;                              // its publications at every office
  std::vector<std::string> countries;        // each once, in the order given
  std::vector<TPublicationFact> foreign;     // the publications of other offices
};

// What OPS gives of a record beyond the site's cells, for the report's columns and --json
// (texts UTF-8, dates YYYYMMDD or "").
struct TSearchFacts {
  std::vector<TPublicationFact> publications;  // among the hits, in the order found
  std::string applicationDate;
  std::vector<std::pair<std::string, std::string>> priorities;  // number, date
  std::vector<std::string> applicants, applicantsLatin, inventors, ipc, cpc;
  std::string familyId;
  int citedCount = 0;
  std::string expiryEstimate;  // YYYY-MM-DD; "" when none (a lapsed right, an unknown date)
  std::optional<TFamilyFacts> family;  // when asked

  // The publication a record is known by: the grant when among the hits, else the first A.
  const TPublicationFact* Main() const;
  // The earliest publication date among the hits, and the grant's.
  std::string PublicationDate() const;
  std::string GrantDate() const;
  // Adds a publication found later (each once).
  void Add(const TPublicationFact& publication);
};

// One record of a search as its report shows it; what was not asked is empty.
struct TSearchHit {
  std::string number, typeName, title, classification;
  std::string publication;  // the publication shown beside the number ("CN101257323B"); "" for the site
  std::string recordLink;   // the record's page elsewhere (UTF-8 URL); "" when none
  std::string titleUtf8;    // the title as the source gave it, for UTF-8 outputs; "" when GBK holds it
  std::optional<std::string> legalStatus, patentee, abstractText, firstClaim;
  std::optional<TSearchFacts> facts;  // OPS
};

// A publication the hits brought for a record read already: its number and the publication.
struct TLatePublication {
  std::string number;
  TPublicationFact publication;
};

// One search run's conversation with a source.
class TSearchSession {
 public:
  virtual ~TSearchSession() = default;
  // Sends the query: the true number of matching records, 0 for none. Throws.
  virtual long Open() = 0;
  // How many records the run reads at most.
  virtual long Limit() const = 0;
  // Moves to the next record; false when there is none. Throws.
  virtual bool Next() = 0;
  // The current record with the look-ups asked. Throws.
  virtual TSearchHit Read() = 0;
  // The page of the current record where its claims start, as a one-page image into file
  // (one image request); false when the source does not know that page. Throws.
  virtual bool FetchClaimsPage(const TPath& /*file*/) { return false; }
  // A source that makes one record of all the publications of an application: those the
  // hits brought since the last call for records already read (an A pages after its grant).
  virtual std::vector<TLatePublication> TakeLatePublications() { return {}; }
  // How many records the run will read, estimated; -1 when the source cannot tell.
  virtual long Expected() const { return -1; }
  // The records among every hit read so far, and whether that is all of them (the run read
  // every hit); Applications() is -1 for a source of one record a hit.
  virtual long Applications() const { return -1; }
  virtual bool ReadEveryHit() const { return false; }
};

// The expression a search's report shows and is named after: the site's search expression,
// or OPS's query; empty when the fields hold no condition.
std::string SearchExpression(TSourceKind kind, const TSearchAsk& ask);
// Why the ask cannot be sent (GBK: a date that does not read, a range that ends before it
// starts, more terms than the source takes); "" when it can.
std::string SearchAskProblem(TSourceKind kind, const TSearchAsk& ask);
// A session for the ask; expression is SearchExpression's. progress may be empty.
std::unique_ptr<TSearchSession> OpenSearchSession(TSourceKind kind, const TSearchAsk& ask,
                                                  const std::string& expression, TProgress progress);

// ---- Download ----

// Which publications of a record a download takes (OPS; the site has one document).
enum class TDocumentChoice {
  Grant,        // the grant publication when there is one, else the application's
  Application,  // the application publication (A), else the grant
  Both,         // one PDF per publication
};
std::optional<TDocumentChoice> ReadDocumentChoice(const std::string& name);  // grant|application|both
// Of one application's publications ("CN101911042A", "CN101911042B", …), the ones a
// download with choice takes, as the download would choose them; what names no
// publication is left out.
std::vector<std::string> ChosenPublications(TDocumentChoice choice, const std::vector<std::string>& publications);

// A step of finding a record, which the worker names in its wait lines and retries.
enum class TRequestStep { Record, PageList };
using TRunRequest = std::function<void(TRequestStep step, const std::function<void()>& attempt)>;

// Where a section of a document starts, as the source locates it.
struct TDocumentSection {
  enum class TKind { Abstract, Description, Claims, Drawings };
  TKind kind;
  int page = 0;  // from 1
};

// One document of a record to download: one PDF.
struct TSourceDocument {
  std::string title;           // GBK page text, for the report and the PDF's name
  std::string plainTitle;      // GBK, not page text (the PDF's information); the title when ""
  std::string classification;  // GBK
  std::string owner;           // the record's application number, written into the PDF
  std::string publication;     // "CN101257323B"; "" for the site
  std::string nameTitle;       // what the PDF's name is made of (GBK); the title when ""
  int pageCount = 0;           // set by ListPages
  int claimsPage = 0;          // the first page of the claims when the source says; 0 otherwise
  std::vector<TDocumentSection> sections;  // set by ListPages when the source locates them
  std::string patentee;        // GBK plain text, a character GBK lacks as its reference; "" when unknown
  std::string application;     // the application number as the source writes it ("CN200510012345.X")
  std::string where;           // the source's own: the site's record link, then its image base
};

class TDownloadSource {
 public:
  virtual ~TDownloadSource() = default;
  // Whether design patents are fetched (the site has no pages of them).
  virtual bool DownloadsDesigns() const = 0;
  // The documents of a list entry; none when it names no record (keepGoing: the worker
  // reports it and goes on). Throws when a request fails.
  virtual std::vector<TSourceDocument> Find(const std::string& entry, bool keepGoing, const TRunRequest& run) = 0;
  // Sets the document's page count (and where its pages lie). Throws.
  virtual void ListPages(TSourceDocument& document, const TRunRequest& run) = 0;
  // Page n (from 1) of the document into file, with the job's client; a reply that is not
  // one page of the document throws. Sent under the worker's retries.
  virtual void FetchPage(THttpClient& client, const TSourceDocument& document, int page, const TPath& file) = 0;
  // Whether the merged image must hold exactly pageCount pages before it becomes a PDF.
  virtual bool ChecksPageCount() const = 0;
  // When the run should stop at once (OPS's quota is used up): the reason; "" otherwise.
  virtual std::string StopReason() const = 0;
  // Whether a run of one job may find the next record while this one's pages come in: the
  // source's page requests set the pace (OPS's images service), so the other requests cost
  // no time of their own.
  virtual bool OverlapsRecords() const = 0;
  // Whether a record's first progress line says where the run is and the time left: the
  // source's runs are long (OPS's pace).
  virtual bool TellsTimeLeft() const = 0;
};

std::unique_ptr<TDownloadSource> MakeDownloadSource(TSourceKind kind, TDocumentChoice choice, TProgress progress);

// ---- Legal status of known applications ----

// An application's legal status as a search's 法律状态 cell gives it (GBK), with its events.
struct TLegalEventInfo {
  std::string code, date, description;  // "CF01", YYYY-MM-DD or "", the source's description (UTF-8)
};
struct TLegalLookup {
  std::string status;
  std::vector<TLegalEventInfo> events;
};

// Look-ups of the legal status of applications a caller already knows (a watch's), paced
// as every request of the source. The site has no such service: OPS only.
class TLegalSession {
 public:
  virtual ~TLegalSession() = default;
  // The status of the application (digits) through one of its publications ("CN116789012B"),
  // one request. Throws (an EOpsError when the source stopped serving: its quota).
  virtual TLegalLookup Look(const std::string& application, const std::string& publication) = 0;
};
// Throws EOpsNoCredentials (with the message of where to register) when none are set.
std::unique_ptr<TLegalSession> OpenLegalSession(TProgress progress);
