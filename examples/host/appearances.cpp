// appearances CATALOGUE NAME: every title and episode that credits a person, under any of the
// names the catalogue gathers under the person's common name. A host program of the ZelControl
// library in a few lines: open the catalogue through Control, ask the database, read the objects.
#include <iostream>
#include <memory>

#include "catalogue/control.h"
#include "catalogue/database.h"
#include "frame/collection.h"
#include "frame/error.h"
#include "model/profile.h"
#include "tv/episode.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: appearances CATALOGUE NAME\n";
    return 2;
  }
  try {
    zel::Control control;
    std::shared_ptr<zel::ZelDatabase> database = control.OpenDatabase(argv[1]);
    std::cout << argv[2] << " (" << database->GetCommonName(argv[2]) << ")\n";
    // Episodes first, then titles; one entry per credit.
    const std::shared_ptr<zel::Collection> found = database->FindAppearances(argv[2]);
    for (const zel::Variant& item : found->Items()) {
      const zel::ObjectPtr object = item.ToObject();
      if (const auto episode = std::dynamic_pointer_cast<zel::ZelEpisode>(object)) {
        std::cout << "episode  " << episode->EpisodeID() << "  " << episode->Title() << '\n';
      } else if (const auto profile = std::dynamic_pointer_cast<zel::ZelProfile>(object)) {
        std::cout << "title    " << profile->ProfileID() << "  " << profile->Title() << " ("
                  << profile->ProductionYear() << ")\n";
      }
    }
    std::cout << found->Count() << " appearances\n";
    control.CloseDatabase();
  } catch (const zel::Error& error) {
    std::cerr << "appearances: " << error.description() << " (error " << error.number() << ")\n";
    return 1;
  }
  return 0;
}
