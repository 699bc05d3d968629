#pragma once
#include <string>

// The one place where GBK (code page 936) meets UTF-8. Neither direction throws:
// an invalid GBK sequence becomes U+FFFD, a character GBK cannot hold becomes "?".
std::string GbkToUtf8(const std::string& gbk);
std::string Utf8ToGbk(const std::string& utf8);
