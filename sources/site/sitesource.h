#pragma once
// The old search site behind the seam: its search session and its download source.
#include <memory>
#include <string>

#include "sources/source.h"

std::unique_ptr<TSearchSession> MakeSiteSearchSession(const std::string& expression, const TSearchAsk& ask);
std::unique_ptr<TDownloadSource> MakeSiteDownloadSource();
