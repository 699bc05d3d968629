#include "demosite/corpus.h"

#include <iconv.h>

#include <cstdint>
#include <set>
#include <stdexcept>

namespace {

std::string Convert(const char* to, const char* from, const std::string& text) {
  iconv_t cd = iconv_open(to, from);
  if (cd == (iconv_t)-1) throw std::runtime_error("iconv has no GBK");
  std::string out(text.size() * 2 + 16, '\0');
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  char* dst = out.data();
  size_t outLeft = out.size();
  size_t rc = iconv(cd, &in, &inLeft, &dst, &outLeft);
  iconv_close(cd);
  // The corpus texts are literals of this file: a failure is a typo, not an input.
  if (rc == (size_t)-1) throw std::runtime_error(std::string("corpus text does not convert to ") + to + ": " + text);
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace

std::string ToGbk(const std::string& utf8) { return Convert("GBK", "UTF-8", utf8); }

std::string FromGbk(const std::string& gbk) { return Convert("UTF-8", "GBK", gbk); }

char CheckDigitOf(const std::string& number) {
  static const int weights[] = {2, 3, 4, 5, 6, 7, 8, 9};
  int sum = 0;
  for (size_t i = 0; i < number.size(); ++i) sum += (number[i] - '0') * weights[i % 8];
  int c = sum % 11;
  return c == 10 ? 'X' : char('0' + c);
}

namespace {

// A fixed-seed generator so every start serves the same corpus.
class Rng {
 public:
  explicit Rng(uint64_t seed) : s_(seed) {}
  uint64_t Next() {
    uint64_t z = (s_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  int Below(int n) { return int(Next() % uint64_t(n)); }
  template <class T, size_t N>
  const T& Pick(const T (&items)[N]) { return items[Below(int(N))]; }

 private:
  uint64_t s_;
};

struct Domain {
  const char* core;   // the thing the patent is about
  const char* ipc;
  const char* parts[4];
  int weight;
};

// Battery topics carry more weight so that "电池" finds well over 100 records.
const Domain kDomains[] = {
    {"锂离子电池", "H01M10/0525", {"正极片", "负极片", "隔膜", "电解液"}, 3},
    {"电池隔膜", "H01M2/16", {"基膜", "陶瓷涂层", "粘结剂", "微孔层"}, 2},
    {"太阳能电池组件", "H01L31/048", {"电池片", "玻璃盖板", "背板", "铝边框"}, 2},
    {"燃料电池", "H01M8/10", {"质子交换膜", "双极板", "气体扩散层", "催化剂层"}, 2},
    {"蓄电池极板", "H01M4/14", {"板栅", "活性物质", "极耳", "涂膏层"}, 2},
    {"电池管理系统", "H02J7/00", {"采样电路", "均衡电路", "控制器", "通信接口"}, 2},
    {"自行车刹车装置", "B62L1/00", {"刹车片", "拉索", "手柄", "回位弹簧"}, 1},
    {"洗衣机", "D06F37/20", {"内筒", "外筒", "减振器", "电机"}, 1},
    {"空调器", "F24F1/00", {"压缩机", "冷凝器", "蒸发器", "贯流风扇"}, 1},
    {"电冰箱", "F25D11/00", {"箱体", "门体", "蒸发器", "温控器"}, 1},
    {"数据传输方法", "H04L29/06", {"发送端", "接收端", "数据包", "校验码"}, 1},
    {"图像处理装置", "G06T5/00", {"图像传感器", "处理器", "存储器", "显示屏"}, 1},
    {"中药组合物", "A61K36/00", {"黄芪", "当归", "甘草", "丹参"}, 1},
    {"水泥", "C04B7/00", {"熟料", "石膏", "矿渣", "粉煤灰"}, 1},
    {"播种机", "A01C7/00", {"种子箱", "排种器", "开沟器", "机架"}, 1},
    {"发动机", "F02B75/00", {"气缸", "活塞", "曲轴", "火花塞"}, 1},
    {"汽车座椅", "B60N2/00", {"靠背", "坐垫", "滑轨", "调角器"}, 1},
    {"手机", "H04M1/02", {"壳体", "显示屏", "电路板", "天线"}, 1},
    {"液晶显示器", "G02F1/1333", {"液晶面板", "背光模组", "偏光片", "驱动电路"}, 1},
    {"污水处理装置", "C02F9/00", {"格栅", "沉淀池", "曝气池", "过滤器"}, 1},
    {"绿茶", "A23F3/06", {"鲜叶", "杀青机", "揉捻机", "烘干机"}, 1},
    {"照明灯具", "F21S8/00", {"灯罩", "光源", "散热器", "灯座"}, 1},
    {"数控机床", "B23Q1/00", {"主轴", "工作台", "导轨", "刀架"}, 1},
    {"输液器", "A61M5/14", {"滴斗", "输液管", "流量调节器", "针头"}, 1},
};

const char* kInventionSuffixes[] = {"", "及其制备方法", "的制造方法", "的改进结构", "用的连接装置", "控制系统"};
const char* kUtilitySuffixes[] = {"", "的改进结构", "用的连接装置", "的固定装置"};
const char* kLocarno[] = {"14-03", "26-05", "12-11", "07-02", "09-01", "06-01", "13-02", "24-02"};
const char* kEffects[] = {
    "该结构简单，成本低廉，使用方便。",
    "提高了生产效率，降低了能耗。",
    "具有性能稳定、使用寿命长的优点。",
    "结构简单，安装方便，适于推广应用。",
    "有效解决了现有技术中效率低下的问题。",
};
const char* kCities[] = {"北京", "上海", "深圳", "广州", "杭州", "南京", "武汉", "成都", "天津", "西安"};
const char* kNames[] = {"华创", "新能", "中科", "东方", "金达", "宏远", "海天", "三元", "天成", "精工"};
const char* kTrades[] = {"科技", "电子", "机械", "能源", "化工", "电器"};
const char* kUniversities[] = {"清华大学", "浙江大学", "上海交通大学", "华中科技大学", "哈尔滨工业大学"};
const char* kPeople[] = {"张伟", "王芳", "李强", "刘洋", "陈静", "杨军", "赵磊", "黄敏"};
// Latest legal statuses; the site writes some with markup inside the cell.
const char* kStatuses[] = {
    "授权",
    "实质审查的生效",
    "公开",
    "<font color=\"#FF0000\">专利权的终止</font><br>未缴年费专利权终止",
    "发明专利申请公布后的视为撤回",
    "授权<br>专利权人的姓名或者名称、地址的变更",
};

std::string Patentee(Rng& rng) {
  switch (rng.Below(6)) {
    case 0: return rng.Pick(kUniversities);
    case 1: return rng.Pick(kPeople);
    case 2: return std::string(rng.Pick(kCities)) + rng.Pick(kNames) + rng.Pick(kTrades) + "股份有限公司";
    default: return std::string(rng.Pick(kCities)) + rng.Pick(kNames) + rng.Pick(kTrades) + "有限公司";
  }
}

// Fills the texts of a record (UTF-8) from its domain; converted to GBK at the end.
DemoRecord Compose(Rng& rng, const Domain& d, int type, const std::string& suffixOverride, bool useOverride) {
  DemoRecord r;
  r.type = type;
  r.core = d.core;
  r.parts.assign(std::begin(d.parts), std::end(d.parts));
  bool design = type == 3;
  bool utility = type == 2 || type == 9;
  std::string suffix = useOverride ? suffixOverride
                                   : (utility ? rng.Pick(kUtilitySuffixes) : rng.Pick(kInventionSuffixes));
  r.title = design ? std::string(d.core) : std::string("一种") + d.core + suffix;
  if (design) {
    r.ipc = rng.Pick(kLocarno);
    r.abstract = "";
    r.claim = "";
  } else {
    r.ipc = d.ipc;
    if (rng.Below(4) == 0) r.ipc = r.ipc.substr(0, r.ipc.find('/'));  // main group only
    std::string kind = utility ? "本实用新型" : "本发明";
    r.abstract = kind + "公开了" + r.title + "，包括" + d.parts[0] + "、" + d.parts[1] + "和" + d.parts[2] +
                 "，所述" + d.parts[0] + "与" + d.parts[1] + "相连接。" + kind + rng.Pick(kEffects);
    r.claim = std::string("1．一种") + d.core + "，其特征在于：包括" + d.parts[0] + "、" + d.parts[1] + "和" +
              d.parts[3] + "，所述" + d.parts[1] + "设置在" + d.parts[0] + "上。";
  }
  r.patentee = Patentee(rng);
  if (rng.Below(5) == 0) r.patentee += "；" + Patentee(rng);
  if (design || utility) {
    r.status = rng.Below(3) ? kStatuses[0] : kStatuses[3];
  } else {
    r.status = rng.Pick(kStatuses);
  }
  r.pages = 1 + rng.Below(40);
  return r;
}

void ToGbkInPlace(DemoRecord& r) {
  for (std::string* s : {&r.title, &r.abstract, &r.claim, &r.patentee, &r.ipc, &r.status, &r.statusDate, &r.core})
    *s = ToGbk(*s);
  for (std::string& part : r.parts) part = ToGbk(part);
}

}  // namespace

DemoCorpus::DemoCorpus(int pages) {
  Rng rng(20080106);
  std::set<std::string> used;
  auto add = [&](DemoRecord r, const std::string& number) {
    r.number = number;
    r.check = CheckDigitOf(number);
    used.insert(number);
    int year = number.size() == 12 ? std::stoi(number.substr(0, 4))
                                   : (number[0] >= '8' ? 1900 : 2000) + std::stoi(number.substr(0, 2));
    char date[32];
    snprintf(date, sizeof date, "%04d.%02d.%02d", year + 1 + rng.Below(3), 1 + rng.Below(12), 1 + rng.Below(28));
    r.statusDate = date;
    // Granted inventions list their earlier publication first on the detail page.
    bool invention = r.type == 1 || r.type == 8;
    if (invention && r.status.rfind("授权", 0) == 0) r.firstPages = 1 + rng.Below(20);
    ToGbkInPlace(r);
    if (pages > 0) r.pages = pages;
    records_.push_back(std::move(r));
  };

  // Fixed records the README and the tests name.
  struct Anchor {
    const char* number; int type; int domain; const char* suffix; int pages; const char* status;
  };
  const Anchor anchors[] = {
      {"200510012345", 1, 0, "及其制备方法", 12, "授权"},
      {"02123456", 1, 1, "", 3, kStatuses[3]},
      {"200630012345", 3, 17, "", 2, "授权"},
      {"03234567", 2, 6, "", 5, "授权"},
      {"200880001234", 8, 10, "", 40, "实质审查的生效"},
      {"01900123", 9, 7, "的固定装置", 1, "授权"},
  };
  for (const Anchor& a : anchors) {
    DemoRecord r = Compose(rng, kDomains[a.domain], a.type, a.suffix, true);
    r.pages = a.pages;
    r.status = a.status;
    if (a.type != 3) r.ipc = kDomains[a.domain].ipc;
    add(std::move(r), a.number);
  }

  int totalWeight = 0;
  for (const Domain& d : kDomains) totalWeight += d.weight;
  const int types[] = {1, 1, 1, 1, 2, 2, 2, 3, 3, 8, 9};
  while (records_.size() < 600) {
    int type = types[rng.Below(int(std::size(types)))];
    int w = rng.Below(totalWeight);
    const Domain* d = kDomains;
    while (w >= d->weight) w -= (d++)->weight;
    char number[32];
    if (rng.Below(2)) {
      int year = (88 + rng.Below(16)) % 100;  // 1988 .. 2003
      snprintf(number, sizeof number, "%02d%d%05d", year, type, rng.Below(100000));
    } else {
      snprintf(number, sizeof number, "%04d%d%07d", 2004 + rng.Below(5), type, rng.Below(200000));
    }
    if (used.count(number)) continue;
    add(Compose(rng, *d, type, "", false), number);
  }

  // Past the generated corpus, so its records and counts stay as they were: records that
  // share one title, and one whose title is 90 characters long (too long for a file name
  // in UTF-8). Their words appear in no other record.
  struct Extra {
    const char* number; int type; const char* title; int pages;
  };
  const char* kLongTitle =
      "一种具有自动调节伞面角度功能并且能够在低温高湿以及强风暴雨等恶劣天气条件下长期稳定可靠使用的可折叠收纳式"
      "双层防风防紫外线遮阳雨伞及其伞骨连接结构和制造工艺以及配套的手提收纳袋与挂钩";
  const Extra extras[] = {
      {"201120011111", 2, "一种折叠伞", 2},
      {"201120022222", 2, "一种折叠伞", 3},
      {"04256789", 2, "一种折叠伞", 4},
      {"201210033333", 1, kLongTitle, 2},
  };
  for (const Extra& e : extras) {
    DemoRecord r;
    r.type = e.type;
    r.title = e.title;
    r.ipc = "A45B19/00";
    r.abstract = std::string(e.type == 2 ? "本实用新型" : "本发明") + "公开了" + e.title + "，伞骨可收拢。";
    r.claim = std::string("1．") + e.title + "，其特征在于：包括伞骨和伞面。";
    r.patentee = "杭州天堂伞业有限公司";
    r.core = "折叠伞";
    r.parts = {"伞骨", "伞面", "伞柄", "收纳袋"};
    r.status = "授权";
    r.pages = e.pages;
    add(std::move(r), e.number);
  }
}

const DemoRecord* DemoCorpus::Find(const std::string& number) const {
  for (const DemoRecord& r : records_)
    if (r.number == number) return &r;
  return nullptr;
}

std::vector<DemoRecord> DemoCorpus::BatteryRecords(int count) {
  // A seed of their own, so the corpus above is the same whatever the count.
  Rng rng(20100401);
  const int domains[] = {0, 1, 4};  // every one under H01M with "电池" in its name
  const int types[] = {1, 1, 1, 2};
  std::vector<DemoRecord> records;
  for (int i = 0; i < count; ++i) {
    const Domain& d = kDomains[rng.Pick(domains)];
    DemoRecord r = Compose(rng, d, rng.Pick(types), "", false);
    ToGbkInPlace(r);
    records.push_back(std::move(r));
  }
  return records;
}
