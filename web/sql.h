// Pieces shared by the data functions of `zel serve`: the JSON type, the error of a request that
// cannot be answered as asked, statements built piece by piece with their values bound, and the
// reading of a person's names. Every value taken from outside reaches a statement as a bound
// parameter.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "frame/variant.h"
#include "store/plain_database.h"

namespace zel::web {

using Json = nlohmann::ordered_json;

// A request the data functions cannot answer as asked: an unknown choice, a page number out of
// range, a letter jump in an order other than by title. The message is for people and names the
// values that exist; the server answers it with 400.
class QueryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The values of a statement built piece by piece: each Add returns the placeholder ("?3") that
// stands for its value in the text; Bind gives them all to the prepared statement.
class SqlParams {
 public:
  std::string Add(std::string text);
  std::string Add(int64_t number);
  void Bind(store::PlainStatement& statement) const;

 private:
  std::vector<std::variant<std::string, int64_t>> values_;
};

// Runs `sql` with `params` and gives its first column of the first row as a number (0 without).
int64_t CountOf(store::PlainDatabase& db, const std::string& sql, const SqlParams& params = {});

// ISO date text, or null for "no date".
Json DateJson(Date date);
// A date the index keeps as its JSON text, or null (a null column).
Json StoredDateJson(const store::PlainStatement& row, int column);
// An amount kept in ten-thousandths, as JSON, or null for a null column.
Json StoredAmountJson(const store::PlainStatement& row, int column);

// The kind of a list divider by its marker role ("Group", "Episode", "Team", "End", "Divider"),
// or empty for a real credit.
std::string DividerKind(std::string_view role);
// "(c.Role IS NULL OR c.Role NOT IN (...the divider markers...))" for a credit table alias.
std::string NotDivider(std::string_view alias);

// A person's common name and every name credited to them: the common name first, then each alias
// of it that differs from the names before it in more than letter case.
struct PersonNames {
  std::string common_name;
  std::vector<std::string> names;
  struct Alias {
    std::string name;
    int64_t birth_year = 0;
  };
  std::vector<Alias> aliases;  // every alias row of the common name, by name
};
// Read from the catalogue's Alias table (schema main of `db`).
PersonNames NamesOfPerson(store::PlainDatabase& db, const std::string& name);
// "(SELECT ...)": the index ids of the titles crediting one of the person's names, for an IN
// test of ix.titles.id; read from the index, a few pages however many titles credit the person.
std::string TitlesCrediting(const PersonNames& person, SqlParams& params);
// "(?4, ?5)": the names as parameters, for an IN list.
std::string InList(const std::vector<std::string>& values, SqlParams& params);

}  // namespace zel::web
