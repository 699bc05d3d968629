#pragma once
// What the library keeps of a patent application, as the workers hand it over and as
// reads, exports and charts take it. Plain data in UTF-8: the library file and every
// export are UTF-8, so a character GBK lacks stays itself. A field a source did not give
// stays empty; see TLibraryWriter::Met for how records of several runs merge.
#include <optional>
#include <string>
#include <vector>

// A publication of the application: "CN101218867B" and its date.
struct TPublicationRef {
  std::string number;
  std::string date;  // YYYY-MM-DD or ""
};

struct TPriorityClaim {
  std::string number;
  std::string date;  // YYYY-MM-DD or ""
};

// A legal event (INPADOC): the event code, its gazette date, what it says.
struct TLegalEvent {
  std::string code;
  std::string date;  // YYYY-MM-DD or ""
  std::string description;
};

struct TPatentRecord {
  std::string application;          // CN application digits without check digit: "200510012345"
  std::string applicationOriginal;  // as the source wrote it: "CN200510012345.X"
  std::vector<TPublicationRef> publications;
  std::string title;                // Chinese
  std::string titleEn;
  std::string abstractText;         // Chinese
  std::string abstractEn;
  std::vector<std::string> applicants;       // the original form (Chinese names)
  std::vector<std::string> applicantsLatin;  // the Latin form
  std::vector<std::string> inventors;
  std::string applicationDate;      // YYYY-MM-DD or ""
  std::string publicationDate;      // the first publication
  std::string grantDate;
  std::vector<TPriorityClaim> priorities;
  std::vector<std::string> ipc;     // "H01M2/16"
  std::vector<std::string> cpc;
  std::string familyId;
  std::optional<int> citedCount;
  std::string legalStatus;          // 有效/失效/审中/未知 with what the source says after it, or the site's text
  std::string legalStatusDate;
  std::vector<TLegalEvent> legalEvents;
  std::string firstClaim;
  std::string patentType;           // 发明, 实用新型, 外观设计, ...
  std::string source;               // "site", "ops"
  std::string expiryEstimate;       // YYYY-MM-DD or ""
  // Read back from the library only: the PDFs of the application, relative to the data root.
  std::vector<std::string> pdfs;
};

// The four states the charts and filters group legal statuses into.
enum class TLegalState { Valid, Lapsed, Pending, Unknown };
// 有效, 失效, 审中, 未知 (UTF-8).
std::string LegalStateName(TLegalState state);
// The state a legal status text says: OPS's cells begin with it; the site's event texts
// (专利权的终止, 授权, 实质审查的生效, 公开, ...) are read by what they mean.
TLegalState LegalStateOf(const std::string& legalStatus);

// The year of filing: the application date's, else the year the application number
// begins with (12 digits: 2005..., 8 or 9 digits: 02... for 2002, 95... for 1995); 0 when
// neither tells.
int ApplicationYear(const TPatentRecord& record);

// The IPC subclass of a code, its first four characters upper-cased ("H01M" of
// "h01m 2/16"); "" when the code does not begin with one.
std::string IpcSubclass(const std::string& code);

// A date as YYYY-MM-DD from YYYY-MM-DD, YYYYMMDD, YYYY.MM.DD or YYYY/MM/DD (a time after
// it is dropped); "" when it reads as none of them.
std::string NormalDate(const std::string& text);

// The application digits of a CN application number as people write it ("CN200510012345.X",
// "ZL 02123456.6", "200510012345"): 8 or 12 digits without the check digit; "" when the
// text holds no such number.
std::string ApplicationDigits(const std::string& text);
