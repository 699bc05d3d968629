#include "bench/recognition/processrecogniser.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <sstream>
#include <tuple>

#include "base/errors.h"
#include "base/files.h"
#include "base/tools.h"

namespace {

std::atomic<int> g_next{0};

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::string field;
  std::istringstream in(line);
  while (std::getline(in, field, '\t')) fields.push_back(field);
  if (!line.empty() && line.back() == '\t') fields.push_back("");
  return fields;
}

}  // namespace

TProcessRecogniser::TProcessRecogniser(TPath work) : base_(work + ("/process" + std::to_string(++g_next))) {}

std::string TProcessRecogniser::DataPath() const { return "/usr/share/tesseract-ocr/5/tessdata/"; }

bool TProcessRecogniser::Recognise(const std::string& tiff, TPageKind, TRecognisedPage& page, std::string& error) {
  page = TRecognisedPage();
  const TPath image = base_ + ".tif";
  WriteFileBytes(image, tiff);
  TToolOptions options;
  options.environment = {"OMP_THREAD_LIMIT=1"};
  options.output = base_ + ".log";
  const int status = RunTool(ToolPath("tesseract"),
                             QuoteToolArgument(image.Bytes()) + " " + QuoteToolArgument(base_.Bytes()) +
                                 " -l chi_sim+eng tsv",
                             300000, options);
  if (status != 0) {
    error = "tesseract ended with " + std::to_string(status);
    return false;
  }
  std::string tsv;
  try {
    tsv = ReadFileBytes(base_ + ".tsv");
  } catch (const EFileError&) {
    error = "tesseract wrote nothing";
    return false;
  }
  std::map<std::tuple<int, int, int>, size_t> lines;  // block, paragraph, line: index
  std::istringstream in(tsv);
  std::string row;
  std::getline(in, row);  // the header
  while (std::getline(in, row)) {
    const std::vector<std::string> f = Fields(row);
    if (f.size() < 12) continue;
    const int level = std::stoi(f[0]);
    const int left = std::stoi(f[6]), top = std::stoi(f[7]), width = std::stoi(f[8]), height = std::stoi(f[9]);
    const TPageBox box{left, top, width, height};
    const auto key = std::make_tuple(std::stoi(f[2]), std::stoi(f[3]), std::stoi(f[4]));
    if (level == 1) {
      page.width = width;
      page.height = height;
    } else if (level == 4) {
      lines[key] = page.lines.size();
      TRecognisedLine line;
      line.box = box;
      line.baselineLeft = line.baselineRight = top + height;
      page.lines.push_back(line);
    } else if (level == 5 && lines.count(key)) {
      std::string text = f[11];
      while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.pop_back();
      const int confidence = int(std::clamp(std::strtod(f[10].c_str(), nullptr), 0.0, 100.0));
      if (!text.empty()) page.lines[lines[key]].words.push_back({text, box, confidence});
    }
  }
  std::erase_if(page.lines, [](const TRecognisedLine& line) { return line.words.empty(); });
  return true;
}
