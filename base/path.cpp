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

TPath TPath::Parent() const {
  size_t slash = bytes_.find_last_of('/');
  if (slash == std::string::npos) return TPath(".");
  return TPath(slash == 0 ? "/" : bytes_.substr(0, slash));
}

std::string TPath::Shown() const { return ShownName(bytes_); }

std::string TPath::ShownText() const { return Utf8ToGbk(Shown()); }

std::ostream& operator<<(std::ostream& out, const TPath& path) { return out << path.Shown(); }

std::string ShownName(const std::string& systemBytes) { return ValidUtf8(systemBytes); }

std::string PageTextOf(const std::string& systemBytes) { return Utf8ToGbkWithReferences(ValidUtf8(systemBytes)); }
