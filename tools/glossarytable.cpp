// glossarytable: turns the glossary's sources into the table compiled into the program.
//
//   glossarytable CEDICT_TSV PATENT_WORDS_TSV OUTPUT_INC
//
// The output defines, for one file that includes it:
//   kGlossaryText   the records "word<TAB>equivalent|equivalent", sorted by the word's bytes
//   kGlossaryIndex  the offset of each record in kGlossaryText and, last, its length
//   kGlossaryWords, kGlossaryLongestWord (in characters)
// so a lookup is a binary search over the index with nothing to read at run time. A source
// line that does not read is reported as NAME:LINE: reason, nothing is written, and the
// exit status is 1.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "base/gbk.h"
#include "tools/glossarybuild.h"

namespace {

size_t Characters(const std::string& utf8) {
  size_t n = 0;
  for (size_t i = 0; i < utf8.size(); ++n) i += std::max<size_t>(1, Utf8SequenceAt(utf8.data() + i, utf8.size() - i));
  return n;
}

// The record as a UTF-8 literal; the sources hold no quote, backslash or control character
// but the tab, and a stray one must not end the literal.
std::string Literal(const std::string& record) {
  std::string out = "u8\"";
  for (char c : record) {
    if (c == '\t')
      out += "\\t";
    else if (c == '"' || c == '\\')
      out += std::string("\\") + c;
    else
      out += c;
  }
  return out + "\"";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: glossarytable CEDICT_TSV PATENT_WORDS_TSV OUTPUT_INC\n";
    return 2;
  }
  std::ifstream cedict(argv[1], std::ios::binary), patentWords(argv[2], std::ios::binary);
  if (!cedict || !patentWords) {
    std::cerr << (cedict ? argv[2] : argv[1]) << ": cannot be read\n";
    return 1;
  }
  std::vector<TGlossaryEntry> entries;
  try {
    entries = BuildGlossary(cedict, argv[1], patentWords, argv[2]);
  } catch (const EGlossarySourceError& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }

  std::ostringstream text, index;
  text << "    u8\"\"\n";  // an empty glossary still compiles
  size_t offset = 0, longest = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    std::string record = entries[i].word + "\t";
    for (size_t k = 0; k < entries[i].equivalents.size(); ++k) record += (k ? "|" : "") + entries[i].equivalents[k];
    text << "    " << Literal(record) << "\n";
    index << offset << (i % 12 == 11 ? ",\n" : ",");
    offset += record.size();
    longest = std::max(longest, Characters(entries[i].word));
  }
  index << offset;

  std::ostringstream out;
  // File names only: the table is the same whichever folder the build ran in.
  out << "// Made by glossarytable from " << std::filesystem::path(argv[1]).filename().string() << " and "
      << std::filesystem::path(argv[2]).filename().string() << ": do not edit.\n"
      << "constexpr int kGlossaryWords = " << entries.size() << ";\n"
      << "constexpr int kGlossaryLongestWord = " << longest << ";\n"
      << "constexpr char8_t kGlossaryText[] =\n"
      << text.str() << "    ;\n"
      << "constexpr unsigned kGlossaryIndex[] = {\n"
      << index.str() << "};\n";
  std::ofstream file(argv[3], std::ios::binary | std::ios::trunc);
  file << out.str();
  if (!file.flush()) {
    std::cerr << argv[3] << ": cannot be written\n";
    return 1;
  }
  return 0;
}
