#include "frame/catalog.h"

#include "awards/awards.h"
#include "frame/collection.h"
#include "frame/control.h"
#include "frame/dictionary.h"
#include "frame/text.h"
#include "people/aliases.h"
#include "store/database.h"
#include "store/info.h"

namespace zel {

const std::vector<const ClassInfo*>& PublicClasses() {
  // One class a line, so that adding a class touches one line.
  // clang-format off
  static const std::vector<const ClassInfo*> classes = {
      &Control::Info(),
      &ZelDatabase::Info(),
      &ZelInfo::Info(),
      &ZelInfos::Info(),
      &ZelAlias::Info(),
      &ZelAliases::Info(),
      &ZelAward::Info(),
      &ZelAwards::Info(),
      &Collection::Info(),
      &Dictionary::Info(),
  };
  // clang-format on
  return classes;
}

const ClassInfo* FindPublicClass(std::string_view name) {
  for (const ClassInfo* info : PublicClasses()) {
    if (EqualsIgnoreCase(info->name(), name)) return info;
  }
  return nullptr;
}

}  // namespace zel
