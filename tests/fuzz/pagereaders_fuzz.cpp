// The readers of result pages and detail pages, with the page-viewer call, on any page.
// What must hold: record links are non-empty pieces of the page without a double quote or
// a closing angle bracket, and end after at most one per byte; the first record link, the
// link fields and the detail cells are pieces of what they were cut from (or "无" for a
// design patent's abstract and claim); a page list that reads has an image base no longer
// than the page and page names of ten bytes; text from the page, sent as a detail
// target or a page address, is refused or stays on its own request line; and the first
// claim cut from the page as recognised text, and the patentee cell as plain text,
// are single lines no longer than what they came from.
#include <cstdint>
#include <string>

#include "download/pages.h"
#include "recognition/claimcut.h"
#include "regex/patternmatcher.h"
#include "sources/site/siteops.h"
#include "sources/sourceerrors.h"
#include "tests/fuzz/fuzzcheck.h"

namespace {

const std::string kNone = "\xce\xde";  // 无

void CheckLink(const std::string& page, const std::string& link) {
  FUZZ_CHECK(Contains(page, link));
  for (const std::string& field : {ApplicationNumberFromLink(link), TitleFromLink(link), ClassFromLink(link)})
    FUZZ_CHECK(Contains(link, field));
  const int code = TypeCodeOf(ApplicationNumberFromLink(link));
  FUZZ_CHECK(code >= 0 && code <= 9 && !TypeNameOf(ApplicationNumberFromLink(link)).empty());
  CheckRequestHeadFor("http://127.0.0.1/sipo/zljs/" + link);
}

void CheckDetailReaders(const std::string& page) {
  for (int code : {1, 3}) {
    for (const std::string& cell : {AbstractFrom(page, code), FirstClaimFrom(page, code)})
      FUZZ_CHECK(code == 3 ? cell == kNone : Contains(page, cell));
    FUZZ_CHECK(Contains(page, PatenteeFrom(page, code)));
  }
}

void CheckPageList(const std::string& page) {
  TPageList list;
  try {
    list = ReadPageList(page);
  } catch (const EPageListError&) {
    return;
  }
  FUZZ_CHECK(list.imageBase.size() <= page.size());
  for (int n : {1, list.pageCount}) {
    const std::string name = PageFileName(n);
    FUZZ_CHECK(name.size() == 10 && name.compare(6, 4, ".tif") == 0);
    CheckRequestHeadFor(list.imageBase + name);
  }
}

void CheckTextsForPdfs(const std::string& page) {
  const std::string claim = FirstClaimFromText(page);
  FUZZ_CHECK(claim.size() <= page.size() && claim.find_first_of("\r\n") == std::string::npos);
  const std::string cell = PatenteeFrom(page, 1);
  const std::string author = PlainCellText(cell);
  FUZZ_CHECK(author.size() <= cell.size() && author.find_first_of("\r\n") == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string page = FuzzBytes(data, size);
  ReadRecordCount(page);
  try {
    RecordLinks links(page);
    std::string link;
    for (size_t n = 0; links.Next(link); ++n) {
      FUZZ_CHECK(n <= page.size() && !link.empty() && link.find_first_of("\">") == std::string::npos);
      CheckLink(page, link);
    }
  } catch (const EPatternMatcher& e) {
    FUZZ_CHECK(e.ErrorId == 1016);  // the fixed pattern can only meet the backtracking limit
  }
  const std::string first = FirstRecordLink(page);
  if (!first.empty()) CheckLink(page, first);
  CheckDetailReaders(page);
  CheckPageList(page);
  CheckTextsForPdfs(page);
  return 0;
}
