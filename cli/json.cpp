#include "cli/json.h"

#include "base/gbk.h"

TJson GbkOrNull(const std::optional<std::string>& gbk) { return gbk ? TJson(GbkToUtf8(*gbk)) : TJson(nullptr); }

std::string JsonText(const TJson& json) {
  return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}
