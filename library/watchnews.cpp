#include "library/watchnews.h"

#include <algorithm>

#include "base/bytes.h"
#include "sources/source.h"

namespace {

// The full-width colon between a legal status's state and its event (UTF-8).
const std::string kStateSeparator = "\xef\xbc\x9a";

std::string Joined(const std::vector<std::string>& list) {
  std::string out;
  for (const std::string& s : list) out += (out.empty() ? "" : "; ") + s;
  return out;
}

}  // namespace

const char* WatchChangeName(TWatchChange::TWhat what) {
  switch (what) {
    case TWatchChange::TWhat::Publication: return "publication";
    case TWatchChange::TWhat::LegalState: return "legal_state";
    case TWatchChange::TWhat::LegalEvent: break;
  }
  return "legal_event";
}

void SplitLegalStatus(const std::string& status, std::string& state, std::string& event) {
  state.clear();
  event.clear();
  const std::string text = TrimBytes(status);
  if (text.empty()) return;
  state = LegalStateName(LegalStateOf(text));
  const size_t at = text.find(kStateSeparator);
  event = at == std::string::npos ? (text == state ? "" : text) : TrimBytes(text.substr(at + kStateSeparator.size()));
}

std::string JoinedLegalStatus(const std::string& state, const std::string& event) {
  return event.empty() ? state : state + kStateSeparator + event;
}

TWatchSeen SeenOf(const TPatentRecord& record) {
  TWatchSeen seen;
  seen.application = ApplicationDigits(record.application.empty() ? record.applicationOriginal : record.application);
  for (const TPublicationRef& p : record.publications)
    if (!TrimBytes(p.number).empty()) seen.publications.push_back(UpperAscii(TrimBytes(p.number)));
  std::sort(seen.publications.begin(), seen.publications.end());
  seen.publications.erase(std::unique(seen.publications.begin(), seen.publications.end()), seen.publications.end());
  SplitLegalStatus(record.legalStatus, seen.legalState, seen.legalEvent);
  return seen;
}

std::vector<TWatchChange> ChangesOf(const TWatchSeen& before, const TWatchSeen& now, bool legal) {
  std::vector<TWatchChange> changes;
  std::vector<std::string> all = before.publications;
  bool added = false;
  for (const std::string& p : now.publications)
    if (std::find(all.begin(), all.end(), p) == all.end()) {
      all.push_back(p);
      added = true;
    }
  if (added) {
    std::sort(all.begin(), all.end());
    changes.push_back({now.application, TWatchChange::TWhat::Publication, Joined(before.publications), Joined(all)});
  }
  if (legal && !before.legalState.empty() && !now.legalState.empty() &&
      (before.legalState != now.legalState || before.legalEvent != now.legalEvent))
    changes.push_back({now.application,
                       before.legalState != now.legalState ? TWatchChange::TWhat::LegalState
                                                           : TWatchChange::TWhat::LegalEvent,
                       JoinedLegalStatus(before.legalState, before.legalEvent),
                       JoinedLegalStatus(now.legalState, now.legalEvent)});
  return changes;
}

std::vector<std::string> NewDocuments(TDocumentChoice choice, const std::vector<std::string>& known,
                                      const std::vector<std::string>& now) {
  std::vector<std::string> all = known;
  all.insert(all.end(), now.begin(), now.end());
  std::vector<std::string> fresh;
  for (const std::string& p : ChosenPublications(choice, all))
    if (std::find(known.begin(), known.end(), p) == known.end()) fresh.push_back(p);
  return fresh;
}
