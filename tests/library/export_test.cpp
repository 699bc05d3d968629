// Each export read back by a reader of its own: the spreadsheet by openpyxl (Debian's
// python3-openpyxl), the CSV by Python's csv module, the RIS by its tag grammar. Chinese
// names and a character GBK lacks come back as they went in.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "base/files.h"
#include "library/export.h"
#include "tests/library/librarytest.h"
#include "tests/support/tempdir.h"

namespace {

using nlohmann::json;

// U+2A6A5 is no GBK character; the export keeps it.
const std::string kRareName = "\xf0\xaa\x9a\xa5\xe6\x98\x8e\xe7\xa7\x91\xe6\x8a\x80\xe6\x9c\x89\xe9\x99\x90\xe5\x85\xac\xe5\x8f\xb8";

std::vector<TPatentRecord> Records() {
  TPatentRecord a = SampleRecord("200810105070", "一种电池隔膜的制造方法");
  a.applicants = {"华为技术有限公司", kRareName};
  a.grantDate = "2011-05-04";
  a.cpc = {"H01M50/403"};
  a.familyId = "38890001";
  a.abstractText = "含逗号, 和引号\"的摘要\n第二行";
  a.pdfs = {"data/pdf/隔膜 CN1105070B.pdf"};
  TPatentRecord b;
  b.application = "02123456";
  b.title = "一种电池隔膜";
  b.inventors = {"王芳"};
  return {a, b};
}

TEST(LibraryExport, SpreadsheetReadByOpenpyxl) {
  TempDir dir;
  const TPath file = dir.File("out.xlsx");
  ExportRecords(Records(), file, TPath::FromSystem("/srv/root"));
  const json j = json::parse(Python(dir, R"(
import json, openpyxl, datetime
ws = openpyxl.load_workbook(')" + file.Bytes() + R"(').active
rows = []
for row in ws.iter_rows():
    rows.append([[c.value.isoformat() if isinstance(c.value, datetime.datetime) else c.value,
                  c.hyperlink.target if c.hyperlink else None, c.data_type] for c in row])
print(json.dumps({"title": ws.title, "freeze": ws.freeze_panes, "filter": ws.auto_filter.ref, "rows": rows,
                  "widths": [ws.column_dimensions[c].width for c in "ABCDEFGHIJKLMN"]}))
)"));
  EXPECT_EQ(j["title"], "专利");
  EXPECT_EQ(j["freeze"], "A2");
  EXPECT_EQ(j["filter"], "A1:N3");
  const json& rows = j["rows"];
  ASSERT_EQ(rows.size(), 3u);
  std::vector<std::string> header;
  for (const json& c : rows[0]) header.push_back(c[0]);
  EXPECT_EQ(header, (std::vector<std::string>{"申请号", "公开号", "名称", "申请人", "发明人", "申请日", "公开日", "授权日",
                                              "IPC", "CPC", "法律状态", "同族", "摘要", "PDF"}));
  const json& a = rows[1];
  EXPECT_EQ(a[0][0], "200810105070");
  EXPECT_EQ(a[0][2], "s");  // a number as text
  EXPECT_EQ(a[1][0], "CN1105070A; CN1105070B");
  EXPECT_EQ(a[1][1], "https://worldwide.espacenet.com/patent/search?q=pn%3DCN1105070B");
  EXPECT_EQ(a[3][0], "华为技术有限公司; " + kRareName);
  EXPECT_EQ(a[5][0], "2008-03-01T00:00:00");  // a real date
  EXPECT_EQ(a[7][0], "2011-05-04T00:00:00");
  EXPECT_EQ(a[11][0], "38890001");
  EXPECT_EQ(a[12][0], "含逗号, 和引号\"的摘要\n第二行");
  EXPECT_EQ(a[13][0], "/srv/root/data/pdf/隔膜 CN1105070B.pdf");
  EXPECT_EQ(a[13][1], "file:///srv/root/data/pdf/隔膜%20CN1105070B.pdf");
  EXPECT_EQ(rows[2][0][0], "02123456");
  EXPECT_TRUE(rows[2][5][0].is_null());
  // The abstract's column is wider than the dates', within bounds.
  EXPECT_GT(j["widths"][12].get<double>(), j["widths"][5].get<double>());
  EXPECT_LE(j["widths"][12].get<double>(), 63);
}

TEST(LibraryExport, CsvWithByteOrderMarkReadByPythonsCsvModule) {
  TempDir dir;
  const TPath file = dir.File("out.csv");
  ExportRecords(Records(), file, TPath::FromSystem("/srv/root"));
  const std::string bytes = ReadFileBytes(file);
  ASSERT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_NE(bytes.find("\r\n"), std::string::npos);
  const json rows = json::parse(Python(dir, R"(
import csv, json
with open(')" + file.Bytes() + R"(', encoding='utf-8-sig', newline='') as f:
    print(json.dumps(list(csv.reader(f, strict=True))))
)"));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][0], "申请号");
  EXPECT_EQ(rows[1][3], "华为技术有限公司; " + kRareName);
  EXPECT_EQ(rows[1][5], "2008-03-01");
  EXPECT_EQ(rows[1][12], "含逗号, 和引号\"的摘要\n第二行");
  EXPECT_EQ(rows[2][4], "王芳");
  EXPECT_EQ(rows[2].size(), 14u);
}

// RIS as reference managers read it: "XX  - value" lines, records from TY to ER.
std::vector<std::multimap<std::string, std::string>> ParseRis(const std::string& text) {
  std::vector<std::multimap<std::string, std::string>> records;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find("\r\n", at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    at = end + 2;
    if (line.empty()) continue;
    EXPECT_TRUE(line.size() >= 6 && std::isupper(static_cast<unsigned char>(line[0])) &&
                std::isalnum(static_cast<unsigned char>(line[1])) && line.compare(2, 4, "  - ") == 0)
        << line;
    const std::string tag = line.substr(0, 2), value = line.size() > 6 ? line.substr(6) : "";
    if (tag == "TY") records.emplace_back();
    EXPECT_FALSE(records.empty()) << line;
    if (!records.empty() && tag != "ER") records.back().emplace(tag, value);
  }
  return records;
}

TEST(LibraryExport, RisRecordsAsZoteroReadsPatents) {
  TempDir dir;
  const TPath file = dir.File("out.ris");
  ExportRecords(Records(), file, TPath::FromSystem("/srv/root"));
  const std::string text = ReadFileBytes(file);
  EXPECT_EQ(text.substr(0, 9), "TY  - PAT");
  const auto records = ParseRis(text);
  ASSERT_EQ(records.size(), 2u);
  const auto& a = records[0];
  auto all = [&](const std::string& tag) {
    std::vector<std::string> v;
    for (auto [it, end] = a.equal_range(tag); it != end; ++it) v.push_back(it->second);
    return v;
  };
  EXPECT_EQ(all("TY"), (std::vector<std::string>{"PAT"}));
  EXPECT_EQ(all("TI"), (std::vector<std::string>{"一种电池隔膜的制造方法"}));
  EXPECT_EQ(all("AU"), (std::vector<std::string>{"王芳", "李强"}));
  EXPECT_EQ(all("PB"), (std::vector<std::string>{"华为技术有限公司; " + kRareName}));
  EXPECT_EQ(all("DA"), (std::vector<std::string>{"2011/05/04/"}));
  EXPECT_EQ(all("PY"), (std::vector<std::string>{"2011"}));
  EXPECT_EQ(all("C1"), (std::vector<std::string>{"2008/03/01/"}));
  EXPECT_EQ(all("M1"), (std::vector<std::string>{"CN200810105070.X"}));
  EXPECT_EQ(all("SN"), (std::vector<std::string>{"CN1105070B"}));
  EXPECT_EQ(all("KW"), (std::vector<std::string>{"H01M2/16", "H01M10/05", "H01M50/403"}));
  EXPECT_EQ(all("AB"), (std::vector<std::string>{"含逗号, 和引号\"的摘要 第二行"}));
  EXPECT_EQ(all("UR"), (std::vector<std::string>{"https://worldwide.espacenet.com/patent/search?q=pn%3DCN1105070B"}));
  EXPECT_EQ(all("L1"), (std::vector<std::string>{"file:///srv/root/data/pdf/隔膜%20CN1105070B.pdf"}));
  EXPECT_EQ(records[1].count("UR"), 0u);
}

TEST(LibraryExport, AnUnknownSuffixOrAFolderThatIsNotThereFails) {
  TempDir dir;
  EXPECT_THROW(ExportRecords(Records(), dir.File("out.txt"), dir.Path()), ELibraryError);
  EXPECT_THROW(ExportRecords(Records(), dir.File("no/such/out.xlsx"), dir.Path()), ELibraryError);
  EXPECT_THROW(ExportRecords(Records(), dir.File("no/such/out.csv"), dir.Path()), ELibraryError);
  EXPECT_FALSE(FileExists(dir.File("out.txt")));
}

}  // namespace
