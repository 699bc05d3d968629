#include "cli/json.h"

#include <cstdio>

#include "base/gbk.h"

void TJsonWriter::BeforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (!first_.empty()) {
    if (!first_.back()) text_ += ",";
    first_.back() = false;
  }
}

TJsonWriter& TJsonWriter::Open(char bracket) {
  BeforeValue();
  text_ += bracket;
  first_.push_back(true);
  return *this;
}

TJsonWriter& TJsonWriter::Close(char bracket) {
  first_.pop_back();
  text_ += bracket;
  return *this;
}

TJsonWriter& TJsonWriter::BeginObject() { return Open('{'); }
TJsonWriter& TJsonWriter::EndObject() { return Close('}'); }
TJsonWriter& TJsonWriter::BeginArray() { return Open('['); }
TJsonWriter& TJsonWriter::EndArray() { return Close(']'); }

TJsonWriter& TJsonWriter::Key(const std::string& name) {
  String(name);
  text_ += ":";
  afterKey_ = true;
  return *this;
}

TJsonWriter& TJsonWriter::String(const std::string& utf8) {
  BeforeValue();
  text_ += '"';
  for (unsigned char c : utf8) {
    if (c == '"' || c == '\\') {
      text_ += '\\';
      text_ += static_cast<char>(c);
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      text_ += buf;
    } else {
      text_ += static_cast<char>(c);
    }
  }
  text_ += '"';
  return *this;
}

TJsonWriter& TJsonWriter::Number(long long value) {
  BeforeValue();
  text_ += std::to_string(value);
  return *this;
}

TJsonWriter& TJsonWriter::Bool(bool value) {
  BeforeValue();
  text_ += value ? "true" : "false";
  return *this;
}

TJsonWriter& TJsonWriter::Null() {
  BeforeValue();
  text_ += "null";
  return *this;
}

TJsonWriter& TJsonWriter::GbkOrNull(const std::optional<std::string>& gbk) {
  return gbk ? String(GbkToUtf8(*gbk)) : Null();
}
