// Crew types: which department ("Sound") a crew role ("Sound Editor") belongs to.
//
// Two maps exist. The fixed crew-type table of a Control answers callers; the learned mapping is
// kept in the catalogue as the DbInfo entry "CrewMapping" ("Gaffer=Lighting|Driver=Stunts") and
// held per thread in State().crew_mapping_table, which the crew import consults and extends. Both
// compare roles exactly, case included.
#pragma once

#include <string>
#include <string_view>

namespace zel {

class Dictionary;
namespace store {
class CatalogueFile;
}  // namespace store

// Puts the 19 well-known role/crew-type pairs into `table`, in their fixed order, when `table` is
// empty; a table holding any pair is left alone, so calling this again never duplicates or
// overrides.
void FillCrewType(Dictionary& table);

// The crew type of `role` in `table`; empty text when the table lacks the role. Never fails.
std::string ProfilerCrewType(const Dictionary& table, std::string_view role);

// This thread's learned mapping, created empty on first use. Filled only by LoadCrewMapping.
Dictionary& CrewMappingTable();

// Replaces the contents of CrewMappingTable() by the entries of a stored mapping text: entries are
// separated by "|", each is split at "=" into the role before the first "=" and the crew type after
// it (up to a further "=", if any). The first entry of a role wins; an empty text leaves the table
// empty. An entry without "=" cannot be read back as a pair and is skipped, so that one damaged
// entry in the stored text does not stop every later import. Never fails.
void LoadCrewMapping(std::string_view mapping_text);

// Whether a role or crew type may be recorded in the stored mapping text. A text holding "|" or "="
// would break its entry apart, so learning must skip such a role rather than store it.
bool IsLearnableCrewText(std::string_view text);

// Appends the pair `role`/`crew_type` to the learned mapping stored in `database` (DbInfo entry
// "CrewMapping") and reloads CrewMappingTable() from the whole stored text. The crew import calls
// it for a role that CrewMappingTable() lacks, so the first new role a process meets may repeat an
// entry already stored; the reload keeps the first one. A role or crew type that is not learnable
// (IsLearnableCrewText) is not recorded. Database errors reach the caller.
void LearnCrewType(store::CatalogueFile& database, std::string_view role,
                   std::string_view crew_type);

}  // namespace zel
