#pragma once
#include <optional>
#include <string>
#include <vector>

#include "demosite/corpus.h"

// The search site's query language as the program writes it:
//   名称=(words) and 摘要=(words) and 分类号=('%H01M%') and 申请号=('CN%02123456%')
// Terms are joined by "and" or "or" (evaluated left to right, blanks optional).
// Title and abstract terms match when every blank-separated word is a substring
// (any word, when the words are joined by "or"); a classification or number value in
// quotes is a LIKE pattern with "%" wildcards (case-blind for ASCII), without "%" a
// prefix. The number is matched against "CN" + digits + "." + check digit.
struct QueryTerm {
  enum Field { Title, Abstract, Class, Number } field;
  std::string value;  // GBK, between the parentheses
  bool orWithPrevious = false;
};

// nullopt when the text is not a query of this language (the site then finds nothing).
std::optional<std::vector<QueryTerm>> ParseQuery(const std::string& gbk);

bool Matches(const DemoRecord& record, const std::vector<QueryTerm>& query);

// SQL LIKE with "%" only; ASCII letters compared case-blind.
bool LikeMatch(const std::string& pattern, const std::string& text);
