#pragma once
#include <QFile>
#include <QString>
#include <string>

#include "base/gbk.h"
#include "base/path.h"

// GBK core text to Qt text and back: the window edge of the one conversion module.
inline QString QtText(const std::string& gbk) { return QString::fromStdString(GbkToUtf8(gbk)); }
inline std::string GbkText(const QString& text) { return Utf8ToGbk(text.toStdString()); }

// Paths: Qt's own file-name encoding on the way in and out; shown as a file manager shows them.
inline QString QtPath(const TPath& path) { return QFile::decodeName(QByteArray::fromStdString(path.Bytes())); }
inline TPath PathFromQt(const QString& path) { return TPath::FromSystem(QFile::encodeName(path).toStdString()); }
