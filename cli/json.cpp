#include "cli/json.h"

#include "base/gbk.h"

TJson GbkOrNull(const std::optional<std::string>& gbk) { return gbk ? TJson(GbkToUtf8(*gbk)) : TJson(nullptr); }

TJson TextOrNull(const std::string& text) { return text.empty() ? TJson(nullptr) : TJson(text); }

TJson Strings(const std::vector<std::string>& texts) {
  TJson all = TJson::array();
  for (const std::string& t : texts) all.push_back(t);
  return all;
}

std::string JsonText(const TJson& json) {
  return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}
