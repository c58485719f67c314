#include "import/crew_types.h"

#include <array>
#include <memory>
#include <utility>

#include "frame/dictionary.h"
#include "frame/library_state.h"
#include "frame/text.h"
#include "store/catalogue_file.h"

namespace zel {

void FillCrewType(Dictionary& table) {
  if (table.Count() != 0) return;
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 19> kPairs = {{
      {"Director", "Direction"},
      {"Original Material By", "Writing"},
      {"Screenwriter", "Writing"},
      {"Writer", "Writing"},
      {"Original Characters By", "Writing"},
      {"Producer", "Production"},
      {"Executive Producer", "Production"},
      {"Director of Photography", "Cinematography"},
      {"Cinematographer", "Cinematography"},
      {"Film Editor", "Film Editing"},
      {"Composer", "Music"},
      {"Song Writer", "Music"},
      {"Sound Designer", "Sound"},
      {"Supervising Sound Editor", "Sound"},
      {"Sound Editor", "Sound"},
      {"Sound Re-Recording Mixer", "Sound"},
      {"Production Sound Mixer", "Sound"},
      {"Production Designer", "Art"},
      {"Art Director", "Art"},
  }};
  for (const auto& [role, crew_type] : kPairs) table.Add(std::string(role), Variant(crew_type));
}

std::string ProfilerCrewType(const Dictionary& table, std::string_view role) {
  return table.TextOr(role, "");
}

Dictionary& CrewMappingTable() {
  std::shared_ptr<Dictionary>& table = State().crew_mapping_table;
  if (!table) table = std::make_shared<Dictionary>();
  return *table;
}

void LoadCrewMapping(std::string_view mapping_text) {
  Dictionary& table = CrewMappingTable();
  table.RemoveAll();
  if (mapping_text.empty()) return;
  for (const std::string& entry : Split(mapping_text, "|")) {
    const std::vector<std::string> pieces = Split(entry, "=");
    if (pieces.size() < 2) continue;
    if (!table.Exists(pieces[0])) table.Add(pieces[0], Variant(pieces[1]));
  }
}

bool IsLearnableCrewText(std::string_view text) {
  return text.find_first_of("|=") == std::string_view::npos;
}

void LearnCrewType(store::CatalogueFile& database, std::string_view role,
                   std::string_view crew_type) {
  if (!IsLearnableCrewText(role) || !IsLearnableCrewText(crew_type)) return;
  std::string mapping = database.ReadDbInfo("CrewMapping", "");
  // The table in memory may lag behind the stored mapping (a rolled-back import forgets it), so
  // the stored one decides whether the role is new.
  LoadCrewMapping(mapping);
  if (CrewMappingTable().Exists(role)) return;
  if (!mapping.empty()) mapping += "|";
  mapping += std::string(role) + "=" + std::string(crew_type);
  database.WriteDbInfo("CrewMapping", mapping);
  LoadCrewMapping(mapping);
}

}  // namespace zel
