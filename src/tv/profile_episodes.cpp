// The profile's side of the profile-episode relation. ZelProfile is declared in the model layer,
// which sits below the television layer, so the two members that hand out episodes are defined
// here, beside the episodes, and the linker ties them to the class.
#include "frame/text.h"
#include "model/profile.h"
#include "store/catalogue_file.h"
#include "tv/episode.h"

namespace zel {

std::shared_ptr<ZelEpisodes> ZelProfile::Episodes() {
  if (episodes_) return episodes_;
  // Removing an episode from this list ends its assignment; adding one assigns it.
  episodes_ = ZelEpisodes::AssignedTo(profile_id_);
  store::CatalogueFile* database = catalogue_.Find();
  if (!database) return episodes_;
  episodes_->catalogue().Bind(*database);
  for (auto& episode :
       LoadEpisodes(*database,
                    "t.\"EpisodeID\" IN (SELECT \"EpisodeID\" FROM \"Profile2Episodes\" WHERE "
                    "\"ProfileID\" = ?)",
                    {store::StoredValue::Text(ReadKey())})) {
    episodes_->AddLoadedEpisode(episode);
  }
  return episodes_;
}

ObjectPtr ZelProfile::EpisodesObject() { return Episodes(); }

}  // namespace zel
