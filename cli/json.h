#pragma once
// The --json documents of varnolt-cli, built with the JSON library that also reads OPS's
// token replies. Members keep the order they are set in.
#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

using TJson = nlohmann::ordered_json;

// A GBK text as a string (UTF-8), or null when there is none.
TJson GbkOrNull(const std::optional<std::string>& gbk);
// A UTF-8 text as a string, or null when it is empty.
TJson TextOrNull(const std::string& text);
// UTF-8 texts as an array of strings.
TJson Strings(const std::vector<std::string>& texts);

// The document on one line, ending with a line break; bytes that are not UTF-8 (a path
// the system gave) become U+FFFD instead of failing the write.
std::string JsonText(const TJson& json);
