#pragma once
// Lists of texts as the library's columns hold them: JSON arrays of strings (UTF-8).
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

inline std::string ListJson(const std::vector<std::string>& list) {
  return nlohmann::json(list).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// The strings of a JSON array; what is not one reads as empty, other entries are skipped.
inline std::vector<std::string> ListFrom(const std::string& text) {
  std::vector<std::string> list;
  const nlohmann::json j = nlohmann::json::parse(text, nullptr, false);
  if (j.is_array())
    for (const nlohmann::json& v : j)
      if (v.is_string()) list.push_back(v.get<std::string>());
  return list;
}
