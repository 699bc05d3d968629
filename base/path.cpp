#include "path.h"

#include <ostream>

#include "gbk.h"

TPath TPath::FromSystem(std::string bytes) { return TPath(std::move(bytes)); }

TPath TPath::FromText(const std::string& gbk) { return TPath(GbkToUtf8(gbk)); }

TPath TPath::operator+(const std::string& gbkText) const { return TPath(bytes_ + GbkToUtf8(gbkText)); }

TPath& TPath::operator+=(const std::string& gbkText) {
  bytes_ += GbkToUtf8(gbkText);
  return *this;
}

TPath TPath::Entry(const std::string& systemName) const {
  return TPath(EndsWithSeparator() ? bytes_ + systemName : bytes_ + "/" + systemName);
}

std::string TPath::Shown() const { return ShownName(bytes_); }

std::string TPath::ShownText() const { return Utf8ToGbk(Shown()); }

std::ostream& operator<<(std::ostream& out, const TPath& path) { return out << path.Shown(); }

std::string ShownName(const std::string& systemBytes) { return ValidUtf8(systemBytes); }

std::string PageTextOf(const std::string& systemBytes) { return Utf8ToGbkWithReferences(ValidUtf8(systemBytes)); }
