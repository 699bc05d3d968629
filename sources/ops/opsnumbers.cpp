#include "sources/ops/opsnumbers.h"

#include <algorithm>
#include <cstring>

#include "sources/cnnumbers.h"

namespace {

const char kGrantKinds[] = "BCUYSD";

bool AllDigits(const std::string& s, size_t from, size_t to) {
  if (from >= to) return false;
  for (size_t i = from; i < to; ++i)
    if (s[i] < '0' || s[i] > '9') return false;
  return true;
}

}  // namespace

int TOpsApplication::TypeDigit() const {
  if (digits.size() == 12) return digits[4] - '0';
  if (digits.size() == 8) return digits[2] - '0';
  return -1;
}

char TOpsApplication::CheckDigit() const { return ApplicationCheckDigit(digits); }

std::string TOpsApplication::Docdb(char kind) const { return "CN." + digits + "." + std::string(1, kind); }

std::vector<char> TOpsApplication::DocdbKinds() const {
  switch (TypeDigit()) {
    case 2:
    case 9: return {'U', 'A'};
    case 3: return {'S', 'A'};
    default: return {'A'};
  }
}

std::string TOpsApplication::Epodoc() const { return "CN" + digits; }

std::string TOpsApplication::Original() const { return digits + "." + std::string(1, CheckDigit()); }

std::string TOpsPublication::Docdb() const { return "CN." + number + "." + std::string(1, kind); }

std::string TOpsPublication::Epodoc() const { return kind == 'A' ? "CN" + number : Shown(); }

std::string TOpsPublication::Shown() const { return "CN" + number + std::string(1, kind); }

bool TOpsPublication::IsGrant() const { return GrantRank(kind) > 0; }

bool ReadOpsNumber(const std::string& entry, TOpsNumber& number, std::string& reason) {
  TCnNumber read;
  if (!ReadCnNumber(entry, read, reason)) return false;
  if (read.form == TCnNumber::TForm::Publication) {
    number.form = TOpsNumber::TForm::Publication;
    number.publication = {read.digits, read.kind};
  } else {
    number.form = TOpsNumber::TForm::Application;
    number.application.digits = read.digits;
  }
  return true;
}

bool ReadReplyApplication(const std::string& text, TOpsApplication& application) {
  std::string s = text;
  if (s.rfind("CN", 0) == 0) s.erase(0, 2);
  if (size_t dot = s.find('.'); dot != std::string::npos) {
    const std::string check = s.substr(dot + 1);
    s.erase(dot);
    if (check.size() != 1 || !AllDigits(s, 0, s.size()) || check[0] != ApplicationCheckDigit(s)) return false;
  }
  if ((s.size() != 8 && s.size() != 12) || !AllDigits(s, 0, s.size())) return false;
  application.digits = s;
  return true;
}

int GrantRank(char kind) {
  if (kind == 'A') return 0;
  const char* at = kind != 0 ? std::strchr(kGrantKinds, kind) : nullptr;
  return at ? static_cast<int>(std::strlen(kGrantKinds) - (at - kGrantKinds)) : -1;
}

std::vector<TOpsPublication> ChoosePublications(const std::vector<TOpsPublication>& pubs, TOpsDocument choice) {
  const TOpsPublication* application = nullptr;
  const TOpsPublication* grant = nullptr;
  for (const TOpsPublication& p : pubs) {
    if (p.kind == 'A' && !application) application = &p;
    if (p.IsGrant() && (!grant || GrantRank(p.kind) > GrantRank(grant->kind))) grant = &p;
  }
  std::vector<TOpsPublication> chosen;
  const bool wantApplication = choice == TOpsDocument::Both || choice == TOpsDocument::Application || !grant;
  const bool wantGrant = choice == TOpsDocument::Both || choice == TOpsDocument::Grant || !application;
  if (wantApplication && application) chosen.push_back(*application);
  if (wantGrant && grant) chosen.push_back(*grant);
  return chosen;
}
