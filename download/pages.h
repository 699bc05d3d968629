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

// The merged image of one record in the temp directory, named after the list entry by
// the base file-name rule, so an entry holding "/" never leaves its directory.
std::string MergedImageName(const std::string& number);

// One argument of a tool's parameter text, between double quotes. A quote or a run of
// backslashes before a quote is escaped so that the text splits back into exactly this
// argument; ordinary paths come out as '"' + path + '"'.
std::string QuoteToolArgument(const std::string& arg);

// The parameter texts of the merging tool (page n of the temp directory, which ends with
// "/") and of the converting tool (the merged image into out, with the record's number in
// the PDF's keywords), in the system's bytes.
std::string MergeToolParams(const TPath& tempDir, int page, const std::string& number);
std::string ConvertToolParams(const TPath& mergedImage, const TPath& out, const std::string& owner);

// What DownloadRecordPages needs of one record.
struct TRecordPages {
  TPath tempDir;          // page files and the merged image; ends with "/"
  TPath pdf;              // where the record's PDF goes
  std::string number;     // the list entry: names the merged image
  std::string owner;      // the record's application number, written into the PDF
  int pageCount = 0;
  std::string imageBase;  // the first page's address without its file name
};

// Fetches the record's pages into the temp directory with the run's one client, merges
// each into the record's merged image (started afresh), reports the format line through
// `report`, and converts the merged image into the PDF. Both tools are awaited, so the
// PDF holds every page in order; the PDF is written under a temporary name and appears
// under its own only when the conversion succeeded. Throws when a page file cannot be
// created, a page cannot be fetched, or a tool fails (EConversionError).
void DownloadRecordPages(THttpClient& pageClient, const TRecordPages& record,
                         const std::function<void(const std::string&)>& report);

// Wall time spent in the two tools by this process so far, for the download benchmark.
struct TToolTimes {
  int64_t mergeNs = 0;
  int64_t convertNs = 0;
  int64_t merges = 0;
  int64_t converts = 0;
};
TToolTimes ToolTimesSoFar();
