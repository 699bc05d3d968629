#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "base/path.h"

class THttpClient;

// Where the scanned pages of one record lie, read from its detail page.
struct TPageList {
  int pageCount = 0;
  std::string imageBase;  // the first page's address without its 10-byte file name
};

// Reads the page-viewer call of a detail page (the second call when there are two).
// Throws EPageListError when the marker is missing, the call has fewer than three
// fields, or its page count is not a decimal integer.
TPageList ReadPageList(const std::string& detailPage);

// "000001.tif" .. "999999.tif"; numbers of seven or more digits give "000001.tif".
std::string PageFileName(int n);

// The file names of one record below the temp and PDF directories. Both go through the
// base file-name rule, so an entry or title holding "/" never leaves its directory.
std::string MergedImageName(const std::string& number);
std::string PdfName(const std::string& title);

// One argument of a tool's parameter text, between double quotes. A quote or a run of
// backslashes before a quote is escaped so that the text splits back into exactly this
// argument; ordinary paths come out as '"' + path + '"'.
std::string QuoteToolArgument(const std::string& arg);

// The parameter texts of the merging tool (for page n) and of the converting tool, in the
// system's bytes; the folders end with "/".
std::string MergeToolParams(const TPath& tempDir, int page, const std::string& number);
std::string ConvertToolParams(const TPath& tempDir, const TPath& pdfDir, const std::string& number,
                              const std::string& title);

// Fetches the record's pages into the temp directory with the run's one client, merges
// each into the record's merged image (started afresh), reports the format line through
// `report`, and converts the merged image into the PDF. Both tools are awaited, so the
// PDF holds every page in order. Throws when a page file cannot be created or a page
// cannot be fetched; tool failures are not reported.
void DownloadRecordPages(THttpClient& pageClient, const TPath& tempDir, const TPath& pdfDir,
                         const std::string& number, const std::string& title, int pageCount,
                         const std::string& imageBase, const std::function<void(const std::string&)>& report);

// Wall time spent in the two tools by this process so far, for the download benchmark.
struct TToolTimes {
  int64_t mergeNs = 0;
  int64_t convertNs = 0;
  int64_t merges = 0;
  int64_t converts = 0;
};
TToolTimes ToolTimesSoFar();
