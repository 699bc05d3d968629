#include "demosite/opscorpus.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <set>
#include <stdexcept>

#include "demosite/opstexts.h"

namespace {

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
const Code kAbandoned = {"AV01", '-', "PATENT RIGHT ACTIVELY ABANDONED"};
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
  f.country = "WO";
  f.applicationKind = 'W';
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


// Other offices' publications in the family of a PCT record, now and then: an EP, US, JP
// or KR member, each on its own application filed as the PCT application was.
std::vector<OpsForeign> AbroadOf(const OpsForeign& wo, uint64_t seed, Numbers& numbers) {
  struct Office {
    const char* country;
    char what;
    int oneIn;
    const char* kind;
  };
  static const Office offices[] = {{"EP", 'e', 2, "A1"}, {"US", 'u', 3, "A1"}, {"JP", 'j', 4, "A"}, {"KR", 'r', 5, "A"}};
  std::vector<OpsForeign> out;
  for (const Office& o : offices) {
    if (Pick(seed, o.what, o.oneIn) != 0) continue;
    OpsForeign f;
    f.country = o.country;
    f.kind = o.kind;
    f.date = FromDays(ToDays(wo.date) + 300 + Pick(seed, char(o.what - 32), 400));
    f.applicationDate = wo.applicationDate;
    const std::string year = std::to_string(f.date / 10000), filed = std::to_string(f.applicationDate / 10000);
    const std::string c = o.country;
    // Each office's own way of numbering, kept apart from the CN numbers by the country.
    if (c == "EP") {
      f.number = numbers.New("EP1", 6, seed ^ 'E').substr(2);
      f.application = numbers.New("EP" + filed.substr(2), 6, seed ^ 'e').substr(2);
    } else if (c == "US") {
      f.number = numbers.New("US" + year, 6, seed ^ 'U').substr(2);
      f.application = numbers.New("US1", 7, seed ^ 'u').substr(2);
    } else if (c == "JP") {
      f.number = numbers.New("JP" + year + "5", 5, seed ^ 'J').substr(2);
      f.application = numbers.New("JP" + filed, 6, seed ^ 'j').substr(2);
    } else {
      f.number = numbers.New("KR" + year, 7, seed ^ 'K').substr(2);
      f.application = numbers.New("KR" + filed + "7", 6, seed ^ 'r').substr(2);
    }
    out.push_back(f);
  }
  return out;
}

// Inventors: a person who applies is one; otherwise one to three people of the firm.
const char* const kInventorNames[] = {"张伟", "王芳", "李强", "刘洋", "陈静", "杨军", "赵磊",
                                      "黄敏", "周涛", "吴刚", "孙丽", "马超", "郑华", "何平"};

bool IsPerson(const std::string& name) {
  return name.find("公司") == std::string::npos && name.find("大学") == std::string::npos;
}

std::vector<OpsName> InventorsOf(const std::vector<OpsName>& applicants, uint64_t seed, bool latin) {
  std::vector<OpsName> out;
  std::set<std::string> taken;
  auto add = [&](const std::string& name) {
    if (taken.insert(name).second) out.push_back({name, latin ? LatinName(name) : ""});
  };
  for (const OpsName& a : applicants)
    if (IsPerson(a.original)) add(a.original);
  if (!out.empty()) return out;
  const int n = 1 + Pick(seed, 'v', 3);
  for (int k = 0; int(out.size()) < n && k < 16; ++k)
    add(kInventorNames[Pick(seed, char('V' + k), int(std::size(kInventorNames)))]);
  return out;
}

// The CPC adds its tagging of climate change mitigation to energy storage and solar cells.
std::vector<std::string> AdditionalCpcs(const std::string& ipc) {
  if (ipc.rfind("H01M8", 0) == 0) return {"Y02E60/50"};
  if (ipc.rfind("H01M", 0) == 0) return {"Y02E60/10"};
  if (ipc.rfind("H01L31", 0) == 0) return {"Y02E10/50"};
  return {};
}

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> out;
  std::string word;
  for (char c : text + " ") {
    if (c == ' ') {
      if (!word.empty()) out.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  return out;
}

// The role's own records: a gearbox maker's filings, dated so that between 2025-01-01 and
// 2025-06-30 one application is published, one is granted and two rights end; with
// same-day invention and utility model twins, and one family across five offices.
struct Own {
  const char* application;
  int type;
  int filed;
  const char* a;  // the A publication of an invention; nullptr for a utility model
  int aDate, examined;
  const char* grant;  // B or U; nullptr while not granted
  int grantDate, lapsed, abandoned;  // CF01, AV01
  const char* twin;  // filed on the same day as this earlier entry: one family
  const char* applicant;
  bool latin;
  const char* inventors;  // blank-separated
  const char* titleOl;
  const char* titleEn;
  const char* abstractOl;  // without the paragraph tag
  const char* abstractEn;
  const char* core;
  const char* parts;  // four, blank-separated
  const char* ipcs;
  const char* cpcs;       // inventive ones
  const char* extraCpcs;  // additional ones
  bool abroad;
  int pages;
};

const char kMaker[] = "重庆长江变速器有限公司";
const char kShiftOl[] = "一种变速箱换挡机构";
const char kShiftEn[] = "Gear shift mechanism for gearbox";
const char kShiftAbstractEn[] =
    "discloses a gear shift mechanism for a gearbox, comprising a shift fork, a synchronizer and a shift shaft, "
    "the shift fork being connected with the synchronizer. The gear shift is smooth and the impact is small.";
const char kPumpOl[] = "一种变速箱油泵";
const char kPumpEn[] = "Oil pump for gearbox";
const char kPumpAbstractEn[] =
    "discloses an oil pump for a gearbox, comprising a pump body, a rotor and an end cover, the pump body being "
    "connected with the rotor. The noise is low and the efficiency is high.";

const Own kOwn[] = {
    {"202310123456", 1, 20230315, "116789012", 20230919, 20231027, "116789012", 20250415, 0, 0, nullptr, kMaker, true,
     "周涛 吴刚", kShiftOl, kShiftEn,
     "本发明公开了一种变速箱换挡机构，包括换挡拨叉、同步器和换挡轴，所述换挡拨叉与同步器相连接。本发明换挡平顺，冲击小。",
     "The invention", "变速箱换挡机构", "换挡拨叉 同步器 换挡轴 复位弹簧", "F16H61/32 F16H63/30", "F16H61/32 F16H63/30",
     "F16H2061/326", false, 7},
    {"202320654321", 2, 20230315, nullptr, 0, 0, "219345678", 20230822, 0, 20250415, "202310123456", kMaker, true,
     "周涛 吴刚", kShiftOl, kShiftEn,
     "本实用新型公开了一种变速箱换挡机构，包括换挡拨叉、同步器和换挡轴，所述换挡拨叉与同步器相连接。本实用新型换挡平顺，冲击小。",
     "The utility model", "变速箱换挡机构", "换挡拨叉 同步器 换挡轴 复位弹簧", "F16H61/32 F16H63/30",
     "F16H61/32 F16H63/30", "", false, 5},
    {"202210987654", 1, 20220520, "115012345", 20220913, 20221011, "115012345", 20240621, 0, 0, nullptr, kMaker, true,
     "马超 郑华 何平", "一种自动变速箱的液压控制系统", "Hydraulic control system for automatic gearbox",
     "本发明公开了一种自动变速箱的液压控制系统，包括油泵、电磁阀和换挡油缸，所述油泵与电磁阀相连接。本发明换挡响应快，能耗低。",
     "The invention discloses a hydraulic control system for an automatic gearbox, comprising an oil pump, a "
     "solenoid valve and a shift cylinder, the oil pump being connected with the solenoid valve. The shift response "
     "is fast and the energy consumption is low.",
     "自动变速箱液压控制系统", "油泵 电磁阀 换挡油缸 蓄能器", "F16H61/02", "F16H61/0206 F16H61/0021", "", true, 16},
    {"202020111222", 2, 20200310, nullptr, 0, 0, "211234567", 20200908, 20250520, 0, nullptr, kMaker, true, "郑华",
     "一种变速箱散热装置", "Heat dissipation device for gearbox",
     "本实用新型公开了一种变速箱散热装置，包括散热片、风扇和导流罩，所述散热片与风扇相连接。本实用新型散热效率高。",
     "The utility model discloses a heat dissipation device for a gearbox, comprising cooling fins, a fan and an "
     "air guide cover, the cooling fins being connected with the fan. The heat dissipation efficiency is high.",
     "变速箱散热装置", "散热片 风扇 导流罩 固定支架", "F16H57/04", "F16H57/0412", "", false, 4},
    {"202411223344", 1, 20240808, "119678901", 20250314, 0, nullptr, 0, 0, 0, nullptr, kMaker, false, "吴刚 孙丽",
     "一种变速箱换挡拨叉", "Shift fork for gearbox",
     "本发明公开了一种变速箱换挡拨叉，包括叉体、叉脚和耐磨衬套，所述叉体与叉脚相连接。本发明耐磨性好，使用寿命长。",
     "The invention discloses a shift fork for a gearbox, comprising a fork body, fork feet and a wear-resistant "
     "bushing, the fork body being connected with the fork feet. It is wear-resistant and has a long service life.",
     "变速箱换挡拨叉", "叉体 叉脚 耐磨衬套 定位销", "F16H63/32", "F16H63/32", "", false, 6},
    {"202410555666", 1, 20240110, "118123456", 20240712, 20240830, nullptr, 0, 0, 0, nullptr, kMaker, true, "孙丽",
     kPumpOl, kPumpEn,
     "本发明公开了一种变速箱油泵，包括泵体、转子和端盖，所述泵体与转子相连接。本发明噪声低，效率高。", "The invention",
     "变速箱油泵", "泵体 转子 端盖 密封圈", "F16H57/04 F04C2/10", "F16H57/0441 F04C2/10", "", false, 6},
    {"202420555777", 2, 20240110, nullptr, 0, 0, "221234567", 20240705, 0, 0, "202410555666", kMaker, true, "孙丽",
     kPumpOl, kPumpEn,
     "本实用新型公开了一种变速箱油泵，包括泵体、转子和端盖，所述泵体与转子相连接。本实用新型噪声低，效率高。",
     "The utility model", "变速箱油泵", "泵体 转子 端盖 密封圈", "F16H57/04 F04C2/10", "F16H57/0441 F04C2/10", "",
     false, 4},
    {"200910222333", 1, 20090612, "101654321", 20100217, 20100512, "101654321", 20120530, 0, 0, nullptr, "浙江大学",
     true, "陈静 黄敏", "一种无级变速箱", "Continuously variable gearbox",
     "本发明公开了一种无级变速箱，包括主动轮、从动轮和钢带，所述主动轮与从动轮相连接。本发明传动效率高。",
     "The invention discloses a continuously variable gearbox, comprising a driving pulley, a driven pulley and a "
     "steel belt, the driving pulley being connected with the driven pulley. The transmission efficiency is high.",
     "无级变速箱", "主动轮 从动轮 钢带 液压缸", "F16H9/18", "F16H9/18", "", false, 8},
};

// The family of the hydraulic control system across offices: its PCT application, and
// the national phases in Europe, the United States, Japan and Korea.
const OpsForeign kAbroad[] = {
    {"WO", "2023221234", "A1", 20231130, 18, "CN2023094567", 'W', 20230519, {}},
    {"EP", "4312345", "A1", 20240313, 1, "23812345", 'A', 20230519, {}},
    {"US", "2024123456", "A1", 20240418, 1, "18012345", 'A', 20230519, {}},
    {"US", "12123456", "B2", 20241105, 1, "18012345", 'A', 20230519, {}},
    {"JP", "2024512345", "A", 20240321, 1, "2023571234", 'A', 20230519, {}},
    {"KR", "20240012345", "A", 20240125, 1, "20237012345", 'A', 20230519, {}},
};

void AddOwnEvent(std::vector<OpsLegalEvent>& events, int ymd, const Code& code) {
  if (ymd) events.push_back(EventOf(ToDays(ymd), code));
}

// The record of an own entry; the page images' record is made alongside. pages > 0: its
// documents have that many pages.
OpsRecord OwnRecord(const Own& own, int pages, Numbers& numbers) {
  OpsRecord o;
  o.application = own.application;
  o.check = CheckDigitOf(o.application);
  o.type = own.type;
  o.applicationDate = own.filed;
  auto take = [&](const char* number, char kind, int date) {
    // A number the generated records already hold would be a slip of this table.
    if (kind != 'B' && !numbers.Take(number)) throw std::logic_error(std::string("publication number in use: ") + number);
    o.publications.push_back({number, kind, date, pages > 0 ? pages : own.pages});
  };
  if (own.a) take(own.a, 'A', own.aDate);
  if (own.grant) take(own.grant, own.type == 2 ? 'U' : 'B', own.grantDate);
  AddOwnEvent(o.events, own.aDate, kPublication.since2017);
  AddOwnEvent(o.events, own.examined, kExamination.since2017);
  AddOwnEvent(o.events, own.grant ? own.grantDate : 0, kGrant.since2017);
  AddOwnEvent(o.events, own.abandoned, kAbandoned);
  AddOwnEvent(o.events, own.lapsed, kLapse.since2017);
  std::stable_sort(o.events.begin(), o.events.end(), [](const auto& a, const auto& b) { return a.date < b.date; });
  o.titleOl = own.titleOl;
  o.titleEn = own.titleEn;
  o.abstractOl = std::string("[0001]    ") + own.abstractOl;
  // Twins share the English abstract's wording after their own subject.
  o.abstractEn = std::string(own.abstractEn);
  if (o.abstractEn == "The invention" || o.abstractEn == "The utility model")
    o.abstractEn += std::string(" ") + (own.titleOl == std::string(kPumpOl) ? kPumpAbstractEn : kShiftAbstractEn);
  o.applicants.push_back({own.applicant, own.latin ? LatinName(own.applicant) : ""});
  for (const std::string& name : Words(own.inventors)) o.inventors.push_back({name, own.latin ? LatinName(name) : ""});
  o.ipcs = Words(own.ipcs);
  o.cpcs = Words(own.cpcs);
  o.inventiveCpcs = o.cpcs.size();
  for (const std::string& c : Words(own.extraCpcs)) o.cpcs.push_back(c);
  if (own.abroad) o.foreign.assign(std::begin(kAbroad), std::end(kAbroad));

  DemoRecord& r = o.page;
  r.number = o.application;
  r.check = o.check;
  r.type = own.type;
  r.title = ToGbk(own.titleOl);
  r.abstract = ToGbk(own.abstractOl);
  const std::vector<std::string> parts = Words(own.parts);
  r.claim = ToGbk(std::string("1．一种") + own.core + "，其特征在于：包括" + parts[0] + "、" + parts[1] + "和" + parts[3] +
                  "，所述" + parts[1] + "设置在" + parts[0] + "上。");
  r.patentee = ToGbk(own.applicant);
  r.ipc = ToGbk(o.ipcs[0]);
  r.status = ToGbk(own.lapsed || own.abandoned ? "专利权的终止" : own.grant ? "授权" : "公开");
  r.pages = pages > 0 ? pages : own.pages;
  r.core = ToGbk(own.core);
  for (const std::string& p : parts) r.parts.push_back(ToGbk(p));
  return o;
}

// Drops what has not happened by today.
void AsOf(OpsRecord& r, int today) {
  std::erase_if(r.publications, [&](const OpsPublication& p) { return p.date > today; });
  std::erase_if(r.events, [&](const OpsLegalEvent& e) { return e.date > today; });
  std::erase_if(r.foreign, [&](const OpsForeign& f) { return f.date > today; });
  for (OpsForeign& f : r.foreign) std::erase_if(f.events, [&](const OpsLegalEvent& e) { return e.date > today; });
}

}  // namespace

std::string IsoDate(int date) {
  char buf[16];
  snprintf(buf, sizeof buf, "%04d-%02d-%02d", date / 10000, date / 100 % 100, date % 100);
  return buf;
}

std::string OpsPriority::Epodoc() const {
  // A PCT application "CN2007123456" is "WO2007CN123456" in epodoc.
  if (country == "WO" && number.size() > 6) return "WO" + number.substr(2, 4) + number.substr(0, 2) + number.substr(6);
  return country + number;
}

void OpsIndexText::Add(const std::string& utf8) {
  if (utf8.empty()) return;
  lower += Lower(utf8) + "\n";
  std::string word;
  for (char c : utf8 + " ") {
    bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (alnum) {
      word += char(c >= 'A' && c <= 'Z' ? c + 32 : c);
    } else if (!word.empty()) {
      words.push_back(word);
      word.clear();
    }
  }
  words.emplace_back();
}

OpsCorpus::OpsCorpus(const DemoCorpus& corpus, int extra, int pages, int today) {
  Numbers numbers;
  std::set<std::string> applications;
  for (const DemoRecord& r : corpus.Records()) applications.insert(r.number);
  std::vector<DemoRecord> extras = DemoCorpus::BatteryRecords(extra);
  std::set<long> families;
  std::vector<uint64_t> seeds;
  // One family id each, unless it is taken (then the next free one).
  auto familyOf = [&](uint64_t seed) {
    long id = 10000000 + Pick(seed, 'F', 90000000);
    while (!families.insert(id).second) ++id;
    return id;
  };

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
    // Nothing happens after the corpus's last day; a lapse due by then is recorded on it.
    if (t.ceased && FromDays(t.ceased) > kOpsHorizon) t.ceased = ToDays(kOpsHorizon);
    for (int* later : {&t.transfer, &t.licence, &t.changed})
      if (*later && FromDays(*later) > kOpsHorizon) *later = 0;

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
    o.inventors = InventorsOf(o.applicants, seed, latin);
    o.countryMark = anchor ? anchor->countryMark : Pick(seed, 'k', 5) == 1;
    o.leadingSpace = anchor ? anchor->leadingSpace : Pick(seed, 's', 6) == 2;

    if (r.type != 3) {
      std::string ipc = FromGbk(r.ipc);
      if (ipc.find('/') == std::string::npos) ipc += "/00";
      o.ipcs = {ipc};
      o.cpcs = {ipc};
      o.inventiveCpcs = 1;
      for (const std::string& c : AdditionalCpcs(ipc)) o.cpcs.push_back(c);
    }
    o.hasLegal = anchor ? anchor->legal : Pick(seed, 'G', 17) != 6;
    if (o.hasLegal) o.events = EventsOf(t);
    o.hasImages = anchor || isExtra || Pick(seed, 'I', 19) != 7;
    o.bareLinks = anchor ? anchor->bareLinks : Pick(seed, 'b', 9) == 5;
    if (o.Pct()) {
      o.foreign.push_back(ForeignOf(t, seed, anchor && anchor->wo ? anchor : nullptr, numbers));
      if (!anchor)
        for (OpsForeign& f : AbroadOf(o.foreign[0], seed, numbers)) o.foreign.push_back(std::move(f));
      o.priorities.push_back({"WO", o.foreign[0].application, 'W', o.foreign[0].applicationDate});
    } else {
      o.priorities.push_back({"CN", o.application, 'A', o.applicationDate});
    }
    o.familyId = familyOf(seed);
    o.docId = 100000000 + Pick(seed, 'D', 900000000);
    records_.push_back(std::move(o));
    seeds.push_back(seed);
  }

  for (const Own& own : kOwn) {
    OpsRecord o = OwnRecord(own, pages, numbers);
    uint64_t seed = SeedOf(o.application);
    o.priorities.push_back({"CN", o.application, 'A', o.applicationDate});
    o.familyId = familyOf(seed);
    for (const OpsRecord& earlier : records_)
      if (own.twin && earlier.application == own.twin) o.familyId = earlier.familyId;
    o.docId = 100000000 + Pick(seed, 'D', 900000000);
    records_.push_back(std::move(o));
    seeds.push_back(seed);
  }

  // Examiners cite earlier publications of the search site's inventions and utility
  // models: up to four, now and then a paper besides; designs cite and are cited by nothing.
  std::vector<size_t> cited;
  for (size_t i = 0; i < baseCount; ++i)
    if (records_[i].type != 3) cited.push_back(i);
  auto firstDate = [&](size_t i) { return records_[i].publications.front().date; };
  std::stable_sort(cited.begin(), cited.end(), [&](size_t a, size_t b) { return firstDate(a) < firstDate(b); });
  for (size_t i = 0; i < records_.size(); ++i) {
    OpsRecord& o = records_[i];
    if (o.type == 3) continue;
    size_t before = std::partition_point(cited.begin(), cited.end(),
                                         [&](size_t c) { return firstDate(c) < o.applicationDate; }) - cited.begin();
    for (int k = 0, n = Pick(seeds[i], 'c', 5); k < n && before > 0; ++k) {
      const OpsPublication& p = records_[cited[Pick(seeds[i], char('0' + k), int(before))]].publications.front();
      bool known = std::any_of(o.citations.begin(), o.citations.end(), [&](const auto& c) { return c.number == p.number; });
      if (!known) o.citations.push_back(p);
    }
    o.nplCitation = !o.citations.empty() && Pick(seeds[i], 'p', 4) == 0;
  }

  for (OpsRecord& o : records_) {
    AsOf(o, today);
    o.titleEnIndex.Add(o.titleEn);
    o.titleOlIndex.Add(o.titleOl);
    o.abstractEnIndex.Add(o.abstractEn);
    o.abstractOlIndex.Add(o.abstractOl);
    for (const OpsName& a : o.applicants) o.applicantIndex.Add(a.latin), o.applicantIndex.Add(a.original);
    for (const OpsName& a : o.inventors) o.inventorIndex.Add(a.latin), o.inventorIndex.Add(a.original);
  }
  std::erase_if(records_, [](const OpsRecord& o) { return o.publications.empty(); });

  std::stable_sort(records_.begin(), records_.end(), [](const OpsRecord& a, const OpsRecord& b) {
    const OpsPublication &x = a.Latest(), &y = b.Latest();
    if (x.date != y.date) return x.date > y.date;
    return x.number > y.number;
  });
  for (size_t i = 0; i < records_.size(); ++i) {
    const OpsRecord& r = records_[i];
    byApplication_[r.application] = i;
    for (const OpsPublication& p : r.publications) {
      byPublication_.emplace(p.number, i);
      publications_.emplace_back(&r, &p);
    }
    for (const OpsForeign& f : r.foreign) byForeign_[f.country + f.number] = i;
    byFamily_.emplace(r.familyId, i);
  }
  std::stable_sort(publications_.begin(), publications_.end(), [](const OpsDocument& a, const OpsDocument& b) {
    if (a.second->date != b.second->date) return a.second->date > b.second->date;
    if (a.second->number != b.second->number) return a.second->number > b.second->number;
    return a.second->kind > b.second->kind;
  });
}

const OpsRecord* OpsCorpus::FindApplication(const std::string& digits) const {
  auto it = byApplication_.find(digits);
  return it == byApplication_.end() ? nullptr : &records_[it->second];
}

std::vector<OpsDocument> OpsCorpus::FindPublications(const std::string& number, char kind) const {
  std::vector<OpsDocument> found;
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

const OpsRecord* OpsCorpus::FindForeign(const std::string& country, const std::string& number) const {
  auto it = byForeign_.find(country + number);
  return it == byForeign_.end() ? nullptr : &records_[it->second];
}

std::vector<const OpsRecord*> OpsCorpus::Family(long familyId) const {
  std::vector<const OpsRecord*> members;
  auto [from, to] = byFamily_.equal_range(familyId);
  for (auto it = from; it != to; ++it) members.push_back(&records_[it->second]);
  std::sort(members.begin(), members.end());
  return members;
}
