// A title's cast and crew as read from its parsed DVD element, before anything is written.
//
// Reading them is most of the work of importing a title that is not the engine's own: walking the
// parsed tree, putting names together, reading roles and flags. It needs neither a catalogue nor
// any library-wide value besides the decimal separator of numbers, so an importer of many titles
// reads them on the thread that parses, beside the thread that writes. Writing an entry then only
// registers its names (aliases, crew types) and stores its row.
#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <vector>

namespace zel {

namespace xml {
class Node;
}

// One child of Actors or Credits (dividers included), as its CastCrew row.
struct CreditEntry {
  std::string name;  // as stored: the credited name where there is one, else the full name
  std::string role;
  int16_t position = 0;
  bool voice = false;
  bool uncredited = false;
  std::optional<bool> credit_only;  // of the cast, from schema 88 on
  int16_t birth_year = 0;
  // The name its parts give: registered as the alias of the credited name, or as a name whose
  // suffix may be written with a comma.
  std::string full_name;
  bool credited = false;
  // A crew role whose type the catalogue learns, unless it knows the role already.
  bool learns_crew_type = false;
  std::string crew_type;
  // Reading the entry failed: writing it raises this once its names are registered (or at once,
  // when `registers` is false), as reading and writing it in one go would have.
  std::exception_ptr failure;
  bool registers = true;
};

struct CreditList {
  std::vector<CreditEntry> entries;  // in document order
  bool episode_headings = false;     // a row's role is "[DivEpisode]"
};

struct TitleCredits {
  CreditList cast;
  CreditList crew;
};

// Reads the list element `list` (Actors when `cast`, else Credits; no node gives no entries) as
// the import of a catalogue of schema `schema` writes it. Never raises for the list's content:
// an entry that cannot be read carries its failure and ends the list.
CreditList ReadCredits(const xml::Node& list, bool cast, int16_t schema);

// Both lists of the DVD element `dvd`.
TitleCredits ReadTitleCredits(const xml::Node& dvd, int16_t schema);

}  // namespace zel
