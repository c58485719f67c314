// Titles removed from a catalogue are kept, with every row that belonged to them, in a catalogue
// file beside it: "films.removed.zel" beside "films.zel". It is made when a title is first removed,
// with the tables of the catalogue (of whatever schema), and is an ordinary catalogue that every
// command can read. RestoreRemovedTitles brings titles back from it.
//
// A title's rows are its Profiles row, the rows of every table keyed by its ProfileID and its
// box-set links, copied as the file stores them; the users, currencies and retailers they name go
// with them, so that the copy holds together on its own. A title removed again replaces its
// earlier copy.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace zel {

namespace store {
class CatalogueFile;
}  // namespace store

// The file that keeps the titles removed from the catalogue at `catalogue_path`.
std::string RemovedTitlesPath(const std::string& catalogue_path);

// Removes the profiles `profile_ids` from `database` with every row that belongs to them
// (RemoveProfileRows), keeping them in the removed-titles file first: the copies are committed
// before anything is removed, so a failure at any point loses no title. Returns that file's path.
// Raises kReadOnly when the catalogue is open for reading only, and the engine's errors.
std::string RemoveTitlesKeepingThem(store::CatalogueFile& database,
                                    const std::vector<std::string>& profile_ids);

struct RestoredTitles {
  std::string file;  // the removed-titles file
  // Brought back, and no longer kept in the file: ProfileID and title.
  std::vector<std::pair<std::string, std::string>> restored;
  // Still kept, with why: the catalogue holds a title of that ProfileID again, or refuses one of
  // its rows (a box-set link another box holds now, say).
  std::vector<std::pair<std::string, std::string>> kept;
};

// Brings back the removed titles that `ids` name (as DVD Profiler shows an ID, "123", or as its
// ProfileID, "Key_123"), or every title of the removed-titles file when `ids` is empty. Each title
// is brought back whole or not at all, and the loaded lists of the catalogue show it. Raises 53
// when there is no removed-titles file, 5 (before bringing back any) when an ID names no title of
// it, kReadOnly when the catalogue is open for reading only.
RestoredTitles RestoreRemovedTitles(store::CatalogueFile& database,
                                    const std::vector<std::string>& ids);

}  // namespace zel
