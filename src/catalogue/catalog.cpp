#include "catalogue/catalog.h"

#include "awards/awards.h"
#include "catalogue/control.h"
#include "catalogue/database.h"
#include "frame/collection.h"
#include "frame/dictionary.h"
#include "frame/text.h"
#include "model/credits.h"
#include "model/media.h"
#include "model/owner_records.h"
#include "model/profiles.h"
#include "model/reference_lists.h"
#include "people/aliases.h"
#include "store/info.h"
#include "tv/tv_show.h"

namespace zel {

const std::vector<const ClassInfo*>& PublicClasses() {
  // One class a line, so that adding a class touches one line.
  // clang-format off
  static const std::vector<const ClassInfo*> classes = {
      &Control::Info(),
      &ZelDatabase::Info(),
      &ZelProfile::Info(),
      &ZelProfiles::Info(),
      &ZelDisc::Info(),
      &ZelDiscs::Info(),
      &ZelVideo::Info(),
      &ZelAudioFormat::Info(),
      &ZelAudioFormats::Info(),
      &ZelReview::Info(),
      &ZelStudio::Info(),
      &ZelStudios::Info(),
      &ZelSRP::Info(),
      &ZelPurchaseInfo::Info(),
      &ZelLoanInfo::Info(),
      &ZelEvent::Info(),
      &ZelEvents::Info(),
      &ZelTag::Info(),
      &ZelTags::Info(),
      &ZelInfo::Info(),
      &ZelInfos::Info(),
      &ZelCredit::Info(),
      &ZelCredits::Info(),
      &ZelTVShow::Info(),
      &ZelTVShows::Info(),
      &ZelSeason::Info(),
      &ZelSeasons::Info(),
      &ZelEpisode::Info(),
      &ZelEpisodes::Info(),
      &ZelCurrency::Info(),
      &ZelCurrencies::Info(),
      &ZelUser::Info(),
      &ZelUsers::Info(),
      &ZelRetailer::Info(),
      &ZelRetailers::Info(),
      &ZelSQLQuery::Info(),
      &ZelSQLQueries::Info(),
      &ZelAlias::Info(),
      &ZelAliases::Info(),
      &ZelAward::Info(),
      &ZelAwards::Info(),
      &Collection::Info(),
      &Dictionary::Info(),
  };
  // clang-format on
  return classes;
}

const ClassInfo* FindPublicClass(std::string_view name) {
  for (const ClassInfo* info : PublicClasses()) {
    if (EqualsIgnoreCase(info->name(), name)) return info;
  }
  return nullptr;
}

}  // namespace zel
