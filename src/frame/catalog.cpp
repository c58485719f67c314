#include "frame/catalog.h"

#include "frame/collection.h"
#include "frame/control.h"
#include "frame/dictionary.h"
#include "frame/text.h"
#include "store/database.h"
#include "store/info.h"

namespace zel {

const std::vector<const ClassInfo*>& PublicClasses() {
  static const std::vector<const ClassInfo*> classes = {
      &Control::Info(),  &ZelDatabase::Info(), &ZelInfo::Info(),
      &ZelInfos::Info(), &Collection::Info(),  &Dictionary::Info(),
  };
  return classes;
}

const ClassInfo* FindPublicClass(std::string_view name) {
  for (const ClassInfo* info : PublicClasses()) {
    if (EqualsIgnoreCase(info->name(), name)) return info;
  }
  return nullptr;
}

}  // namespace zel
