// make_reference: writes docs/reference.md, every class with its members, from the member tables.
//
//   make_reference            the reference on standard output
//   make_reference -o FILE    written to FILE
//   make_reference --check FILE
//                             exit 1 (saying so) when FILE differs from what would be written
#include <cctype>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/catalog.h"
#include "frame/class_docs.h"
#include "frame/object.h"
#include "store/connection.h"
#include "store/table_defs.h"

namespace zel {
namespace {

// Classes that scripts receive from other objects without naming them: the rows of a query and
// the table definitions. Two pairs share a class name, so each carries the heading it is shown
// under.
std::vector<std::pair<std::string, const ClassInfo*>> ReturnedClasses() {
  return {
      {"Recordset", &store::RecordSet::Info()},
      {"Fields (of a Recordset)", &store::Fields::Info()},
      {"Field (of a Recordset)", &store::Field::Info()},
      {"TableDefs", &store::TableDefs::Info()},
      {"TableDef", &store::TableDefObject::Info()},
      {"Fields (of a TableDef)", &store::ColumnDefs::Info()},
      {"Field (of a TableDef)", &store::FieldDef::Info()},
  };
}

// The anchor GitHub and most Markdown viewers give a heading.
std::string Anchor(const std::string& heading) {
  std::string anchor;
  for (char c : heading) {
    if (std::isalnum(static_cast<unsigned char>(c))) {
      anchor += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    } else if (c == ' ' || c == '-') {
      anchor += '-';
    }
  }
  return anchor;
}

void WriteClass(std::ostream& out, const std::string& heading, const ClassInfo& info) {
  out << "\n## " << heading << "\n\n";
  const std::string_view summary = ClassSummary(info.name());
  if (!summary.empty()) out << summary << ' ';
  if (info.creatable()) {
    out << "Created by calling it: `zelcontrol." << info.name() << "()`.";
  } else {
    out << "Obtained from other objects.";
  }
  if (info.reflection() == Reflection::kTolerant) {
    out << " `ReadProperty` of an unknown name gives an empty value.";
  } else if (info.reflection() == Reflection::kPlain) {
    out << " `ReadProperty` of an unknown name fails.";
  }
  out << "\n\n";
  if (info.members().empty()) out << "No members.\n";
  for (const Member& member : info.members()) {
    out << "- `" << MemberSignature(member) << "`: " << MemberKind(member) << '\n';
  }
}

std::string Reference() {
  std::vector<std::pair<std::string, const ClassInfo*>> classes;
  for (const ClassInfo* info : PublicClasses()) classes.emplace_back(info->name(), info);
  const auto returned = ReturnedClasses();
  std::ostringstream out;
  out << "# ZelControl class reference\n\n"
         "Every class of the library with its members, in interface order, one line each. This "
         "file is written by `make_reference` from the classes' member tables (`cmake --build "
         "build --target reference`); a test fails when it differs from what the program "
         "writes.\n\n"
         "From Python each public class is `zelcontrol.` + its name, and `help()` of it shows the "
         "same list. Members are found by name without regard to letter case; methods take their "
         "parameters by position or by name (`db.TVShows.Add(\"S1\", \"Title\", "
         "OriginalTitle=\"...\")`). A parameter shown with `=` may be left out: it then takes that "
         "value, or none for `=None`. Read-only properties cannot be assigned; object properties "
         "are assigned an object. The default member is what calling or indexing an object "
         "reaches (`db.Profiles(1)`, `db.Profiles[\"Key_1\"]`), the for-each member what a `for` "
         "loop walks.\n\n"
         "Public classes: ";
  for (size_t i = 0; i < classes.size(); ++i) {
    out << (i ? ", " : "") << "[" << classes[i].first << "](#" << Anchor(classes[i].first) << ")";
  }
  out << ".\n\nReturned by other objects: ";
  for (size_t i = 0; i < returned.size(); ++i) {
    out << (i ? ", " : "") << "[" << returned[i].first << "](#" << Anchor(returned[i].first) << ")";
  }
  out << ".\n";
  for (const auto& [heading, info] : classes) WriteClass(out, heading, *info);
  out << "\n# Objects returned by other objects\n";
  for (const auto& [heading, info] : returned) WriteClass(out, heading, *info);
  return out.str();
}

}  // namespace
}  // namespace zel

int main(int argc, char** argv) {
  const std::string reference = zel::Reference();
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode.empty()) {
    std::cout << reference;
    return 0;
  }
  if ((mode != "-o" && mode != "--check") || argc != 3) {
    std::cerr << "usage: make_reference [-o FILE | --check FILE]\n";
    return 2;
  }
  if (mode == "-o") {
    std::ofstream(argv[2], std::ios::binary) << reference;
    return 0;
  }
  std::ifstream in(argv[2], std::ios::binary);
  std::ostringstream stored;
  stored << in.rdbuf();
  if (stored.str() == reference) return 0;
  std::cerr << argv[2]
            << " differs from the member tables; write it again with `cmake --build build "
               "--target reference`\n";
  return 1;
}
