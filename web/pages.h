// The HTML pages of `zel serve`, each rendered from the JSON its /api/... address answers with
// (data.h). Every text is escaped and every address built with EncodeSegment.
#pragma once

#include <string>

#include "web/data.h"

namespace zel::web {

std::string HomePage(const Json& data);
std::string TitlesPage(const Json& data);
std::string TitlePage(const Json& data);
std::string PersonPage(const Json& data);
std::string PeoplePage(const Json& data);
std::string SeriesListPage(const Json& data);
std::string SeriesPage(const Json& data);
std::string AwardsPage(const Json& data);
std::string SearchPage(const Json& data);
std::string StatsPage(const Json& data);
// A page with a heading and one paragraph (not found, bad request, server error).
// The page of an address that shows nothing: what was asked for, and a search for it.
std::string NotFoundPage(const std::string& path);
std::string MessagePage(const std::string& title, const std::string& message);

}  // namespace zel::web
