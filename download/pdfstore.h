#pragma once
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "base/path.h"

// The PDF folder: which record a stored PDF belongs to, and the name a record's PDF
// takes, so that patents of one title never replace each other's PDF.

// The application number a stored PDF belongs to, read from its keywords; empty when the
// file does not read or was not written for a record.
std::string PdfOwner(const TPath& pdf);

// The names of the PDFs of one run below one PDF folder. A record's PDF keeps the name
// that its number's PDF has there already; else it takes title.pdf when no other number
// holds that name (on disk, or earlier in the run), else title(number).pdf. Long titles
// are shortened by the file-name rule, with the number as the tail. Shared by the jobs
// of a run.
// Where the PDF of a name lies in dir. A name is GBK page text: a character GBK cannot
// write stands in it as "&#N;", and reaches the file system as itself (UTF-8).
TPath PdfPathIn(const TPath& dir, const std::string& name);

class TPdfNames {
 public:
  explicit TPdfNames(TPath pdfDir) : dir_(std::move(pdfDir)) {}
  std::string NameFor(const std::string& title, const std::string& number);
  // The name of the number's PDF when one is in the folder already (a PDF appears there
  // only complete); nothing otherwise.
  std::optional<std::string> ExistingFor(const std::string& title, const std::string& number) const;

 private:
  // The number that holds the name: "" for a PDF of no known record, nothing when the
  // name is free.
  std::optional<std::string> HolderOf(const std::string& name) const;
  // The two names a PDF of the title may have: title.pdf and title(number).pdf.
  static std::pair<std::string, std::string> Candidates(const std::string& title, const std::string& number);

  TPath dir_;  // ends with "/"
  mutable std::mutex mutex_;
  std::map<std::string, std::string> taken_;  // name → number, this run
};
