// Small text helpers for building statements.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zel {

class Variant;
namespace store {
class CatalogueFile;
}  // namespace store

// `text` with every single quote doubled, for placing between single quotes in a statement.
std::string QuoteSql(std::string_view text);

// "True" or "False".
std::string BoolText(bool flag);

// Deletes one owner's rows from one table of `database` ("DELETE FROM table WHERE ProfileID =
// ...").
void DeleteProfileRows(store::CatalogueFile& database, std::string_view profile_id,
                       std::string_view table);

// A stored number read into a 16-bit property: Null gives 0, and a number beyond the 16-bit range
// (which the file's 32-bit columns may hold) the nearest 16-bit value, so that one such row never
// makes a whole list unreadable.
int16_t Int16Column(const Variant& value);

// A yes/no column in either stored form: a boolean, or the texts "True"/"False" of files before
// schema 76. Null and empty text are false.
bool StoredFlag(const Variant& value);
// Whether a credit row's IsCast marks a cast credit: a boolean, or the exact text "yes" of files
// before schema 76 (where "Yes", "no" and empty text are crew).
bool StoredCastFlag(const Variant& value);

// Runs the INSERT of one row of a record being saved. A save never stores less than it holds: when
// the engine refuses the row, this fails with error 3022 and `refusal`, which names the record and
// says why ("Audio track 2 of 'P1' could not be stored: ..."). Callers run it in their write scope,
// so the failed save writes nothing.
void InsertSavedRow(store::CatalogueFile& database, std::string_view sql, std::string_view refusal);

}  // namespace zel
