// The parts of a title, as the import writes them and as locks name them, and the marks that
// remember which parts were edited here since the title was last imported.
//
// A part is a set of rows of one table (the cast, the tags, the loan...) or some columns of the
// title's Profiles row (its title, its notes...), named as the lock that keeps it from the import
// ("Cast", "Notes"). Saves made here, through the library and so through zel, the web and scripts,
// mark each part they change with an entry of MetaInfo under EditMarkKey(ProfileID), named by the
// part. Its value is a digest of the part as it stood before the first such change: as the last
// import left it. A later import compares the export's version of a marked part with that digest.
// Equal, the export did not change the part, and the work done here stays. Different, the two
// conflict.
//
// The marks are rows of the catalogue's own MetaInfo table, so they travel with every copy of the
// catalogue (export and restore, compact, backup, the removed-titles file). Removing or moving a
// profile's rows takes its marks along.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "store/row_images.h"

namespace zel::store {

class Connection;

struct TitlePart {
  std::string_view name;  // the lock name
  Table table = Table::kProfiles;
  std::string_view key = "ProfileID";  // the column naming the title
  // A column every import draws anew, left out of comparisons.
  std::string_view leave_out = {};
  // Of MetaInfo: the entries of the part, "|" around each name.
  std::string_view names = {};
  // Of a table that keeps two parts (CastCrew): the yes/no column telling them apart, and its
  // value in this one.
  std::string_view flag = {};
  bool flag_value = false;
  // Of Profiles: the columns of the part.
  std::vector<std::string_view> columns = {};
};

// The part named `name` (letter case ignored); nullptr for none.
const TitlePart* FindTitlePart(std::string_view name);

// The stored rows of a part of the title `profile_id`, each as one text, sorted: equal before and
// after an import that changed nothing of it. Columns or tables the file does not have are left
// out; a part of Profiles is one row of its columns.
std::vector<std::string> PartRows(Connection& connection, std::string_view profile_id,
                                  const TitlePart& part);
// A short, stable digest of such rows.
std::string PartDigest(const std::vector<std::string>& rows);

// The stored values of the columns of a part of Profiles, and putting them back.
std::vector<StoredValue> ReadPartColumns(Connection& connection, std::string_view profile_id,
                                         const TitlePart& part);
void WritePartColumns(Connection& connection, std::string_view profile_id, const TitlePart& part,
                      const std::vector<StoredValue>& values);

struct EditMark {
  std::string part;    // as the part is named
  std::string digest;  // of the part as the last import left it
};

// The MetaInfo key under which the marks of a profile are kept; never a profile's own.
std::string EditMarkKey(std::string_view profile_id);
// The parts of the profile edited here since its last import.
std::vector<EditMark> ReadEditMarks(Connection& connection, std::string_view profile_id);
// Stores the mark, replacing one of the same part.
void WriteEditMark(Connection& connection, std::string_view profile_id, const EditMark& mark);
void DropEditMark(Connection& connection, std::string_view profile_id, std::string_view part);
// Drops every mark of the profile, or moves them to `to` when it is not empty.
void DropEditMarks(Connection& connection, std::string_view profile_id, std::string_view to = {});

// Called by every guarded write of a save before it writes: marks the parts of the title that the
// write changes (`changed`: the columns it writes; empty for a whole row, inserted or deleted),
// the row holding `row`. Only profiles an import may write ("Key_" + ID) are marked: writes to
// other tables, to rows of other profiles or of no profile, and writes while an UnmarkedWrites
// lives mark nothing.
void MarkEditedHere(Connection& connection, Table table, const std::vector<StoredValue>& row,
                    const ColumnValues& changed);

// While it lives, the writes on `connection` mark nothing: they bring what came from outside, as
// the import does.
class UnmarkedWrites {
 public:
  explicit UnmarkedWrites(Connection& connection);
  ~UnmarkedWrites();
  UnmarkedWrites(const UnmarkedWrites&) = delete;
  UnmarkedWrites& operator=(const UnmarkedWrites&) = delete;

 private:
  Connection& connection_;
};

}  // namespace zel::store
