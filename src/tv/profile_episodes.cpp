// The profile's side of the profile-episode relation. ZelProfile is declared in the model layer,
// which sits below the television layer, so the two members that hand out episodes are defined
// here, beside the episodes, and the linker ties them to the class.
#include "frame/text.h"
#include "model/profile.h"
#include "store/catalogue_file.h"
#include "store/text_helpers.h"
#include "tv/episode.h"

namespace zel {

std::shared_ptr<ZelEpisodes> ZelProfile::Episodes() {
  if (episodes_) return episodes_;
  // Removing an episode from this list ends its assignment; adding one assigns it.
  episodes_ = ZelEpisodes::AssignedTo(profile_id_);
  store::CatalogueFile* database = catalogue_.Find();
  if (!database) return episodes_;
  episodes_->catalogue().Bind(*database);
  auto records = database->DbOpenRecordSet(
      "SELECT e.EpisodeID , EpisodeNo, EpisodeTitle, EpisodeOriginalTitle, Season, Overview, "
      "RunTime, Rating, RatingDetails, RatingSystem, Airdate, Notes, SeriesID  FROM Episodes e "
      "INNER JOIN Profile2Episodes p ON e.EpisodeID = p.EpisodeID WHERE ProfileID = '" +
      QuoteSql(profile_id_) + "'");
  for (; !records->Eof(); records->MoveNext()) {
    episodes_->AddLoadedEpisode(EpisodeFromRecord(*database, *records));
  }
  return episodes_;
}

ObjectPtr ZelProfile::EpisodesObject() { return Episodes(); }

}  // namespace zel
