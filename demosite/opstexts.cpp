#include "demosite/opstexts.h"

#include <cstring>
#include <vector>

namespace {

struct Pair {
  const char* zh;
  const char* en;
};

// What the corpus's records are about, and their parts.
const Pair kThings[] = {
    {"锂离子电池", "lithium ion battery"}, {"电池隔膜", "battery separator"},
    {"太阳能电池组件", "solar cell module"}, {"燃料电池", "fuel cell"},
    {"蓄电池极板", "storage battery plate"}, {"电池管理系统", "battery management system"},
    {"自行车刹车装置", "bicycle brake device"}, {"洗衣机", "washing machine"},
    {"空调器", "air conditioner"}, {"电冰箱", "refrigerator"},
    {"数据传输方法", "data transmission method"}, {"图像处理装置", "image processing device"},
    {"中药组合物", "traditional Chinese medicine composition"}, {"水泥", "cement"},
    {"播种机", "seeder"}, {"发动机", "engine"},
    {"汽车座椅", "car seat"}, {"手机", "mobile phone"},
    {"液晶显示器", "liquid crystal display"}, {"污水处理装置", "sewage treatment device"},
    {"绿茶", "green tea"}, {"照明灯具", "lighting fixture"},
    {"数控机床", "numerically controlled machine tool"}, {"输液器", "infusion set"},
    {"正极片", "positive electrode sheet"}, {"负极片", "negative electrode sheet"},
    {"隔膜", "separator"}, {"电解液", "electrolyte"},
    {"基膜", "base film"}, {"陶瓷涂层", "ceramic coating"},
    {"粘结剂", "binder"}, {"微孔层", "microporous layer"},
    {"电池片", "cell"}, {"玻璃盖板", "glass cover plate"},
    {"背板", "back sheet"}, {"铝边框", "aluminium frame"},
    {"质子交换膜", "proton exchange membrane"}, {"双极板", "bipolar plate"},
    {"气体扩散层", "gas diffusion layer"}, {"催化剂层", "catalyst layer"},
    {"板栅", "grid"}, {"活性物质", "active material"},
    {"极耳", "tab"}, {"涂膏层", "paste layer"},
    {"采样电路", "sampling circuit"}, {"均衡电路", "balancing circuit"},
    {"控制器", "controller"}, {"通信接口", "communication interface"},
    {"刹车片", "brake pad"}, {"拉索", "cable"},
    {"手柄", "handle"}, {"回位弹簧", "return spring"},
    {"内筒", "inner drum"}, {"外筒", "outer tub"},
    {"减振器", "damper"}, {"电机", "motor"},
    {"压缩机", "compressor"}, {"冷凝器", "condenser"},
    {"蒸发器", "evaporator"}, {"贯流风扇", "cross-flow fan"},
    {"箱体", "cabinet"}, {"门体", "door"},
    {"温控器", "thermostat"}, {"发送端", "sending end"},
    {"接收端", "receiving end"}, {"数据包", "data packet"},
    {"校验码", "check code"}, {"图像传感器", "image sensor"},
    {"处理器", "processor"}, {"存储器", "memory"},
    {"显示屏", "display screen"}, {"黄芪", "astragalus root"},
    {"当归", "angelica root"}, {"甘草", "liquorice root"},
    {"丹参", "salvia root"}, {"熟料", "clinker"},
    {"石膏", "gypsum"}, {"矿渣", "slag"},
    {"粉煤灰", "fly ash"}, {"种子箱", "seed box"},
    {"排种器", "seed meter"}, {"开沟器", "furrow opener"},
    {"机架", "frame"}, {"气缸", "cylinder"},
    {"活塞", "piston"}, {"曲轴", "crankshaft"},
    {"火花塞", "spark plug"}, {"靠背", "backrest"},
    {"坐垫", "seat cushion"}, {"滑轨", "slide rail"},
    {"调角器", "recliner"}, {"壳体", "housing"},
    {"电路板", "circuit board"}, {"天线", "antenna"},
    {"液晶面板", "liquid crystal panel"}, {"背光模组", "backlight module"},
    {"偏光片", "polarizer"}, {"驱动电路", "drive circuit"},
    {"格栅", "grille"}, {"沉淀池", "sedimentation tank"},
    {"曝气池", "aeration tank"}, {"过滤器", "filter"},
    {"鲜叶", "fresh leaves"}, {"杀青机", "fixation machine"},
    {"揉捻机", "rolling machine"}, {"烘干机", "dryer"},
    {"灯罩", "lampshade"}, {"光源", "light source"},
    {"散热器", "heat sink"}, {"灯座", "lamp holder"},
    {"主轴", "spindle"}, {"工作台", "worktable"},
    {"导轨", "guide rail"}, {"刀架", "tool holder"},
    {"滴斗", "drip chamber"}, {"输液管", "infusion tube"},
    {"流量调节器", "flow regulator"}, {"针头", "needle"},
};

// Title endings: "%s" stands for the thing.
const Pair kTitleForms[] = {
    {"", "%s"},
    {"及其制备方法", "%s and preparation method thereof"},
    {"的制造方法", "manufacturing method of %s"},
    {"的改进结构", "improved structure of %s"},
    {"用的连接装置", "connecting device for %s"},
    {"控制系统", "%s control system"},
    {"的固定装置", "fixing device for %s"},
};

// Titles and abstracts outside the generated pattern.
const Pair kWholeTexts[] = {
    {"一种折叠伞", "Folding umbrella"},
    {"一种具有自动调节伞面角度功能并且能够在低温高湿以及强风暴雨等恶劣天气条件下长期稳定可靠使用的可折叠收纳式"
     "双层防风防紫外线遮阳雨伞及其伞骨连接结构和制造工艺以及配套的手提收纳袋与挂钩",
     "Foldable double-layer windproof and UV-proof sunshade umbrella with automatic canopy angle adjustment for "
     "long-term reliable use in low temperature, high humidity, strong wind and rainstorm, its rib connection "
     "structure, manufacturing process, and matching handbag and hook"},
    {"一种三折•自动折叠伞", "Three-fold automatic folding umbrella"},
};

const Pair kEffects[] = {
    {"该结构简单，成本低廉，使用方便。", "The structure is simple, the cost is low and the use is convenient."},
    {"提高了生产效率，降低了能耗。", "The production efficiency is improved and the energy consumption is reduced."},
    {"具有性能稳定、使用寿命长的优点。", "It has the advantages of stable performance and long service life."},
    {"结构简单，安装方便，适于推广应用。",
     "The structure is simple, the installation is convenient, and it is suitable for wide application."},
    {"有效解决了现有技术中效率低下的问题。", "The problem of low efficiency in the prior art is effectively solved."},
};

// Romanised name parts, as the offices' name lists write them.
const Pair kNameParts[] = {
    {"清华大学", "UNIV TSINGHUA"}, {"浙江大学", "UNIV ZHEJIANG"},
    {"上海交通大学", "UNIV SHANGHAI JIAOTONG"}, {"华中科技大学", "UNIV HUAZHONG SCIENCE TECH"},
    {"哈尔滨工业大学", "HARBIN INST OF TECHNOLOGY"}, {"张伟", "ZHANG WEI"},
    {"王芳", "WANG FANG"}, {"李强", "LI QIANG"},
    {"刘洋", "LIU YANG"}, {"陈静", "CHEN JING"},
    {"杨军", "YANG JUN"}, {"赵磊", "ZHAO LEI"},
    {"黄敏", "HUANG MIN"}, {"刘䶮", "LIU YAN"},
    {"王𠀀", "WANG HE"}, {"约翰•史密斯", "SMITH JOHN"},
    {"北京", "BEIJING"}, {"上海", "SHANGHAI"},
    {"深圳", "SHENZHEN"}, {"广州", "GUANGZHOU"},
    {"杭州", "HANGZHOU"}, {"南京", "NANJING"},
    {"武汉", "WUHAN"}, {"成都", "CHENGDU"},
    {"天津", "TIANJIN"}, {"西安", "XIAN"},
    {"华创", "HUACHUANG"}, {"新能", "XINNENG"},
    {"中科", "ZHONGKE"}, {"东方", "DONGFANG"},
    {"金达", "JINDA"}, {"宏远", "HONGYUAN"},
    {"海天", "HAITIAN"}, {"三元", "SANYUAN"},
    {"天成", "TIANCHENG"}, {"精工", "JINGGONG"},
    {"科技", "TECH"}, {"电子", "ELECTRONICS"},
    {"机械", "MACHINERY"}, {"能源", "ENERGY"},
    {"化工", "CHEMICAL"}, {"电器", "ELECTRIC APPLIANCE"},
    {"天堂", "TIANTANG"}, {"伞业", "UMBRELLA"},
    {"周涛", "ZHOU TAO"}, {"吴刚", "WU GANG"},
    {"孙丽", "SUN LI"}, {"马超", "MA CHAO"},
    {"郑华", "ZHENG HUA"}, {"何平", "HE PING"},
    {"重庆", "CHONGQING"}, {"长江", "CHANGJIANG"},
    {"变速器", "TRANSMISSION"},
    {"股份有限公司", "CO LTD"}, {"有限公司", "CO LTD"},
};

bool StartsWith(const std::string& s, size_t pos, const char* prefix) {
  return s.compare(pos, strlen(prefix), prefix) == 0;
}

template <size_t N>
const char* Lookup(const Pair (&table)[N], const std::string& zh) {
  for (const Pair& p : table)
    if (zh == p.zh) return p.en;
  return nullptr;
}

// The longest entry of the table that stands at pos; nullptr when none does.
template <size_t N>
const Pair* LongestAt(const Pair (&table)[N], const std::string& s, size_t pos) {
  const Pair* best = nullptr;
  for (const Pair& p : table)
    if (StartsWith(s, pos, p.zh) && (!best || strlen(p.zh) > strlen(best->zh))) best = &p;
  return best;
}

std::string Capitalised(std::string s) {
  if (!s.empty() && s[0] >= 'a' && s[0] <= 'z') s[0] = char(s[0] - 32);
  return s;
}

std::string LowerFirst(std::string s) {
  if (s.size() > 1 && s[0] >= 'A' && s[0] <= 'Z' && !(s[1] >= 'A' && s[1] <= 'Z')) s[0] = char(s[0] + 32);
  return s;
}

// Splits "A、B和C" into its items.
std::vector<std::string> Items(const std::string& list) {
  std::vector<std::string> items;
  size_t pos = 0;
  while (pos <= list.size()) {
    size_t a = list.find("、", pos), b = list.find("和", pos);
    size_t end = std::min(a, b);
    items.push_back(list.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
    if (end == std::string::npos) break;
    pos = end + 3;  // both separators are three bytes of UTF-8
  }
  return items;
}

}  // namespace

std::string EnglishTitle(const std::string& title) {
  if (const char* whole = Lookup(kWholeTexts, title)) return whole;
  size_t pos = StartsWith(title, 0, "一种") ? strlen("一种") : 0;
  const Pair* thing = LongestAt(kThings, title, pos);
  if (!thing) return "";
  const char* form = Lookup(kTitleForms, title.substr(pos + strlen(thing->zh)));
  if (!form) return "";
  std::string out = form;
  out.replace(out.find("%s"), 2, thing->en);
  return Capitalised(out);
}

std::string EnglishAbstract(const std::string& abstract, const std::string& englishTitle) {
  if (abstract.empty() || englishTitle.empty()) return "";
  const char* subject = StartsWith(abstract, 0, "本发明") ? "The invention" : "The utility model";
  // "<subject>公开了<title>，包括A、B和C，所述A与B相连接。<subject><effect>"
  size_t list = abstract.find("，包括"), said = abstract.find("，所述"), joined = abstract.find("相连接。");
  if (list == std::string::npos || said == std::string::npos || joined == std::string::npos) {
    // The umbrella records: "<subject>公开了<title>，伞骨可收拢。"
    if (abstract.find("伞骨可收拢") == std::string::npos) return "";
    return std::string(subject) + " discloses " + LowerFirst(englishTitle) + " whose ribs can be folded.";
  }
  list += strlen("，包括");
  std::vector<std::string> parts = Items(abstract.substr(list, said - list));
  std::vector<std::string> en;
  for (const std::string& p : parts) {
    const char* e = Lookup(kThings, p);
    if (!e) return "";
    en.push_back(e);
  }
  if (en.size() != 3) return "";
  size_t effectAt = joined + strlen("相连接。");
  for (const char* s : {"本发明", "本实用新型"})
    if (StartsWith(abstract, effectAt, s)) effectAt += strlen(s);
  const char* effect = Lookup(kEffects, abstract.substr(effectAt));
  if (!effect) return "";
  return std::string(subject) + " discloses " + LowerFirst(englishTitle) + ", comprising " + en[0] + ", " + en[1] +
         " and " + en[2] + ", the " + en[0] + " being connected with the " + en[1] + ". " + effect;
}

std::string LatinName(const std::string& name) {
  std::string out;
  for (size_t pos = 0; pos < name.size();) {
    const Pair* part = LongestAt(kNameParts, name, pos);
    if (!part) return "";
    if (!out.empty()) out += ' ';
    out += part->en;
    pos += strlen(part->zh);
  }
  return out;
}
