// Recording the credited forms of a person's name while titles are imported.
//
// Each alias row of the catalogue ties one form of a name to the common name under which every
// form of that person is gathered, for one birth year (0 when unknown). The import calls these
// routines for every credit it reads; they add rows and change one only to keep every alias
// pointing straight at a common name, never delete one. The rows they add or change are noted for
// the catalogue's loaded alias list (store::CatalogueFile::NoteImported).
#pragma once

#include <cstdint>
#include <string_view>

namespace zel {

namespace store {
class CatalogueFile;
}  // namespace store

// Records that the person whose name parts make `full_name` was credited as `credited_name`, born
// in `birth_year`. Nothing happens when the two are equal (exact comparison) or either is empty.
// When the full name is already an alias, the credited name joins the same common name; when the
// credited name is already known (as alias or, with the full name unknown, as common name), it
// stays as it is or gains the full name as a further alias; when neither is known, the credited
// name becomes an alias of the full name. Lookups compare names as the engine compares text
// (ignoring case) and match the birth year exactly. Database errors reach the caller.
void RegisterAlias(store::CatalogueFile& database, std::string_view full_name,
                   std::string_view credited_name, int16_t birth_year);

// Records the comma form of a name that ends in a junior or senior suffix written without one:
// "Tom Hale Jr." becomes an alias of the common name "Tom Hale, Jr.". Names of four characters or
// fewer, names that already have the comma, and suffixes in capitals ("JR") record nothing.
void RegisterSuffixVariant(store::CatalogueFile& database, std::string_view name,
                           int16_t birth_year);

}  // namespace zel
