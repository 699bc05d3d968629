#pragma once
// The demo site's pages, written from its records in the markup the program reads; every
// text is GBK.
#include <cstddef>
#include <string>
#include <vector>

#include "demosite/corpus.h"

// The content type of every page.
extern const char kHtml[];

// The result list of a search: page `pg` of `hits`, `recshu` rows a page, under the
// search expression `word` as it was sent. Without hits, a non-empty `noHitRow` stands as
// one row: the row marker, those bytes, "</tr>".
std::string ResultListPage(const std::string& word, const std::vector<const DemoRecord*>& hits, int recshu, int pg,
                           const std::string& noHitRow = "");

// The detail page of a record; its page-viewer calls point at `host`.
std::string DetailPage(const DemoRecord& record, const std::string& host);

// The legal-status table of a record, or its "nothing found" form for nullptr.
std::string LegalStatusPage(const DemoRecord* record);

// The body of a 404 answer, saying `textGbk`.
std::string NotFoundPage(const std::string& textGbk);

// The body of a 500 answer.
std::string ServerErrorPage();

// The maker's version file: `ver`, a download address on `host`, the offer text.
std::string VersionFile(const std::string& ver, const std::string& host);

// The dictionary (`dictionary`) or web-search page, showing the query it was given.
std::string LookupPage(bool dictionary, const std::string& query);

// A small page naming the path it was asked for.
std::string PlainPage(const std::string& path);

// The start page: what the site holds and a search form.
std::string HomePage(std::size_t recordCount);
