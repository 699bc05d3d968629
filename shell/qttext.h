#pragma once
#include <QString>
#include <string>

#include "base/gbk.h"

// GBK core text to Qt text and back: the window edge of the one conversion module.
inline QString QtText(const std::string& gbk) { return QString::fromStdString(GbkToUtf8(gbk)); }
inline std::string GbkText(const QString& text) { return Utf8ToGbk(text.toStdString()); }
