#include "download/pdfstore.h"

#include "base/files.h"
#include "base/gbk.h"
#include "download/pdfdoc.h"

std::string PdfOwner(const TPath& pdf) { return KeywordsOwner(ReadPdfInfo(pdf).keywords); }

TPath PdfPathIn(const TPath& dir, const std::string& name) { return dir.Entry(GbkWithReferencesToUtf8(name)); }

std::optional<std::string> TPdfNames::HolderOf(const std::string& name) const {
  auto it = taken_.find(name);
  if (it != taken_.end()) return it->second;
  const TPath path = PdfPathIn(dir_, name);
  if (!FileExists(path)) return std::nullopt;
  return PdfOwner(path);
}

std::pair<std::string, std::string> TPdfNames::Candidates(const std::string& title, const std::string& number) {
  return {FileNameFromText(title, ".pdf", number), FileNameFromText(title + "(" + number + ")", ".pdf", number)};
}

std::optional<std::string> TPdfNames::ExistingFor(const std::string& title, const std::string& number) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto [first, second] = Candidates(title, number);
  for (const std::string& name : {first, second}) {
    const TPath path = PdfPathIn(dir_, name);
    if (FileExists(path) && PdfOwner(path) == number) return name;
  }
  return std::nullopt;
}

std::string TPdfNames::NameFor(const std::string& title, const std::string& number) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto [first, second] = Candidates(title, number);
  const std::optional<std::string> firstHolder = HolderOf(first);
  std::string name;
  if (firstHolder == number)
    name = first;
  else if (HolderOf(second) == number)
    name = second;
  else
    name = firstHolder ? second : first;
  taken_[name] = number;
  return name;
}
