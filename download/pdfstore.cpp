#include "download/pdfstore.h"

#include <fcntl.h>
#include <unistd.h>

#include "base/files.h"

namespace {

const char kKeywordsPrefix[] = "CN";
const std::string kKeywordsEntry = "/Keywords (CN";
// The converting tool writes the document information at the start of the file.
constexpr size_t kInfoArea = 16384;

std::string HeadOf(const TPath& path, size_t size) {
  std::string head(size, '\0');
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  ssize_t n = ::read(fd, head.data(), head.size());
  ::close(fd);
  head.resize(n > 0 ? size_t(n) : 0);
  return head;
}

}  // namespace

std::string PdfKeywords(const std::string& number) { return kKeywordsPrefix + number; }

std::string PdfOwner(const TPath& pdf) {
  const std::string head = HeadOf(pdf, kInfoArea);
  size_t at = head.find(kKeywordsEntry);
  if (head.rfind("%PDF-", 0) != 0 || at == std::string::npos) return {};
  at += kKeywordsEntry.size();
  size_t end = head.find(')', at);
  return end == std::string::npos ? std::string() : head.substr(at, end - at);
}

std::optional<std::string> TPdfNames::HolderOf(const std::string& name) const {
  auto it = taken_.find(name);
  if (it != taken_.end()) return it->second;
  const TPath path = dir_ + name;
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
    const TPath path = dir_ + name;
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
