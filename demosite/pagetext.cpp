#include "demosite/pagetext.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <tuple>

namespace pagetext {

namespace {

const char* const kFontDirs[] = {"/usr/share/fonts/opentype/noto/", "/usr/share/fonts/noto-cjk/",
                                 "/usr/share/fonts/google-noto-cjk/"};
const char kFamily[] = "Noto Serif CJK SC";

// Whole-character UTF-8 decoding of the site's own texts.
std::vector<char32_t> CodePoints(const std::string& s) {
  std::vector<char32_t> out;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    char32_t cp = n == 1 ? c : c & (0xFF >> (n + 1));
    for (int k = 1; k < n && i + size_t(k) < s.size(); ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    out.push_back(cp);
    i += size_t(n);
  }
  return out;
}

std::string Utf8(char32_t cp) {
  std::string s;
  if (cp < 0x80) {
    s += char(cp);
  } else if (cp < 0x800) {
    s += char(0xC0 | (cp >> 6));
    s += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    s += char(0xE0 | (cp >> 12));
    s += char(0x80 | ((cp >> 6) & 0x3F));
    s += char(0x80 | (cp & 0x3F));
  } else {
    s += char(0xF0 | (cp >> 18));
    s += char(0x80 | ((cp >> 12) & 0x3F));
    s += char(0x80 | ((cp >> 6) & 0x3F));
    s += char(0x80 | (cp & 0x3F));
  }
  return s;
}

struct Glyph {
  int left = 0, top = 0, width = 0, rows = 0;
  int advance = 0;
  std::vector<uint8_t> ink;  // width x rows, 1 = black
};

// The two faces and their glyphs, made once; FreeType faces are not for two threads at
// once, so every use holds FontsLock().
class Fonts {
 public:
  Fonts() {
    if (FT_Init_FreeType(&lib_)) throw std::runtime_error("FreeType does not start");
    regular_ = Open("NotoSerifCJK-Regular.ttc");
    bold_ = Open("NotoSerifCJK-Bold.ttc");
  }
  ~Fonts() {
    if (regular_) FT_Done_Face(regular_);
    if (bold_) FT_Done_Face(bold_);
    FT_Done_FreeType(lib_);
  }
  Fonts(const Fonts&) = delete;
  Fonts& operator=(const Fonts&) = delete;

  const Glyph& Get(char32_t cp, int px, bool bold) {
    auto key = std::make_tuple(cp, px, bold);
    auto it = cache_.find(key);
    if (it != cache_.end()) return it->second;
    FT_Face face = bold ? bold_ : regular_;
    Glyph g;
    if (FT_Set_Pixel_Sizes(face, 0, FT_UInt(px)) == 0 && FT_Load_Char(face, FT_ULong(cp), FT_LOAD_RENDER) == 0) {
      const FT_Bitmap& bm = face->glyph->bitmap;
      g.left = face->glyph->bitmap_left;
      g.top = face->glyph->bitmap_top;
      g.width = int(bm.width);
      g.rows = int(bm.rows);
      g.advance = int(face->glyph->advance.x >> 6);
      g.ink.resize(size_t(g.width) * size_t(g.rows));
      // Anti-aliased coverage, cut at half: a 1-bit page as a scanner would give it.
      for (int y = 0; y < g.rows; ++y)
        for (int x = 0; x < g.width; ++x) g.ink[size_t(y) * g.width + x] = bm.buffer[y * bm.pitch + x] >= 128;
    }
    return cache_.emplace(key, std::move(g)).first->second;
  }

  int Width(const std::vector<char32_t>& text, int px, bool bold) {
    int w = 0;
    for (char32_t c : text) w += Get(c, px, bold).advance;
    return w;
  }

 private:
  FT_Face Open(const std::string& file) {
    for (const char* dir : kFontDirs) {
      const std::string path = std::string(dir) + file;
      FT_Face probe = nullptr;
      if (FT_New_Face(lib_, path.c_str(), -1, &probe)) continue;
      const long faces = probe->num_faces;
      FT_Done_Face(probe);
      for (long i = 0; i < faces; ++i) {
        FT_Face face = nullptr;
        if (FT_New_Face(lib_, path.c_str(), i, &face)) continue;
        if (face->family_name && std::string(face->family_name) == kFamily) return face;
        FT_Done_Face(face);
      }
    }
    throw std::runtime_error(std::string("the font ") + kFamily + " is missing (Debian package fonts-noto-cjk)");
  }

  FT_Library lib_ = nullptr;
  FT_Face regular_ = nullptr;
  FT_Face bold_ = nullptr;
  std::map<std::tuple<char32_t, int, bool>, Glyph> cache_;
};

std::mutex& FontsLock() {
  static std::mutex lock;
  return lock;
}

// Call with FontsLock() held.
Fonts& SharedFonts() {
  static std::unique_ptr<Fonts> fonts;
  if (!fonts) fonts = std::make_unique<Fonts>();
  return *fonts;
}

// A paragraph before it is broken into lines.
struct Block {
  std::string text;
  double pt = 12;
  bool bold = false;
  bool center = false;
  int indent = 0;    // characters of the first line's indent
  double gap = 0.4;  // space above, in lines of the block's size
};

// A line never starts with these: they stay at the end of the line before.
bool ClosesLine(char32_t c) {
  static const std::u32string kClosing = U"，。、；：）》”’！？";
  return kClosing.find(c) != std::u32string::npos;
}

// A fixed-seed sequence per page, so every start draws the same pages.
class Seq {
 public:
  explicit Seq(uint64_t seed) : s_(seed * 0x9E3779B97F4A7C15ULL + 1) {}
  int Below(int n) {
    s_ ^= s_ << 13;
    s_ ^= s_ >> 7;
    s_ ^= s_ << 17;
    return int(s_ % uint64_t(n));
  }

 private:
  uint64_t s_;
};

uint64_t SeedOf(const DemoRecord& r, int doc) {
  uint64_t seed = uint64_t(doc);
  for (char c : r.number) seed = seed * 131 + uint64_t(c);
  return seed;
}

// The record's texts in UTF-8, with fallbacks for what the corpus leaves empty.
struct Texts {
  std::string kind;  // 本发明 / 本实用新型
  std::string title, abstract, claim, patentee, ipc, core;
  std::vector<std::string> parts;
};

Texts TextsOf(const DemoRecord& r) {
  Texts t;
  const bool utility = r.type == 2 || r.type == 9;
  t.kind = utility ? "本实用新型" : "本发明";
  t.title = FromGbk(r.title);
  t.abstract = FromGbk(r.abstract);
  t.claim = FromGbk(r.claim);
  t.patentee = FromGbk(r.patentee);
  t.ipc = FromGbk(r.ipc);
  t.core = r.core.empty() ? "装置" : FromGbk(r.core);
  for (const std::string& p : r.parts) t.parts.push_back(FromGbk(p));
  const char* fallback[] = {"壳体", "支架", "连接件", "固定座"};
  for (size_t i = t.parts.size(); i < 4; ++i) t.parts.push_back(fallback[i]);
  return t;
}

std::string Replace(std::string s, const Texts& t) {
  const std::pair<const char*, const std::string*> keys[] = {
      {"{kind}", &t.kind}, {"{title}", &t.title}, {"{core}", &t.core}, {"{p0}", &t.parts[0]},
      {"{p1}", &t.parts[1]}, {"{p2}", &t.parts[2]}, {"{p3}", &t.parts[3]}};
  for (const auto& [key, value] : keys)
    for (size_t at; (at = s.find(key)) != std::string::npos;) s.replace(at, std::string(key).size(), *value);
  return s;
}

std::string Padded(int n, int width) {
  std::string s = std::to_string(n);
  return std::string(size_t(std::max(0, width - int(s.size()))), '0') + s;
}

std::vector<Block> FrontPage(const DemoRecord& r, const Texts& t, int doc) {
  const bool design = r.type == 3;
  const bool utility = r.type == 2 || r.type == 9;
  std::string kindLine = design ? "(12)外观设计专利" : utility ? "(12)实用新型专利"
                                                    : doc == 1 && r.firstPages > 0 ? "(12)发明专利"
                                                                                   : "(12)发明专利申请";
  Seq seq(SeedOf(r, doc));
  const std::string year = r.number.size() == 12 ? r.number.substr(0, 4)
                                                 : std::string(r.number[0] >= '8' ? "19" : "20") + r.number.substr(0, 2);
  const std::string filed = year + "." + Padded(1 + seq.Below(12), 2) + "." + Padded(1 + seq.Below(28), 2);
  std::vector<Block> b;
  b.push_back({"(19)中华人民共和国国家知识产权局", 16, true, true, 0, 0});
  b.push_back({kindLine, 15, true, true, 0, 0.6});
  b.push_back({"(21)申请号 " + r.number + "." + r.check, 11, false, false, 0, 1.2});
  b.push_back({"(22)申请日 " + filed, 11});
  b.push_back({std::string(design || doc == 1 ? "(73)专利权人 " : "(71)申请人 ") + t.patentee, 11});
  b.push_back({std::string(design ? "(51)LOC(8)Cl. " : "(51)Int.Cl. ") + t.ipc, 11});
  b.push_back({std::string(design ? "(54)使用外观设计的产品名称 " : utility ? "(54)实用新型名称 " : "(54)发明名称 ") + t.title,
               11, false, false, 0, 0.4});
  if (design) {
    b.push_back({"(57)简要说明", 12, true, false, 0, 1.0});
    b.push_back({Replace("1．本外观设计产品的名称：{title}。2．本外观设计产品的用途：用于日常生活。"
                         "3．本外观设计产品的设计要点：在于形状。4．最能表明设计要点的图片或照片：主视图。",
                         t),
                 12, false, false, 2});
  } else {
    b.push_back({"(57)摘要", 12, true, false, 0, 1.0});
    b.push_back({t.abstract, 12, false, false, 2});
  }
  return b;
}

std::vector<Block> ClaimsPage(const Texts& t) {
  std::vector<Block> b;
  b.push_back({"权利要求书", 16, true, true, 0, 0});
  b.push_back({t.claim, 12, false, false, 2, 0.8});
  const char* dependent[] = {
      "2．根据权利要求1所述的{core}，其特征在于：所述{p0}的一侧设置有{p2}，所述{p2}与{p0}固定连接。",
      "3．根据权利要求2所述的{core}，其特征在于：所述{p2}与{p1}之间通过{p3}相连接。",
      "4．根据权利要求1所述的{core}，其特征在于：所述{p1}的厚度为0.5～2毫米。",
      "5．根据权利要求1至4任一项所述的{core}，其特征在于：所述{p3}采用耐腐蚀材料制成。",
  };
  for (const char* claim : dependent) b.push_back({Replace(claim, t), 12, false, false, 2});
  return b;
}

// The description's fixed opening sections ("#" a heading), then its embodiments.
const char* const kOpening[] = {
    "#技术领域",
    "{kind}涉及{core}技术领域，具体涉及{title}。",
    "#背景技术",
    "现有的{core}通常由{p0}和{p1}组成，{p0}与{p1}之间的连接不够可靠，长期使用后容易出现松动和磨损，"
    "影响{core}的使用效果，同时维修和更换{p1}也较为不便。",
    "因此，需要一种结构合理、连接可靠并且便于维护的{core}，以解决上述问题。",
    "#发明内容",
    "{kind}的目的在于提供{title}，以解决上述背景技术中提出的问题。",
    "为实现上述目的，{kind}提供如下技术方案：{title}，包括{p0}、{p1}和{p2}，所述{p0}与{p1}相连接，"
    "所述{p2}设置在{p1}的内部，所述{p3}用于固定{p2}。",
    "与现有技术相比，{kind}的有益效果是：结构简单，成本低廉，{p0}与{p1}之间连接牢固，使用寿命长，适于推广应用。",
    "#附图说明",
    "图1为{kind}的结构示意图；图2为{kind}中{p1}的局部放大示意图。",
    "#具体实施方式",
    "下面将结合{kind}实施例中的附图，对{kind}实施例中的技术方案进行清楚、完整地描述，显然，"
    "所描述的实施例仅仅是{kind}一部分实施例，而不是全部的实施例。",
};
const char* const kEmbodiment[] = {
    "如图1所示，{core}包括{p0}，{p0}的一侧设置有{p1}，{p1}的内部安装有{p2}，{p2}通过{p3}与{p0}固定连接。",
    "在使用时，操作人员首先将{p2}放置于{p0}上，然后调节{p3}的位置，使{p1}与{p2}紧密贴合，从而完成安装。",
    "所述{p1}的材料为铝合金，其厚度为1.5毫米，所述{p3}的数量为四个，均匀分布在{p0}的四周。",
    "进一步地，所述{p0}的表面涂覆有防腐层，所述防腐层的厚度为0.2毫米，可以有效延长{core}的使用寿命。",
    "工作原理：{p2}在{p3}的作用下保持稳定，{p1}对{p2}起到保护作用，从而提高了{core}的可靠性。",
    "需要说明的是，在本文中，诸如第一和第二等之类的关系术语仅仅用来将一个实体或者操作与另一个实体或操作区分开来。",
    "尽管已经示出和描述了{kind}的实施例，对于本领域的普通技术人员而言，可以理解在不脱离{kind}的原理和精神的情况下"
    "可以对这些实施例进行多种变化、修改、替换和变型。",
};
constexpr int kOpenings = int(std::size(kOpening));

// Paragraph i of the description, endless: the opening sections, then embodiments.
Block DescriptionBlock(const Texts& t, int i, Seq& seq) {
  std::string text;
  if (i < kOpenings) {
    text = kOpening[i];
  } else {
    const int k = i - kOpenings;
    text = k % 8 == 0 ? "实施例" + std::to_string(k / 8 + 1) + "：" : "";
    text += kEmbodiment[seq.Below(int(std::size(kEmbodiment)))];
  }
  if (text[0] == '#') return {text.substr(1), 12, true, false, 0, 0.6};
  return {Replace(text, t), 12, false, false, 2};
}

// A paragraph broken into lines, with the height it takes including its gap.
struct Broken {
  std::vector<Line> lines;
  int height = 0;
};

Broken Break(const Block& block, int dpi, const Area& area) {
  Fonts& fonts = SharedFonts();
  const int px = int(block.pt * dpi / 72.0 + 0.5);
  const int pitch = int(px * 1.6);
  const int width = area.right - area.left;
  std::vector<char32_t> text = CodePoints(block.text);
  Broken out;
  out.height = int(block.gap * pitch);
  size_t i = 0;
  bool first = true;
  while (i < text.size()) {
    const int indent = first ? block.indent * fonts.Get(U'中', px, block.bold).advance : 0;
    int w = indent;
    size_t end = i;
    while (end < text.size()) {
      int adv = fonts.Get(text[end], px, block.bold).advance;
      if (w + adv > width && end > i && !ClosesLine(text[end])) break;
      w += adv;
      ++end;
    }
    std::string utf8;
    for (size_t k = i; k < end; ++k) utf8 += Utf8(text[k]);
    out.height += pitch;
    Line line;
    line.utf8 = utf8;
    line.px = px;
    line.bold = block.bold;
    line.baseline = out.height - pitch / 4;
    line.x = block.center ? area.left + (width - w) / 2 : area.left + indent;
    out.lines.push_back(line);
    i = end;
    first = false;
  }
  return out;
}

// Places whole paragraphs from the top of the area while they fit; returns how many did.
size_t Place(const std::vector<Block>& blocks, int dpi, const Area& area, Layout& layout, int& y) {
  size_t placed = 0;
  for (const Block& block : blocks) {
    Broken b = Break(block, dpi, area);
    if (y + b.height > area.bottom) break;
    for (Line& line : b.lines) {
      line.baseline += y;
      layout.lines.push_back(line);
    }
    y += b.height;
    ++placed;
  }
  return placed;
}

void DrawingsPage(const DemoRecord& r, int dpi, const Area& area, Layout& layout) {
  const bool design = r.type == 3;
  int y = area.top;
  Place({{design ? "外观设计图片" : "说明书附图", 16, true, true, 0, 0}}, dpi, area, layout, y);
  // An outline figure: a body, two parts in it, and the reference numbers beside them.
  const int unit = dpi / 4;
  const int left = area.left + 2 * unit, top = y + unit;
  const Box body{left, top, 5 * unit, 6 * unit};
  const Box partA{left + unit / 2, top + unit, 2 * unit, 2 * unit};
  const Box partB{left + 3 * unit, top + 3 * unit, 3 * unit / 2, 2 * unit};
  layout.boxes = {body, partA, partB, {left + 5 * unit, top + 2 * unit, 2 * unit, unit / 2}};
  const int px = int(12.0 * dpi / 72.0 + 0.5);
  auto label = [&](const std::string& text, int x, int baseline) { layout.lines.push_back({text, x, baseline, px, false}); };
  label("1", left + 8 * unit, top + unit);
  label("2", left + 8 * unit, top + 3 * unit);
  label("3", left + 8 * unit, top + 5 * unit);
  label(design ? "主视图" : "图1", left + 2 * unit, top + 7 * unit + px);
}

}  // namespace

Sections SectionsOf(int pages) {
  Sections s;
  if (pages >= 1) s.abstract = 1;
  if (pages >= 2) s.claims = 2;
  if (pages >= 3) s.description = 3;
  if (pages >= 4) s.drawings = pages;
  return s;
}

Layout LayoutPage(const DemoRecord& record, int doc, int page, int pages, int dpi, const Area& area) {
  std::lock_guard<std::mutex> lock(FontsLock());
  Layout layout;
  const Texts t = TextsOf(record);
  int y = area.top;
  const Sections s = SectionsOf(pages);
  if (page == 1) {
    Place(FrontPage(record, t, doc), dpi, area, layout, y);
  } else if (record.type == 3 || page == s.drawings) {
    DrawingsPage(record, dpi, area, layout);
  } else if (page == s.claims) {
    Place(ClaimsPage(t), dpi, area, layout, y);
  } else {
    // Each description page holds paragraphs of its own, as many as fit: the first one
    // opens the description, later ones go on with embodiments.
    Seq seq(SeedOf(record, doc) * 1000 + uint64_t(page));
    std::vector<Block> blocks;
    int next = 0;
    if (page == s.description) {
      blocks = {{"说明书", 16, true, true, 0, 0}, {t.title, 12, false, true, 0, 0.4}};
    } else {
      next = kOpenings + (page - s.description - 1) * 8;  // past the opening sections
    }
    while (blocks.size() < 40) blocks.push_back(DescriptionBlock(t, next++, seq));
    Place(blocks, dpi, area, layout, y);
  }
  return layout;
}

std::string TextOf(const Layout& layout) {
  std::string text;
  for (const Line& line : layout.lines) text += line.utf8 + "\n";
  return text;
}

void Draw(const Layout& layout, const SpanSink& span) {
  std::lock_guard<std::mutex> lock(FontsLock());
  Fonts& fonts = SharedFonts();
  for (const Line& line : layout.lines) {
    int x = line.x;
    for (char32_t c : CodePoints(line.utf8)) {
      const Glyph& g = fonts.Get(c, line.px, line.bold);
      for (int row = 0; row < g.rows; ++row) {
        const uint8_t* ink = g.ink.data() + size_t(row) * g.width;
        for (int col = 0; col < g.width;) {
          if (!ink[col]) {
            ++col;
            continue;
          }
          int start = col;
          while (col < g.width && ink[col]) ++col;
          span(x + g.left + start, line.baseline - g.top + row, col - start);
        }
      }
      x += g.advance;
    }
  }
  const int stroke = 4;
  for (const Box& b : layout.boxes) {
    for (int k = 0; k < stroke; ++k) {
      span(b.x, b.y + k, b.w);
      span(b.x, b.y + b.h - 1 - k, b.w);
    }
    for (int y = b.y; y < b.y + b.h; ++y) {
      span(b.x, y, stroke);
      span(b.x + b.w - stroke, y, stroke);
    }
  }
}

}  // namespace pagetext
