#include "library/record.h"

#include <cctype>

#include "base/bytes.h"
#include "base/gbk.h"
#include "library/librarytexts.h"

namespace {

std::string U(const char* gbk) { return GbkToUtf8(gbk); }

bool HasAnyOf(const std::string& text, const char* gbkWords) {
  for (const std::string& word : SplitAt(U(gbkWords), '|'))
    if (!word.empty() && text.find(word) != std::string::npos) return true;
  return false;
}

bool AllDigits(const std::string& s) {
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return !s.empty();
}

}  // namespace

std::string LegalStateName(TLegalState state) {
  using namespace legalstatetext;
  switch (state) {
    case TLegalState::Valid: return U(kValid);
    case TLegalState::Lapsed: return U(kLapsed);
    case TLegalState::Pending: return U(kPending);
    case TLegalState::Unknown: break;
  }
  return U(kUnknown);
}

TLegalState LegalStateOf(const std::string& legalStatus) {
  using namespace legalstatetext;
  const std::string text = TrimBytes(legalStatus);
  if (text.empty()) return TLegalState::Unknown;
  for (TLegalState s : {TLegalState::Valid, TLegalState::Lapsed, TLegalState::Pending, TLegalState::Unknown})
    if (text.rfind(LegalStateName(s), 0) == 0) return s;
  // A ceasing word outweighs the grant it ends ("授权" then "专利权的终止").
  if (HasAnyOf(text, kLapsedWords)) return TLegalState::Lapsed;
  if (HasAnyOf(text, kValidWords)) return TLegalState::Valid;
  if (HasAnyOf(text, kPendingWords)) return TLegalState::Pending;
  return TLegalState::Unknown;
}

int ApplicationYear(const TPatentRecord& record) {
  const std::string date = NormalDate(record.applicationDate);
  if (!date.empty()) return std::stoi(date.substr(0, 4));
  const std::string digits = ApplicationDigits(record.application);
  if (digits.size() == 12) return std::stoi(digits.substr(0, 4));
  if (digits.size() == 8) {
    const int yy = std::stoi(digits.substr(0, 2));
    return yy >= 85 ? 1900 + yy : 2000 + yy;
  }
  return 0;
}

std::string IpcSubclass(const std::string& code) {
  std::string c = UpperAscii(TrimBytes(code));
  if (c.size() < 4) return "";
  const auto up = [&](size_t i) { return c[i] >= 'A' && c[i] <= 'Z'; };
  const auto digit = [&](size_t i) { return std::isdigit(static_cast<unsigned char>(c[i])) != 0; };
  if (!up(0) || !digit(1) || !digit(2) || !up(3)) return "";
  return c.substr(0, 4);
}

std::string NormalDate(const std::string& text) {
  std::string t = TrimBytes(text);
  const size_t blank = t.find_first_of(" T");
  if (blank != std::string::npos) t = t.substr(0, blank);
  std::string digits;
  if (t.size() == 8 && AllDigits(t)) {
    digits = t;
  } else if (t.size() == 10 && (t[4] == '-' || t[4] == '.' || t[4] == '/') && t[7] == t[4]) {
    digits = t.substr(0, 4) + t.substr(5, 2) + t.substr(8, 2);
    if (!AllDigits(digits)) return "";
  } else {
    return "";
  }
  const int month = std::stoi(digits.substr(4, 2)), day = std::stoi(digits.substr(6, 2));
  if (month < 1 || month > 12 || day < 1 || day > 31) return "";
  return digits.substr(0, 4) + "-" + digits.substr(4, 2) + "-" + digits.substr(6, 2);
}

std::string ApplicationDigits(const std::string& text) {
  std::string digits;
  for (char c : text) {
    if (c == '.') break;  // the check digit follows
    if (std::isdigit(static_cast<unsigned char>(c))) digits += c;
  }
  // Without a dot, a 9- or 13-digit run carries its check digit at the end.
  if (digits.size() == 9 || digits.size() == 13) digits.pop_back();
  return digits.size() == 8 || digits.size() == 12 ? digits : std::string();
}
