#include "demosite/opscorpus.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <set>

#include "demosite/opstexts.h"

namespace {

// Events after this day are not in the data yet.
constexpr int kToday = 20250630;

// ---- dates: days since 1970-01-01 and back

int ToDays(int ymd) {
  int y = ymd / 10000, m = ymd / 100 % 100, d = ymd % 100;
  y -= m <= 2;
  int era = (y >= 0 ? y : y - 399) / 400;
  int yoe = y - era * 400;
  int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

int FromDays(int z) {
  z += 719468;
  int era = (z >= 0 ? z : z - 146096) / 146097;
  int doe = z - era * 146097;
  int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int y = yoe + era * 400;
  int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int mp = (5 * doy + 2) / 153;
  int d = doy - (153 * mp + 2) / 5 + 1;
  int m = mp + (mp < 10 ? 3 : -9);
  return (y + (m <= 2)) * 10000 + m * 100 + d;
}

// ---- what a record's own number decides

uint64_t Mix(uint64_t z) {
  z += 0x9E3779B97F4A7C15ULL;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

uint64_t SeedOf(const std::string& text) {
  uint64_t h = 1469598103934665603ULL;
  for (unsigned char c : text) h = (h ^ c) * 1099511628211ULL;
  return Mix(h);
}

// A number below n, one per (seed, what) pair.
int Pick(uint64_t seed, char what, int n) { return int(Mix(seed ^ (uint64_t((unsigned char)what) << 56)) % uint64_t(n)); }

enum class Status { Granted, GrantedChanged, Examined, Published, Ceased, Withdrawn };

Status StatusOf(const std::string& status) {
  if (status.rfind("授权", 0) == 0) return status.find("变更") != std::string::npos ? Status::GrantedChanged : Status::Granted;
  if (status.find("专利权的终止") != std::string::npos) return Status::Ceased;
  if (status.find("视为撤回") != std::string::npos) return Status::Withdrawn;
  if (status.find("实质审查") != std::string::npos) return Status::Examined;
  return Status::Published;
}

bool Invention(int type) { return type == 1 || type == 8; }

// Day numbers of a record's events; 0 = none.
struct Timeline {
  int filed = 0, published = 0, examined = 0, granted = 0, ceased = 0, withdrawn = 0, changed = 0, transfer = 0,
      licence = 0;
  int Latest() const { return granted ? granted : published; }
  void Shift(int days) {
    for (int* d : {&filed, &published, &examined, &granted, &ceased, &withdrawn, &changed, &transfer, &licence})
      if (*d) *d += days;
  }
};

Timeline TimelineOf(int type, Status status, uint64_t seed, int filed) {
  Timeline t;
  t.filed = filed;
  bool granted = status == Status::Granted || status == Status::GrantedChanged || status == Status::Ceased;
  if (Invention(type)) {
    t.published = filed + 540 + Pick(seed, 'p', 120);
    if (status != Status::Published && status != Status::Withdrawn) t.examined = t.published + 90 + Pick(seed, 'e', 270);
    if (granted) t.granted = t.examined + 365 + Pick(seed, 'g', 540);
    if (status == Status::Withdrawn) t.withdrawn = t.published + 365 + Pick(seed, 'w', 540);
  } else {
    // Utility models and designs are published once, on their registration.
    t.granted = filed + (type == 3 ? 120 : 180) + Pick(seed, 'g', 180);
  }
  if (status == Status::Ceased) t.ceased = t.granted + 730 + Pick(seed, 'c', 2190);
  if (status == Status::GrantedChanged) t.changed = t.granted + 365 + Pick(seed, 'n', 730);
  if (status == Status::Granted && Pick(seed, 't', 4) == 0) t.transfer = t.granted + 400 + Pick(seed, 'T', 2500);
  if (status == Status::Granted && Pick(seed, 't', 4) == 1) t.licence = t.granted + 200 + Pick(seed, 'L', 3000);
  return t;
}

// The INPADOC codes of the CN events, the 2008 series and the 2017 one.
struct Code {
  const char* code;
  char influence;
  const char* desc;
};
struct CodePair {
  Code before2017, since2017;
};
const CodePair kPublication = {{"C06 ", '+', "PUBLICATION"}, {"PB01", ' ', "PUBLICATION"}};
const CodePair kExamination = {{"C10 ", ' ', "ENTRY INTO SUBSTANTIVE EXAMINATION"},
                               {"SE01", ' ', "ENTRY INTO FORCE OF REQUEST FOR SUBSTANTIVE EXAMINATION"}};
const CodePair kGrant = {{"C14 ", '+', "GRANT OF PATENT OR UTILITY MODEL"}, {"GR01", '+', "PATENT GRANT"}};
const CodePair kLapse = {{"C19 ", '-', "LAPSE OF PATENT RIGHT DUE TO NON-PAYMENT OF THE ANNUAL FEE"},
                         {"CF01", '-', "TERMINATION OF PATENT RIGHT DUE TO NON-PAYMENT OF ANNUAL FEE"}};
const CodePair kWithdrawal = {
    {"C02 ", '-', "DEEMED WITHDRAWAL OF PATENT APPLICATION AFTER PUBLICATION (PATENT LAW 2001)"},
    {"WD01", '-', "INVENTION PATENT APPLICATION DEEMED WITHDRAWN AFTER PUBLICATION"}};
const CodePair kNameChange = {{"C56 ", ' ', "CHANGE IN THE NAME OR ADDRESS OF THE PATENTEE"},
                              {"CP01", ' ', "CHANGE IN THE NAME OR TITLE OF A PATENT HOLDER"}};
const CodePair kTransfer = {{"C41 ", ' ', "TRANSFER OF PATENT APPLICATION OR PATENT RIGHT OR UTILITY MODEL"},
                            {"TR01", ' ', "TRANSFER OF PATENT RIGHT"}};
const Code kLicence = {"EE01", ' ', "ENTRY INTO FORCE OF RECORDATION OF PATENT LICENSING CONTRACT"};
const Code kDesignated = {"121 ", ' ', "EP: THE EPO HAS BEEN INFORMED BY WIPO THAT EP WAS DESIGNATED IN THIS APPLICATION"};
const Code kNationalPhase = {"WWE ", ' ', "WIPO INFORMATION: ENTRY INTO NATIONAL PHASE"};

OpsLegalEvent EventOf(int days, const Code& c) { return {FromDays(days), c.code, c.influence, c.desc}; }

void AddEvent(std::vector<OpsLegalEvent>& events, int days, const CodePair& codes) {
  if (days) events.push_back(EventOf(days, FromDays(days) < 20170101 ? codes.before2017 : codes.since2017));
}

std::vector<OpsLegalEvent> EventsOf(const Timeline& t) {
  std::vector<OpsLegalEvent> events;
  AddEvent(events, t.published, kPublication);
  AddEvent(events, t.examined, kExamination);
  AddEvent(events, t.granted, kGrant);
  AddEvent(events, t.withdrawn, kWithdrawal);
  AddEvent(events, t.changed, kNameChange);
  AddEvent(events, t.transfer, kTransfer);
  // Licences are recorded under the 2017 code only.
  if (t.licence && FromDays(t.licence) >= 20170101) events.push_back(EventOf(t.licence, kLicence));
  AddEvent(events, t.ceased, kLapse);
  std::stable_sort(events.begin(), events.end(), [](const auto& a, const auto& b) { return a.date < b.date; });
  return events;
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c + 32);
  return s;
}

// Fixed records: dates that give each kind of publication, and the quirks the README names.
struct Anchor {
  const char* application;
  int filed, published, examined, granted, ceased, transfer;  // YYYYMMDD; 0 = none
  bool latin, countryMark, leadingSpace, bareLinks, legal, english;
  const char* applicant;  // replaces the record's applicant
  const char* title;      // replaces the record's Chinese title
  const char* wo;         // WO publication of a PCT record
  int woDate, woPages;
};
const Anchor kAnchors[] = {
    {"200510012345", 20050318, 20071017, 20080123, 20110323, 0, 20180612, true, true, false, false, true, true,
     nullptr, nullptr, nullptr, 0, 0},
    {"02123456", 20020415, 20031022, 20040310, 20060201, 20090415, 0, true, false, true, false, true, true, nullptr,
     nullptr, nullptr, 0, 0},
    {"200630012345", 20060512, 0, 0, 20070103, 0, 0, true, false, false, false, true, true, nullptr, nullptr,
     nullptr, 0, 0},
    {"03234567", 20030808, 0, 0, 20040616, 0, 0, true, false, false, false, true, true, "约翰•史密斯", nullptr,
     nullptr, 0, 0},
    {"200880001234", 20080115, 20090722, 20091104, 0, 0, 0, false, false, false, false, true, true, nullptr,
     nullptr, "2007081234", 20070719, 36},
    {"01900123", 20010620, 0, 0, 20020403, 0, 0, true, false, false, false, true, true, nullptr, nullptr, "0112345",
     20010222, 3},
    {"201120011111", 20110105, 0, 0, 20110817, 0, 0, true, true, false, false, true, true, nullptr, nullptr,
     nullptr, 0, 0},
    {"201120022222", 20110302, 0, 0, 20111019, 0, 0, true, false, false, false, false, false, nullptr, nullptr,
     nullptr, 0, 0},
    {"04256789", 20040920, 0, 0, 20051130, 0, 0, true, false, false, false, true, true, nullptr,
     "一种三折•自动折叠伞", nullptr, 0, 0},
    {"201210033333", 20120210, 20120829, 20121212, 20150107, 0, 0, false, false, false, true, true, true, nullptr,
     nullptr, nullptr, 0, 0},
};

const Anchor* AnchorOf(const std::string& application) {
  for (const Anchor& a : kAnchors)
    if (application == a.application) return &a;
  return nullptr;
}

class Numbers {
 public:
  // A number not yet given out: prefix and `digits` more digits chosen by the seed.
  std::string New(const std::string& prefix, int digits, uint64_t seed) {
    uint64_t range = 1;
    for (int i = 0; i < digits; ++i) range *= 10;
    for (uint64_t k = 0;; ++k) {
      char buf[32];
      snprintf(buf, sizeof buf, "%0*llu", digits, (unsigned long long)(Mix(seed + k) % range));
      std::string n = prefix + buf;
      if (used_.insert(n).second) return n;
    }
  }
  bool Take(const std::string& n) { return used_.insert(n).second; }

 private:
  std::set<std::string> used_;
};

// The first three digits of a nine-digit publication number (since August 2007) rise with
// the year, as the office's did: CN101... in 2010, CN110... in 2019.
std::string NinePrefix(char lead, int date) {
  int year = date / 10000;
  int step = lead == '1' ? year - 2009 : lead == '2' ? (year - 2008) * 6 + 1 : (year - 2007) * 4;
  char buf[8];
  snprintf(buf, sizeof buf, "%c%02d", lead, std::clamp(step, 1, 99));
  return buf;
}

// The CN publications of a record, numbered as the office numbered them in their time.
std::vector<OpsPublication> PublicationsOf(int type, const Timeline& t, uint64_t seed, Numbers& numbers) {
  std::vector<OpsPublication> pubs;
  auto number = [&](char lead, int date, char kind) {
    return date >= 20070801 ? numbers.New(NinePrefix(lead, date), 6, seed ^ kind)
                            : numbers.New(std::string(1, lead), 6, seed ^ kind);
  };
  if (Invention(type)) {
    int date = FromDays(t.published);
    pubs.push_back({number('1', date, 'A'), 'A', date, 1});
    if (t.granted) {
      int g = FromDays(t.granted);
      // Since April 2010 a grant keeps a nine-digit publication's number; C grants had their own.
      if (g >= 20100401)
        pubs.push_back({pubs[0].number.size() == 9 ? pubs[0].number : number('1', g, 'B'), 'B', g, 1});
      else
        pubs.push_back({g >= 20040101 ? numbers.New("100", 6, seed ^ 'C') : pubs[0].number, 'C', g, 1});
    }
    return pubs;
  }
  int g = FromDays(t.granted);
  char kind = g >= 20100401 ? (type == 3 ? 'S' : 'U') : (type == 3 ? 'D' : 'Y');
  pubs.push_back({number(type == 3 ? '3' : '2', g, kind), kind, g, 1});
  return pubs;
}

int FiledOf(const std::string& application, uint64_t seed) {
  int year = application.size() == 12 ? std::stoi(application.substr(0, 4))
                                       : (application[0] >= '8' ? 1900 : 2000) + std::stoi(application.substr(0, 2));
  return ToDays(year * 10000 + (1 + Pick(seed, 'm', 12)) * 100 + 1 + Pick(seed, 'd', 28));
}

// The WO publication of a PCT record, before its entry into the national phase.
OpsForeign ForeignOf(const Timeline& t, uint64_t seed, const Anchor* anchor, Numbers& numbers) {
  OpsForeign f;
  int days = anchor ? ToDays(anchor->woDate) : t.filed - 200 - Pick(seed, 'f', 200);
  f.date = FromDays(days);
  int year = f.date / 10000;
  // Two-digit years before 2004, as DOCDB writes WO numbers of that time.
  f.number = anchor ? anchor->wo
                    : year >= 2004 ? numbers.New("WO" + std::to_string(year), 6, seed ^ 'W').substr(2)
                                   : numbers.New("WO" + std::to_string(year).substr(2), 5, seed ^ 'W').substr(2);
  numbers.Take("WO" + f.number);
  f.pages = anchor ? anchor->woPages : 10 + Pick(seed, 'P', 30);
  f.applicationDate = FromDays(days - 540);
  f.application = "CN" + std::to_string(f.applicationDate / 10000) + std::to_string(100000 + Pick(seed, 'a', 900000));
  f.events = {EventOf(days + 45, kDesignated), EventOf(t.filed, kNationalPhase)};
  return f;
}

}  // namespace

std::string IsoDate(int date) {
  char buf[16];
  snprintf(buf, sizeof buf, "%04d-%02d-%02d", date / 10000, date / 100 % 100, date % 100);
  return buf;
}

OpsCorpus::OpsCorpus(const DemoCorpus& corpus, int extra, int pages) {
  Numbers numbers;
  std::set<std::string> applications;
  for (const DemoRecord& r : corpus.Records()) applications.insert(r.number);
  std::vector<DemoRecord> extras = DemoCorpus::BatteryRecords(extra);

  size_t baseCount = corpus.Records().size();
  for (size_t i = 0; i < baseCount + extras.size(); ++i) {
    bool isExtra = i >= baseCount;
    DemoRecord r = isExtra ? extras[i - baseCount] : corpus.Records()[i];
    uint64_t seed = isExtra ? SeedOf("extra " + std::to_string(i - baseCount)) : SeedOf(r.number);
    const Anchor* anchor = isExtra ? nullptr : AnchorOf(r.number);
    Status status = StatusOf(FromGbk(r.status));

    Timeline t;
    if (anchor) {
      for (auto [day, ymd] : {std::pair{&t.filed, anchor->filed}, {&t.published, anchor->published},
                              {&t.examined, anchor->examined}, {&t.granted, anchor->granted},
                              {&t.ceased, anchor->ceased}, {&t.transfer, anchor->transfer}})
        *day = ymd ? ToDays(ymd) : 0;
    } else if (!isExtra) {
      t = TimelineOf(r.type, status, seed, FiledOf(r.number, seed));
    } else {
      // Extra records crowd 2015 and June 2015, so a split by date goes down to months
      // and days: a quarter spread over 2010-2019, a quarter over 2015, half over June.
      static const int from[] = {20100101, 20150101, 20150601, 20150601};
      static const int span[] = {3652, 365, 30, 30};
      size_t k = (i - baseCount) % 4;
      int target = ToDays(from[k]) + Pick(seed, 'x', span[k]);
      t = TimelineOf(r.type, status, seed, ToDays(20100101));
      t.Shift(target - t.Latest());
      char number[32];
      do {
        snprintf(number, sizeof number, "%04d%d%07d", FromDays(t.filed) / 10000, r.type, Pick(seed, 'N', 10000000));
        seed = Mix(seed);
      } while (!applications.insert(number).second);
      r.number = number;
      r.check = CheckDigitOf(r.number);
    }
    // Nothing happens after today; a lapse due by then is recorded today.
    if (t.ceased && FromDays(t.ceased) > kToday) t.ceased = ToDays(kToday);
    for (int* later : {&t.transfer, &t.licence, &t.changed})
      if (*later && FromDays(*later) > kToday) *later = 0;

    OpsRecord o;
    o.application = r.number;
    o.page = r;
    o.check = r.check;
    o.type = r.type;
    o.applicationDate = FromDays(t.filed);
    o.publications = PublicationsOf(r.type, t, seed, numbers);
    // The grant is the document the search site shows first; an earlier publication has its own count.
    int own = pages > 0 ? pages : r.pages;
    int earlier = pages > 0 ? pages : r.firstPages > 0 ? r.firstPages : 1 + Pick(seed, 'q', 20);
    for (OpsPublication& p : o.publications) p.pages = o.publications.size() > 1 && p.kind == 'A' ? earlier : own;

    o.titleOl = anchor && anchor->title ? anchor->title : FromGbk(r.title);
    o.titleEn = EnglishTitle(o.titleOl);
    std::string abstract = FromGbk(r.abstract);
    if (!abstract.empty()) {
      o.abstractOl = "[0001]    " + abstract;
      o.abstractEn = EnglishAbstract(abstract, o.titleEn);
    }
    bool english = anchor ? anchor->english : Pick(seed, 'E', 11) != 3;
    if (!english) o.titleEn = o.abstractEn = "";
    if (!anchor && Pick(seed, 'O', 13) == 4) o.titleOl = "";

    std::string patentee = anchor && anchor->applicant ? anchor->applicant : FromGbk(r.patentee);
    // Now and then a person whose name GBK cannot write.
    if (!anchor && !isExtra && i % 50 == 17) patentee = i / 50 % 2 ? "王𠀀" : "刘䶮";
    bool latin = anchor ? anchor->latin : Pick(seed, 'l', 7) != 0;
    for (size_t pos = 0; pos <= patentee.size();) {
      size_t end = patentee.find("；", pos);
      std::string name = patentee.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
      if (!name.empty()) o.applicants.push_back({name, latin ? LatinName(name) : ""});
      if (end == std::string::npos) break;
      pos = end + std::string("；").size();
    }
    o.countryMark = anchor ? anchor->countryMark : Pick(seed, 'k', 5) == 1;
    o.leadingSpace = anchor ? anchor->leadingSpace : Pick(seed, 's', 6) == 2;

    if (r.type != 3) {
      o.ipc = FromGbk(r.ipc);
      if (o.ipc.find('/') == std::string::npos) o.ipc += "/00";
    }
    o.hasLegal = anchor ? anchor->legal : Pick(seed, 'G', 17) != 6;
    if (o.hasLegal) o.events = EventsOf(t);
    o.hasImages = anchor || isExtra || Pick(seed, 'I', 19) != 7;
    o.bareLinks = anchor ? anchor->bareLinks : Pick(seed, 'b', 9) == 5;
    if (r.type == 8 || r.type == 9) o.foreign = ForeignOf(t, seed, anchor && anchor->wo ? anchor : nullptr, numbers);
    o.familyId = 10000000 + Pick(seed, 'F', 90000000);
    o.docId = 100000000 + Pick(seed, 'D', 900000000);

    o.findTitle = Lower(o.titleEn + "\n" + o.titleOl);
    o.findAbstract = Lower(o.abstractEn + "\n" + o.abstractOl);
    for (const OpsApplicant& a : o.applicants) o.findNames += Lower(a.latin + "\n" + a.original + "\n");
    records_.push_back(std::move(o));
  }

  std::stable_sort(records_.begin(), records_.end(), [](const OpsRecord& a, const OpsRecord& b) {
    const OpsPublication &x = a.Latest(), &y = b.Latest();
    if (x.date != y.date) return x.date > y.date;
    return x.number > y.number;
  });
  for (size_t i = 0; i < records_.size(); ++i) {
    byApplication_[records_[i].application] = i;
    for (const OpsPublication& p : records_[i].publications) byPublication_.emplace(p.number, i);
    if (records_[i].foreign) byForeign_[records_[i].foreign->number] = i;
  }
}

const OpsRecord* OpsCorpus::FindApplication(const std::string& digits) const {
  auto it = byApplication_.find(digits);
  return it == byApplication_.end() ? nullptr : &records_[it->second];
}

std::vector<std::pair<const OpsRecord*, const OpsPublication*>> OpsCorpus::FindPublications(
    const std::string& number, char kind) const {
  std::vector<std::pair<const OpsRecord*, const OpsPublication*>> found;
  auto [from, to] = byPublication_.equal_range(number);
  std::set<size_t> seen;
  for (auto it = from; it != to; ++it) {
    if (!seen.insert(it->second).second) continue;
    const OpsRecord& r = records_[it->second];
    for (const OpsPublication& p : r.publications)
      if (p.number == number && (kind == 0 || p.kind == kind)) found.emplace_back(&r, &p);
  }
  return found;
}

const OpsRecord* OpsCorpus::FindForeign(const std::string& number) const {
  auto it = byForeign_.find(number);
  return it == byForeign_.end() ? nullptr : &records_[it->second];
}
