#pragma once
// The Open Patent Services behind the seam.
#include <memory>
#include <string>

#include "sources/source.h"

// The query the report shows and is named after: the CQL (GBK, characters GBK cannot
// write as references).
std::string OpsSearchExpression(const TSearchAsk& ask);
// Why the ask cannot be sent (GBK); "" when it can.
std::string OpsSearchProblem(const TSearchAsk& ask);
// Both throw EOpsNoCredentials (with the message of where to register) when no
// credentials are set.
std::unique_ptr<TSearchSession> MakeOpsSearchSession(const TSearchAsk& ask, TProgress progress);
std::unique_ptr<TDownloadSource> MakeOpsDownloadSource(TDocumentChoice choice, TProgress progress);
