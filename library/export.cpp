#include "library/export.h"

#include <xlsxwriter.h>

#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "base/bytes.h"
#include "base/files.h"
#include "base/gbk.h"
#include "library/liberrors.h"
#include "library/librarytexts.h"

namespace {

std::string U(const char* gbk) { return GbkToUtf8(gbk); }

std::string Joined(const std::vector<std::string>& list) {
  std::string s;
  for (const std::string& v : list) s += (s.empty() ? "" : "; ") + v;
  return s;
}

std::string OneLine(std::string s) {
  for (char& c : s)
    if (c == '\r' || c == '\n' || c == '\t') c = ' ';
  return s;
}

std::string AbsoluteRoot(const TPath& root) {
  if (!root.Bytes().empty() && root.Bytes()[0] == '/') return root.Bytes();
  char buf[4096];
  return ::getcwd(buf, sizeof buf) ? std::string(buf) + "/" + root.Bytes() : root.Bytes();
}

// A file's address: bytes that would end or change an address percent-encoded, the rest
// (Chinese names among them) as they are, as reference managers and spreadsheets read them.
std::string FileUrl(const std::string& absolutePath) {
  std::string url = "file://";
  for (unsigned char c : absolutePath) {
    if (c <= 0x20 || c == '%' || c == '#' || c == '?' || c == '"' || c == '<' || c == '>' || c == 0x7F)
      AppendPercentEscape(url, c);
    else
      url += char(c);
  }
  return url;
}

// The export's columns of one record, in the order of the header.
enum TCol { cApp, cPub, cTitle, cApplicants, cInventors, cAppDate, cPubDate, cGrantDate, cIpc, cCpc, cLegal,
            cFamily, cAbstract, cPdf, kColumns };

struct TRow {
  std::string cell[kColumns];
  std::string mainPublication;
  std::string pdfPath;  // absolute, the first PDF
};

TRow RowOf(const TPatentRecord& r, const std::string& root) {
  TRow row;
  std::vector<std::string> pubs, pdfs;
  for (const TPublicationRef& p : r.publications) pubs.push_back(p.number);
  for (const std::string& p : r.pdfs) pdfs.push_back(root + "/" + p);
  row.cell[cApp] = r.application;
  row.cell[cPub] = Joined(pubs);
  row.cell[cTitle] = r.title.empty() ? r.titleEn : r.title;
  row.cell[cApplicants] = Joined(r.applicants.empty() ? r.applicantsLatin : r.applicants);
  row.cell[cInventors] = Joined(r.inventors);
  row.cell[cAppDate] = NormalDate(r.applicationDate);
  row.cell[cPubDate] = NormalDate(r.publicationDate);
  row.cell[cGrantDate] = NormalDate(r.grantDate);
  row.cell[cIpc] = Joined(r.ipc);
  row.cell[cCpc] = Joined(r.cpc);
  row.cell[cLegal] = r.legalStatus;
  row.cell[cFamily] = r.familyId;
  row.cell[cAbstract] = r.abstractText.empty() ? r.abstractEn : r.abstractText;
  row.cell[cPdf] = Joined(pdfs);
  row.mainPublication = MainPublication(r);
  if (!pdfs.empty()) row.pdfPath = pdfs.front();
  return row;
}

std::vector<std::string> Header() {
  using namespace exporttext;
  return {U(kApplication), U(kPublication), U(kTitle), U(kApplicants), U(kInventors), U(kApplicationDate),
          U(kPublicationDate), U(kGrantDate), U(kIpc), U(kCpc), U(kLegalStatus), U(kFamily), U(kAbstract), U(kPdf)};
}

// How wide a text shows: Chinese and other wide characters as two.
size_t ShownWidth(const std::string& s) {
  size_t w = 0;
  for (size_t i = 0; i < s.size();) {
    const size_t n = Utf8SequenceAt(s.data() + i, s.size() - i);
    if (n == 0) {
      ++i;
      ++w;
      continue;
    }
    const unsigned cp = Utf8CodePointAt(s.data() + i, n);
    w += cp >= 0x1100 && (IsCjkCodePoint(cp) || (cp >= 0xAC00 && cp <= 0xD7A3)) ? 2 : 1;
    i += n;
  }
  return w;
}

// A cell holds at most 32767 characters; bytes are a safe bound.
constexpr size_t kMaxCellBytes = 32767;

// At most max bytes, cut at a character boundary.
std::string CutUtf8(const std::string& s, size_t max) {
  if (s.size() <= max) return s;
  size_t at = max;
  while (at > 0 && (static_cast<unsigned char>(s[at]) & 0xC0) == 0x80) --at;
  return s.substr(0, at);
}

void Check(lxw_error e, const std::string& what) {
  if (e != LXW_NO_ERROR) throw ELibraryError(exporttext::kSheet + std::string(" ") + what + ": " + lxw_strerror(e));
}

void WriteXlsx(const std::vector<TPatentRecord>& records, const std::string& path, const std::string& root) {
  // Rows go out as they are written, so a large export keeps little in memory.
  lxw_workbook_options options = {LXW_TRUE, nullptr, LXW_FALSE};
  lxw_workbook* book = workbook_new_opt(path.c_str(), &options);
  if (!book) throw ELibraryError(librarytext::kExportFailed + TPath::FromSystem(path).ShownText());
  struct TClose {
    lxw_workbook* book;
    bool closed = false;
    ~TClose() {
      if (!closed) workbook_close(book);
    }
  } closer{book};
  lxw_worksheet* sheet = workbook_add_worksheet(book, U(exporttext::kSheet).c_str());
  lxw_format* bold = workbook_add_format(book);
  format_set_bold(bold);
  lxw_format* date = workbook_add_format(book);
  format_set_num_format(date, "yyyy-mm-dd");
  lxw_format* link = workbook_add_format(book);
  format_set_underline(link, LXW_UNDERLINE_SINGLE);
  format_set_font_color(link, LXW_COLOR_BLUE);

  const std::vector<std::string> header = Header();
  std::vector<size_t> widths(kColumns, 0);
  for (size_t c = 0; c < header.size(); ++c) {
    widths[c] = ShownWidth(header[c]);
  }
  std::vector<TRow> rows;
  rows.reserve(records.size());
  for (const TPatentRecord& r : records) {
    rows.push_back(RowOf(r, root));
    for (size_t c = 0; c < kColumns; ++c) widths[c] = std::max(widths[c], ShownWidth(rows.back().cell[c]));
  }
  // Widths are set before the first row in this mode.
  const size_t caps[kColumns] = {14, 32, 40, 30, 24, 11, 11, 11, 24, 24, 30, 12, 60, 50};
  for (size_t c : {cAppDate, cPubDate, cGrantDate}) widths[c] = 10;
  for (size_t c = 0; c < kColumns; ++c)
    worksheet_set_column(sheet, lxw_col_t(c), lxw_col_t(c), double(std::min(widths[c], caps[c]) + 2), nullptr);
  worksheet_freeze_panes(sheet, 1, 0);
  worksheet_autofilter(sheet, 0, 0, lxw_row_t(rows.size()), kColumns - 1);
  for (size_t c = 0; c < header.size(); ++c)
    Check(worksheet_write_string(sheet, 0, lxw_col_t(c), header[c].c_str(), bold), "header");

  // A worksheet holds at most 65530 hyperlinks; past them a link is a HYPERLINK formula.
  auto writeLink = [&](lxw_row_t row, lxw_col_t col, const std::string& url, const std::string& text) {
    lxw_error e = worksheet_write_url_opt(sheet, row, col, url.c_str(), link, text.c_str(), nullptr);
    if (e == LXW_NO_ERROR) return;
    const std::string formula = "=HYPERLINK(\"" + url + "\",\"" + text + "\")";
    if (url.find('"') == std::string::npos && text.find('"') == std::string::npos && url.size() <= 255 &&
        text.size() <= 255 &&
        worksheet_write_formula_str(sheet, row, col, formula.c_str(), link, text.c_str()) == LXW_NO_ERROR)
      return;
    Check(worksheet_write_string(sheet, row, col, text.c_str(), nullptr), "link");
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    const TRow& row = rows[i];
    const lxw_row_t r = lxw_row_t(i + 1);
    for (size_t c = 0; c < kColumns; ++c) {
      const std::string value = CutUtf8(row.cell[c], kMaxCellBytes);
      if (value.empty()) continue;
      const lxw_col_t col = lxw_col_t(c);
      if (c == cAppDate || c == cPubDate || c == cGrantDate) {
        lxw_datetime d = {std::stoi(value.substr(0, 4)), std::stoi(value.substr(5, 2)), std::stoi(value.substr(8, 2)),
                          0, 0, 0};
        Check(worksheet_write_datetime(sheet, r, col, &d, date), "date");
      } else if (c == cPub && !row.mainPublication.empty()) {
        writeLink(r, col, EspacenetLink(row.mainPublication), value);
      } else if (c == cPdf) {
        writeLink(r, col, FileUrl(row.pdfPath), value);
      } else {
        // Numbers stay text: an application number is no quantity.
        Check(worksheet_write_string(sheet, r, col, value.c_str(), nullptr), "cell");
      }
    }
  }
  closer.closed = true;
  const lxw_error e = workbook_close(book);
  if (e != LXW_NO_ERROR) throw ELibraryError(librarytext::kExportFailed + TPath::FromSystem(path).ShownText() + ": " + lxw_strerror(e));
}

std::string CsvField(const std::string& v) {
  if (v.find_first_of(",\"\r\n") == std::string::npos) return v;
  std::string q = "\"";
  for (char c : v) q += c == '"' ? std::string("\"\"") : std::string(1, c);
  return q + "\"";
}

std::string Csv(const std::vector<TPatentRecord>& records, const std::string& root) {
  // The byte-order mark makes spreadsheets read the file as UTF-8.
  std::string out = "\xEF\xBB\xBF";
  auto line = [&](const std::vector<std::string>& cells) {
    for (size_t c = 0; c < cells.size(); ++c) out += (c ? "," : "") + CsvField(cells[c]);
    out += "\r\n";
  };
  line(Header());
  for (const TPatentRecord& r : records) {
    const TRow row = RowOf(r, root);
    line(std::vector<std::string>(row.cell, row.cell + kColumns));
  }
  return out;
}

std::string RisDate(const std::string& given) {
  const std::string date = NormalDate(given);
  return date.size() == 10 ? date.substr(0, 4) + "/" + date.substr(5, 2) + "/" + date.substr(8, 2) + "/" : "";
}

std::string Ris(const std::vector<TPatentRecord>& records, const std::string& root) {
  std::string out;
  auto tag = [&](const char* name, const std::string& value) {
    const std::string v = TrimBytes(OneLine(value));
    if (!v.empty()) out += std::string(name) + "  - " + v + "\r\n";
  };
  for (const TPatentRecord& r : records) {
    out += "TY  - PAT\r\n";
    tag("TI", r.title.empty() ? r.titleEn : r.title);
    if (!r.title.empty()) tag("TT", r.titleEn);
    for (const std::string& name : r.inventors) tag("AU", name);
    // The assignee field takes one value: every applicant, by the original names.
    tag("PB", Joined(r.applicants.empty() ? r.applicantsLatin : r.applicants));
    const std::string issued = r.grantDate.empty() ? r.publicationDate : r.grantDate;
    tag("PY", issued.substr(0, 4));
    tag("DA", RisDate(issued));
    tag("C1", RisDate(r.applicationDate));
    tag("M1", r.applicationOriginal.empty() ? r.application : r.applicationOriginal);
    tag("SN", MainPublication(r));
    std::string priorities;
    for (const TPriorityClaim& p : r.priorities) priorities += (priorities.empty() ? "" : "; ") + p.number;
    tag("OP", priorities);
    tag("C3", "CN");
    tag("C6", r.legalStatus);
    tag("AB", r.abstractText.empty() ? r.abstractEn : r.abstractText);
    for (const std::string& c : r.ipc) tag("KW", c);
    for (const std::string& c : r.cpc) tag("KW", c);
    if (!MainPublication(r).empty()) tag("UR", EspacenetLink(MainPublication(r)));
    for (const std::string& p : r.pdfs) tag("L1", FileUrl(root + "/" + p));
    out += "ER  - \r\n\r\n";
  }
  return out;
}

}  // namespace

std::string EspacenetLink(const std::string& publication) {
  return "https://worldwide.espacenet.com/patent/search?q=pn%3D" + publication;
}

std::string MainPublication(const TPatentRecord& record) {
  for (const TPublicationRef& p : record.publications)
    if (!p.number.empty() && std::string("BCUYS").find(p.number.back()) != std::string::npos) return p.number;
  for (const TPublicationRef& p : record.publications)
    if (p.number.size() > 2 && std::isdigit(static_cast<unsigned char>(p.number.back())) &&
        std::string("BCUYS").find(p.number[p.number.size() - 2]) != std::string::npos)
      return p.number;  // a kind with a digit, "B1"
  return record.publications.empty() ? std::string() : record.publications.front().number;
}

std::optional<TExportFormat> ExportFormatOf(const TPath& file) {
  const std::string name = LowerAscii(file.Bytes());
  auto ends = [&](const char* suffix) {
    const std::string s = suffix;
    return name.size() > s.size() && name.compare(name.size() - s.size(), s.size(), s) == 0;
  };
  if (ends(".xlsx")) return TExportFormat::Xlsx;
  if (ends(".csv")) return TExportFormat::Csv;
  if (ends(".ris")) return TExportFormat::Ris;
  return std::nullopt;
}

void ExportRecords(const std::vector<TPatentRecord>& records, const TPath& file, const TPath& dataRoot) {
  const std::optional<TExportFormat> format = ExportFormatOf(file);
  if (!format) throw ELibraryError(librarytext::kUnknownFormat + file.ShownText());
  const std::string root = AbsoluteRoot(dataRoot);
  try {
    if (*format == TExportFormat::Xlsx) {
      // Written beside the target and renamed over it, so a failed export leaves no half file.
      TTemporaryFile temp(file.Parent());
      WriteXlsx(records, temp.Path().Bytes(), root);
      if (!temp.MoveTo(file)) throw ELibraryError(librarytext::kExportFailed + file.ShownText());
    } else {
      WriteFileBytes(file, *format == TExportFormat::Csv ? Csv(records, root) : Ris(records, root));
    }
  } catch (const ELibraryError&) {
    throw;
  } catch (const std::exception& e) {
    throw ELibraryError(librarytext::kExportFailed + file.ShownText() + ": " + e.what());
  }
}
