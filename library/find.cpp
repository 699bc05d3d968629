// Find: the records that hold every word. Words of three characters or more go through
// the trigram indexes (record fields and page texts, bm25 from SQLite); shorter words,
// which no trigram can hold, are looked for with instr() in the texts of the records the
// longer words found, or of every record when all words are short.
#include <algorithm>
#include <map>
#include <set>
#include <unordered_map>

#include <nlohmann/json.hpp>

#include "base/bytes.h"
#include "base/gbk.h"
#include "library/library.h"
#include "library/librarytexts.h"
#include "library/schema.h"
#include "library/sqlite.h"

namespace {

// The searchable fields, in the order of record_index's columns.
const char* const kFields[] = {"title", "title_en", "abstract", "abstract_en", "applicants", "inventors", "first_claim"};
constexpr int kFieldCount = 7;

size_t CodePoints(const std::string& s) {
  size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

// A word as one FTS5 phrase: quoted, its quotes doubled.
std::string Phrase(const std::string& word) {
  std::string q = "\"";
  for (char c : word) q += c == '"' ? std::string("\"\"") : std::string(1, c);
  return q + "\"";
}

std::string AnyOf(const std::vector<std::string>& words) {
  std::string q;
  for (const std::string& w : words) q += (q.empty() ? "" : " OR ") + Phrase(w);
  return q;
}

// Byte offset of the first occurrence of any word (words lower-cased) in the lower-cased text.
size_t FirstOf(const std::string& lower, const std::vector<std::string>& words, size_t from, size_t* length) {
  size_t best = std::string::npos;
  for (const std::string& w : words) {
    const size_t at = lower.find(w, from);
    if (at != std::string::npos && (at < best || (at == best && w.size() > *length))) {
      best = at;
      *length = w.size();
    }
  }
  return best;
}

// Moves a byte offset back or forward by n code points.
size_t Back(const std::string& s, size_t at, size_t n) {
  while (at > 0 && n > 0) {
    --at;
    while (at > 0 && (static_cast<unsigned char>(s[at]) & 0xC0) == 0x80) --at;
    --n;
  }
  return at;
}
size_t Forward(const std::string& s, size_t at, size_t n) {
  while (at < s.size() && n > 0) {
    ++at;
    while (at < s.size() && (static_cast<unsigned char>(s[at]) & 0xC0) == 0x80) ++at;
    --n;
  }
  return at;
}

// The text around the first of the words with every word in that stretch marked; as
// SQLite's snippet() does for the indexed words, for words it cannot see.
std::string OwnSnippet(const std::string& text, const std::vector<std::string>& lowerWords, const TFindOptions& o) {
  std::string flat = text;
  for (char& c : flat)
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  const std::string lower = LowerAscii(flat);
  size_t len = 0;
  const size_t first = FirstOf(lower, lowerWords, 0, &len);
  if (first == std::string::npos) return "";
  const size_t from = Back(flat, first, 12), to = Forward(flat, first, 36);
  std::string out = from > 0 ? "\xe2\x80\xa6" : "";
  size_t at = from;
  while (at < to) {
    size_t l = 0;
    const size_t hit = FirstOf(lower, lowerWords, at, &l);
    if (hit == std::string::npos || hit >= to) break;
    out += flat.substr(at, hit - at) + o.markOpen + flat.substr(hit, l) + o.markClose;
    at = hit + l;
  }
  if (at < to) out += flat.substr(at, to - at);
  if (std::max(at, to) < flat.size()) out += "\xe2\x80\xa6";
  return out;
}

// What a record holds of one long word. Kept small: a common word has tens of thousands
// of candidate records.
struct TWordHit {
  bool inField = false;
  uint32_t pages = 0;     // pages that hold it
  int64_t firstPage = 0;  // the first such page's row
  int64_t bestPage = 0;   // the best ranked such page's row, once ranked
  double bestRank = 0;
};

struct TCandidate {
  double score = 0;  // bm25, summed over the long words; lower is better
  std::vector<TWordHit> words;
};
using TCandidates = std::unordered_map<int64_t, TCandidate>;

// bm25 costs several times more per match than finding the match: words with more
// matches than this are ordered by how much of each record holds them instead.
constexpr size_t kRankedMatches = 20000;

}  // namespace

std::vector<TFindHit> TLibrary::Find(const std::vector<std::string>& given, const TFindOptions& options) {
  TSqlite& db = *db_;
  std::vector<std::string> longWords, shortWords, lowerWords;
  for (const std::string& g : given) {
    const std::string w = TrimBytes(g);
    if (w.empty()) continue;
    (CodePoints(w) >= 3 ? longWords : shortWords).push_back(w);
    lowerWords.push_back(LowerAscii(w));
  }
  if (lowerWords.empty()) return {};

  TCandidates cands;
  // The record of each document, read once when a page holds a word (a page row's id is
  // its document's times kPageSlots plus the page).
  std::vector<int64_t> recordOfDocument;
  auto recordOfPage = [&](int64_t row) -> int64_t {
    if (recordOfDocument.empty()) {
      recordOfDocument.push_back(0);
      TStatement q(db, "SELECT id, record_id FROM documents ORDER BY id");
      while (q.Step()) {
        const size_t id = size_t(q.Int(0));
        if (recordOfDocument.size() <= id) recordOfDocument.resize(id + 1, 0);
        recordOfDocument[id] = q.Int(1);
      }
      // A common word's candidates are a good part of all records: no rehashing on the way.
      if (cands.empty()) cands.reserve(recordOfDocument.size());
    }
    const size_t doc = size_t(row / kPageSlots);
    return doc < recordOfDocument.size() ? recordOfDocument[doc] : 0;
  };
  for (size_t i = 0; i < longWords.size(); ++i) {
    const std::string phrase = Phrase(longWords[i]);
    auto entry = [&](int64_t record) -> TCandidate* {
      if (i == 0) {
        TCandidate& c = cands[record];
        if (c.words.empty()) c.words.resize(longWords.size());
        return &c;
      }
      auto it = cands.find(record);
      return it == cands.end() ? nullptr : &it->second;
    };
    {
      TStatement q(db, "SELECT rowid FROM record_index WHERE record_index MATCH ?");
      q.Bind(1, phrase);
      while (q.Step())
        if (TCandidate* c = entry(q.Int(0))) c->words[i].inField = true;
    }
    {
      TStatement q(db, "SELECT rowid FROM page_index WHERE page_index MATCH ?");
      q.Bind(1, phrase);
      while (q.Step()) {
        const int64_t row = q.Int(0);
        if (TCandidate* c = entry(recordOfPage(row))) {
          TWordHit& w = c->words[i];
          if (w.pages++ == 0) w.firstPage = row;
        }
      }
    }
    // Keep the records that hold this word too.
    for (auto it = cands.begin(); it != cands.end();)
      it = it->second.words[i].inField || it->second.words[i].pages ? std::next(it) : cands.erase(it);
    if (cands.empty()) return {};
  }

  // Short words: the records whose fields or pages hold them, among the candidates.
  const bool allShort = longWords.empty();
  for (const std::string& s : shortWords) {
    const std::string lower = LowerAscii(s);
    std::vector<int64_t> ids;
    for (const auto& [id, c] : cands) ids.push_back(id);
    // Every record for the first word when all are short; the candidates after that.
    const bool seeding = allShort && &s == &shortWords.front();
    const std::string restrict = seeding ? "" : " AND %s IN (SELECT value FROM json_each(?2))";
    auto with = [&](const char* column) {
      std::string r = restrict;
      const size_t at = r.find("%s");
      if (at != std::string::npos) r.replace(at, 2, column);
      return r;
    };
    // lower() costs a pass over the text: only when the word has letters to fold.
    const bool fold = lower != UpperAscii(lower);
    auto in = [&](const std::string& column) {
      return "instr(" + (fold ? "lower(" + column + ")" : column) + ", ?1) > 0";
    };
    std::string fieldTest;
    for (int f = 0; f < kFieldCount; ++f) fieldTest += (f ? " OR " : "") + in(kFields[f]);
    TStatement q(db, "SELECT id FROM record_text WHERE (" + fieldTest + ")" + with("id") +
                         " UNION SELECT d.record_id FROM page_texts p JOIN documents d ON d.id = p.document_id WHERE " +
                         in("p.text") + with("d.record_id"));
    q.Bind(1, lower);
    if (!seeding) q.Bind(2, nlohmann::json(ids).dump());
    TCandidates kept;
    while (q.Step()) {
      const int64_t id = q.Int(0);
      if (seeding) {
        kept[id];
      } else if (cands.count(id)) {
        kept[id] = cands[id];
      }
    }
    cands = std::move(kept);
    if (cands.empty()) return {};
  }

  // Best first by bm25, summed over the long words (the best field or page of each). A word
  // so common that ranking every match would cost more than finding them orders the
  // records by how much of them holds the words (in a field, on more pages) instead.
  // Records found by short words alone have no rank and come newest first.
  std::vector<std::pair<int64_t, TCandidate>> order;
  order.reserve(cands.size());
  size_t matches = 0;
  for (auto& [id, c] : cands) {
    for (TWordHit& w : c.words) {
      matches += size_t(w.inField) + w.pages;
      w.bestPage = w.firstPage;
      c.score -= (w.inField ? 16 : 0) + std::min<uint32_t>(w.pages, 15);
    }
    order.emplace_back(id, std::move(c));
  }
  if (!longWords.empty() && (matches <= kRankedMatches || options.limit == 0)) {
    std::unordered_map<int64_t, size_t> at;
    for (size_t k = 0; k < order.size(); ++k) at[order[k].first] = k;
    std::vector<std::vector<double>> fieldRank(order.size(), std::vector<double>(longWords.size(), 1));
    for (size_t i = 0; i < longWords.size(); ++i) {
      TStatement fields(db, "SELECT rowid, rank FROM record_index WHERE record_index MATCH ?");
      fields.Bind(1, Phrase(longWords[i]));
      while (fields.Step()) {
        auto it = at.find(fields.Int(0));
        if (it != at.end()) fieldRank[it->second][i] = fields.Real(1);
      }
      TStatement pages(db, "SELECT rowid, rank FROM page_index WHERE page_index MATCH ?");
      pages.Bind(1, Phrase(longWords[i]));
      while (pages.Step()) {
        auto it = at.find(recordOfPage(pages.Int(0)));
        if (it == at.end()) continue;
        TWordHit& w = order[it->second].second.words[i];
        if (w.bestRank == 0 || pages.Real(1) < w.bestRank) {
          w.bestRank = pages.Real(1);
          w.bestPage = pages.Int(0);
        }
      }
    }
    for (size_t k = 0; k < order.size(); ++k) {
      TCandidate& c = order[k].second;
      c.score = 0;
      for (size_t i = 0; i < longWords.size(); ++i)
        c.score += std::min({fieldRank[k][i] < 0 ? fieldRank[k][i] : 0.0, c.words[i].bestRank});
    }
  }
  auto better = [](const auto& a, const auto& b) {
    if (a.second.score != b.second.score) return a.second.score < b.second.score;
    return a.first > b.first;
  };
  const size_t shown = options.limit ? std::min(options.limit, order.size()) : order.size();
  std::partial_sort(order.begin(), order.begin() + long(shown), order.end(), better);
  order.resize(shown);

  // Where each hit holds the words.
  std::vector<TFindHit> hits;
  const std::string anyLong = AnyOf(longWords);
  TStatement fields(db, "SELECT r.application, t.title, t.title_en, t.abstract, t.abstract_en, t.applicants, "
                        "t.inventors, t.first_claim FROM record_text t JOIN records r ON r.id = t.id WHERE t.id = ?");
  TStatement fieldSnippet(db, "SELECT snippet(record_index, ?1, ?2, ?3, '\xe2\x80\xa6', 48) FROM record_index "
                              "WHERE record_index MATCH ?4 AND rowid = ?5");
  TStatement pageSnippet(db,
                         "SELECT snippet(page_index, 0, ?1, ?2, '\xe2\x80\xa6', 48), p.page, d.path FROM page_index f "
                         "JOIN page_texts p ON p.id = f.rowid JOIN documents d ON d.id = p.document_id "
                         "WHERE page_index MATCH ?3 AND f.rowid = ?4");
  TStatement pageOf(db, "SELECT p.text, p.page, d.path FROM page_texts p JOIN documents d ON d.id = p.document_id "
                        "WHERE d.record_id = ?1 AND instr(lower(p.text), ?2) > 0 ORDER BY d.path, p.page LIMIT 1");
  for (const auto& [id, cand] : order) {
    TFindHit hit;
    hit.recordId = id;
    hit.score = cand.score;
    fields.Bind(1, id);
    if (!fields.Step()) continue;
    hit.application = fields.Text(0);
    std::set<std::string> wordsInFields;
    for (int f = 0; f < kFieldCount; ++f) {
      const std::string text = fields.Text(f + 1);
      const std::string lower = LowerAscii(text);
      bool longHere = false, any = false;
      for (size_t w = 0; w < lowerWords.size(); ++w) {
        if (lower.find(lowerWords[w]) == std::string::npos) continue;
        any = true;
        wordsInFields.insert(lowerWords[w]);
        longHere |= CodePoints(lowerWords[w]) >= 3;
      }
      if (!any) continue;
      TFindPlace place;
      place.field = kFields[f];
      if (longHere) {
        fieldSnippet.Bind(1, f).Bind(2, options.markOpen).Bind(3, options.markClose).Bind(4, anyLong).Bind(5, id);
        if (fieldSnippet.Step()) place.snippet = fieldSnippet.Text(0);
        fieldSnippet.Reset();
      } else {
        place.snippet = OwnSnippet(text, lowerWords, options);
      }
      hit.places.push_back(std::move(place));
    }
    hit.title = fields.Text(1).empty() ? fields.Text(2) : fields.Text(1);
    fields.Reset();

    std::vector<TFindPlace> pages;
    for (const TWordHit& w : cand.words) {
      const int64_t row = w.bestPage;
      if (!row) continue;
      pageSnippet.Bind(1, options.markOpen).Bind(2, options.markClose).Bind(3, anyLong).Bind(4, row);
      if (pageSnippet.Step()) {
        TFindPlace place{"page", pageSnippet.Text(2), int(pageSnippet.Int(1)), pageSnippet.Text(0)};
        pageSnippet.Reset();
        pages.push_back(std::move(place));
      }
    }
    // A short word no field holds: the first page that does.
    for (const std::string& s : shortWords) {
      const std::string lower = LowerAscii(s);
      if (wordsInFields.count(lower)) continue;
      pageOf.Bind(1, id).Bind(2, lower);
      if (pageOf.Step()) {
        pages.push_back({"page", pageOf.Text(2), int(pageOf.Int(1)), OwnSnippet(pageOf.Text(0), lowerWords, options)});
        pageOf.Reset();
      }
    }
    std::sort(pages.begin(), pages.end(), [](const TFindPlace& a, const TFindPlace& b) {
      return std::tie(a.document, a.page) < std::tie(b.document, b.page);
    });
    for (TFindPlace& p : pages)
      if (hit.places.empty() || hit.places.back().field != "page" || hit.places.back().document != p.document ||
          hit.places.back().page != p.page)
        hit.places.push_back(std::move(p));
    hits.push_back(std::move(hit));
  }
  return hits;
}

std::string FindPlaceName(const TFindPlace& p) {
  using namespace librarytext;
  static const std::pair<const char*, const char*> kNames[] = {
      {"title", kFieldTitle},           {"title_en", kFieldTitleEn},       {"abstract", kFieldAbstract},
      {"abstract_en", kFieldAbstractEn}, {"applicants", kFieldApplicants}, {"inventors", kFieldInventors},
      {"first_claim", kFieldFirstClaim}};
  for (const auto& [field, name] : kNames)
    if (p.field == field) return GbkToUtf8(name);
  const size_t slash = p.document.rfind('/');
  return GbkToUtf8(kPageHead) + std::to_string(p.page) + GbkToUtf8(kPageTail) + " " +
         ValidUtf8(slash == std::string::npos ? p.document : p.document.substr(slash + 1));
}
