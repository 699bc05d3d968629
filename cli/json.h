#pragma once
#include <optional>
#include <string>
#include <vector>

// A JSON text written piece by piece (the --json documents of varnolt-cli). Strings go in
// as UTF-8; the writer puts the commas and escapes.
class TJsonWriter {
 public:
  TJsonWriter& BeginObject();
  TJsonWriter& EndObject();
  TJsonWriter& BeginArray();
  TJsonWriter& EndArray();
  // The name of the next member of an object.
  TJsonWriter& Key(const std::string& name);
  TJsonWriter& String(const std::string& utf8);
  TJsonWriter& Number(long long value);
  TJsonWriter& Bool(bool value);
  TJsonWriter& Null();
  // A GBK text as a string, or null when there is none.
  TJsonWriter& GbkOrNull(const std::optional<std::string>& gbk);

  // The document, ending with a line break.
  std::string Text() const { return text_ + "\n"; }

 private:
  void BeforeValue();
  TJsonWriter& Open(char bracket);
  TJsonWriter& Close(char bracket);

  std::string text_;
  std::vector<bool> first_;  // per open object or array: no member yet
  bool afterKey_ = false;
};
