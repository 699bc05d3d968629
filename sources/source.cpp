#include "sources/source.h"

#include <algorithm>

#include "base/appdir.h"
#include "base/bytes.h"
#include "base/ini.h"
#include "sources/opsaccount.h"
#include "sources/cnnumbers.h"
#include "sources/ops/opsnumbers.h"
#include "sources/ops/opssource.h"
#include "sources/site/siteops.h"
#include "sources/site/sitesource.h"
#include "sources/sourcetexts.h"

namespace {
TPath SourceIniPath() { return SettingsDirectory() + "/source.ini"; }
}  // namespace

const char* SourceName(TSourceKind kind) { return kind == TSourceKind::Ops ? "ops" : "site"; }

std::optional<TSourceKind> ReadSourceName(const std::string& name) {
  const std::string n = LowerAscii(TrimBytes(name));
  if (n == "ops") return TSourceKind::Ops;
  if (n == "site") return TSourceKind::Site;
  return std::nullopt;
}

std::string SourceTitle(TSourceKind kind) {
  return kind == TSourceKind::Ops ? sourcetext::kOpsTitle : sourcetext::kSiteTitle;
}

std::optional<TSourceKind> SavedSource() {
  return ReadSourceName(IniReadString(SourceIniPath(), "source", "source", ""));
}

void SaveSource(TSourceKind kind) {
  WriteTextLines(SourceIniPath(), {"[source]", std::string("source=") + SourceName(kind)});
}

TSourceKind ChooseSource(std::optional<TSourceKind> explicitChoice) {
  if (explicitChoice) return *explicitChoice;
  if (std::optional<TSourceKind> saved = SavedSource()) return *saved;
  return ProgramDirectoryWritable() ? TSourceKind::Site : TSourceKind::Ops;
}

int TypeCodeOf(const std::string& number) {
  char c = 0;
  if (number.size() == 6 || number.size() == 8) c = number[2];
  else if (number.size() == 12) c = number[4];
  return (c >= '0' && c <= '9') ? c - '0' : 0;
}

std::string TypeNameOf(const std::string& number) {
  switch (TypeCodeOf(number)) {
    case 1: return sourcetext::kInvention;
    case 2: return sourcetext::kUtilityModel;
    case 3: return sourcetext::kDesign;
    case 8: return sourcetext::kInventionPct;
    case 9: return sourcetext::kUtilityModelPct;
    default: return sourcetext::kUnknownType;
  }
}

std::string NotReadyReason(TSourceKind kind) {
  if (kind != TSourceKind::Ops || OpsCredentialsSet()) return {};
  return MissingCredentialsMessage();
}

TListEntry ReadListEntry(TSourceKind kind, const std::string& entry, std::string& reason) {
  TCnNumber number;
  if (!ReadCnNumber(entry, number, reason)) return TListEntry::Unfetchable;
  if (number.form == TCnNumber::TForm::Application) return TListEntry::Application;
  if (kind == TSourceKind::Ops) return TListEntry::Publication;
  // The site finds records by application number only.
  std::string digits;
  ReadPastedNumber(entry, digits, reason);
  return TListEntry::Unfetchable;
}

std::string PageFileName(int n) {
  std::string digits = std::to_string(n);
  if (n < 0 || digits.size() > 6) return "000001.tif";
  return std::string(6 - digits.size(), '0') + digits + ".tif";
}


std::optional<TDocumentChoice> ReadDocumentChoice(const std::string& name) {
  if (name == "grant") return TDocumentChoice::Grant;
  if (name == "application") return TDocumentChoice::Application;
  if (name == "both") return TDocumentChoice::Both;
  return std::nullopt;
}

std::string SearchExpression(TSourceKind kind, const TSearchAsk& ask) {
  if (kind == TSourceKind::Site) return BuildSearchExpression(ask.title, ask.abstractWords, ask.classification);
  return OpsSearchExpression(ask);
}

std::string SearchAskProblem(TSourceKind kind, const TSearchAsk& ask) {
  return kind == TSourceKind::Ops ? OpsSearchProblem(ask) : std::string();
}

const TPublicationFact* TSearchFacts::Main() const {
  const TPublicationFact* main = nullptr;
  for (const TPublicationFact& p : publications)
    if (p.grant && (!main || !main->grant)) main = &p;
  if (main) return main;
  for (const TPublicationFact& p : publications)
    if (!main || (!p.date.empty() && (main->date.empty() || p.date < main->date))) main = &p;
  return main;
}

std::string TSearchFacts::PublicationDate() const {
  std::string first;
  for (const TPublicationFact& p : publications)
    if (!p.date.empty() && (first.empty() || p.date < first)) first = p.date;
  return first;
}

std::string TSearchFacts::GrantDate() const {
  for (const TPublicationFact& p : publications)
    if (p.grant) return p.date;
  return {};
}

void TSearchFacts::Add(const TPublicationFact& publication) {
  for (const TPublicationFact& p : publications)
    if (p.shown == publication.shown) return;
  publications.push_back(publication);
}

std::unique_ptr<TSearchSession> OpenSearchSession(TSourceKind kind, const TSearchAsk& ask,
                                                  const std::string& expression, TProgress progress) {
  if (kind == TSourceKind::Site) return MakeSiteSearchSession(expression, ask);
  return MakeOpsSearchSession(ask, std::move(progress));
}

std::vector<std::string> ChosenPublications(TDocumentChoice choice, const std::vector<std::string>& publications) {
  std::vector<TOpsPublication> pubs;
  for (const std::string& p : publications) {
    TOpsNumber number;
    std::string reason;
    if (ReadOpsNumber(p, number, reason) && number.form == TOpsNumber::TForm::Publication &&
        std::find(pubs.begin(), pubs.end(), number.publication) == pubs.end())
      pubs.push_back(number.publication);
  }
  const TOpsDocument document = choice == TDocumentChoice::Grant         ? TOpsDocument::Grant
                                : choice == TDocumentChoice::Application ? TOpsDocument::Application
                                                                         : TOpsDocument::Both;
  std::vector<std::string> chosen;
  for (const TOpsPublication& p : ChoosePublications(pubs, document)) chosen.push_back(p.Shown());
  return chosen;
}

std::unique_ptr<TDownloadSource> MakeDownloadSource(TSourceKind kind, TDocumentChoice choice, TProgress progress) {
  if (kind == TSourceKind::Site) return MakeSiteDownloadSource();
  return MakeOpsDownloadSource(choice, std::move(progress));
}
