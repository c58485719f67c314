// The changes the forms of a title page make: lend and return, tags, events, collection type and
// wish-list priority, notes.
//
// Every value is checked before anything is written (lengths, real dates, known choices, what the
// title's current state allows); a refused value names its field and nothing is stored. A change
// is made through the library's objects: the title is read and saved (ZelProfile.UpdateProfile)
// inside one write scope that is opened first, so no other writer can come between what the
// change was checked against and what it stores. A writer that holds the file longer than the
// engine waits makes the change fail as a whole, with the engine's message.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "frame/variant.h"
#include "web/http.h"

namespace zel {
class ZelDatabase;
}

namespace zel::web {

// The event types the forms offer, as the desktop program names them.
const std::vector<std::string>& EventTypes();
// The collection types the forms offer: the stored value and its label.
const std::vector<std::pair<std::string, std::string>>& CollectionChoices();
// Wish-list priorities run from 1 (lowest) to this; 0 is none.
inline constexpr int kMaxWishListPriority = 5;

struct EditResult {
  std::string note;                           // what changed, one line, when it was stored
  std::map<std::string, std::string> errors;  // by form field ("" for the form as a whole)
  bool ok() const { return errors.empty(); }
};

// Applies the form `fields` (its "action" and the values of that action) to the title
// `profile_id` of `database`, as of `now`. Refusals come back in the result; a failing save (the
// file busy or changed, a row the catalogue refuses) raises the library's error and stores nothing.
EditResult EditTitle(ZelDatabase& database, const std::string& profile_id, const HeaderList& fields,
                     Date now);

// A date as a form sends it (YYYY-MM-DD, a real calendar day from 1900 to 9999).
bool ParseFormDate(std::string_view text, Date& date);

}  // namespace zel::web
