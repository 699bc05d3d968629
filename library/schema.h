#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The library's schema as a list of migrations: entry i takes a file from version i to
// version i + 1 (PRAGMA user_version). A new version appends an entry and never edits
// one that has shipped, so every older file moves forward step by step.
const std::vector<std::string>& LibraryMigrations();

// A page text's row id: its document's id times kPageSlots plus its page number, so that
// find knows a page's document from the full-text index's row id alone.
constexpr int64_t kPageSlots = 100000;
