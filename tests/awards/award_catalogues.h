// Catalogues for the award tests: a new file, or one whose Awards table has an older schema's form.
#pragma once

#include <memory>
#include <string>

#include "catalogue/control.h"
#include "catalogue/database.h"

namespace zel::testing {

// A new catalogue at `path`, reopened as a file of `schema` whose Awards table has that schema's
// columns: Won as text below 76, an AwardID column below 77, MovieYear from 80 on.
inline std::shared_ptr<ZelDatabase> AwardsCatalogue(Control& control, const std::string& path,
                                                    int16_t schema = 89) {
  auto db = control.CreateDatabase(path);
  if (schema >= 80) return db;
  db->DbExecute("DROP TABLE Awards");
  std::string columns =
      "Award varchar NOT NULL, Year integer NOT NULL, Category varchar, MovieTitle varchar NOT "
      "NULL";
  columns += schema < 76 ? ", Won varchar" : ", Won yesno";
  columns += ", Nominee varchar";
  if (schema < 77) columns += ", AwardID long";
  db->DbExecute("CREATE TABLE Awards (" + columns + ")");
  db->SetSchema(schema);
  control.CloseDatabase();
  return control.OpenDatabase(path);
}

// Adds one award row through the table's own columns, as the file of a schema from 80 on holds it.
inline void InsertAward(ZelDatabase& db, const std::string& award, int year,
                        const std::string& category, const std::string& title, bool won,
                        const std::string& nominee, int movie_year = -1) {
  db.DbExecute(
      "INSERT INTO Awards (Award, Year, Category, MovieTitle, Won, Nominee, MovieYear) "
      "VALUES ('" +
      award + "', " + std::to_string(year) + ", '" + category + "', '" + title + "', " +
      (won ? "true" : "false") + ", '" + nominee + "', " +
      (movie_year < 0 ? std::string("Null") : std::to_string(movie_year)) + ")");
}

}  // namespace zel::testing
