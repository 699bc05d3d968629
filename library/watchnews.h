#pragma once
// What is news to a watch: a record its run met, against what the watch knew of that
// application. No SQL and no requests: the run hands the records over, the store keeps
// what was seen.
#include <string>
#include <vector>

#include "library/record.h"
#include "library/watches.h"
#include "sources/source.h"

// A known application that changed.
struct TWatchChange {
  enum class TWhat { Publication, LegalState, LegalEvent };
  std::string application;
  TWhat what = TWhat::Publication;
  // Publication: the publications known before and known now ("; " between); legal: the
  // legal status before and now (its state, then its latest event).
  std::string before, after;
};

// "publication", "legal_state", "legal_event": the names --json gives them.
const char* WatchChangeName(TWatchChange::TWhat what);

// What the watch keeps of a record the run met: its application, its publications and,
// when its legal status was looked up, the state and latest event the status names.
TWatchSeen SeenOf(const TPatentRecord& record);

// A legal status as the watch keeps it, and back.
void SplitLegalStatus(const std::string& status, std::string& state, std::string& event);
std::string JoinedLegalStatus(const std::string& state, const std::string& event);

// How a known application changed between what the watch knew and what a run saw: a
// publication it did not know (a publication it knew but did not see now is no change: a
// narrowed search does not show old ones), and with legal a different state or else a
// different latest event, when the status was looked up both times.
std::vector<TWatchChange> ChangesOf(const TWatchSeen& before, const TWatchSeen& now, bool legal);

// The publications a watch downloads for an application: those the document choice takes
// of what is known now (as the download worker chooses), less those it knew before
// (fetched then, or not wanted then).
std::vector<std::string> NewDocuments(TDocumentChoice choice, const std::vector<std::string>& known,
                                      const std::vector<std::string>& now);
