// Small text helpers for building statements.
#pragma once

#include <string>
#include <string_view>

namespace zel {

class ZelDatabase;

// `text` with every single quote doubled, for placing between single quotes in a statement.
std::string QuoteSql(std::string_view text);

// "True" or "False".
std::string BoolText(bool flag);

// Deletes one owner's rows from one table of `database` ("DELETE FROM table WHERE ProfileID =
// ...").
void DeleteProfileRows(ZelDatabase& database, std::string_view profile_id, std::string_view table);

}  // namespace zel
