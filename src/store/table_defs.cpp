#include "store/table_defs.h"

#include "frame/error.h"
#include "frame/member_table.h"
#include "frame/text.h"
#include "store/engine_errors.h"

namespace zel::store {
namespace {

// Position of the item a position or a name designates.
template <class T, class GetName>
size_t Locate(const std::vector<T>& items, const Variant& index, GetName name_of) {
  if (index.IsString()) {
    const std::string name = index.ToText();
    for (size_t i = 0; i < items.size(); ++i) {
      if (EqualsIgnoreCase(name_of(items[i]), name)) return i;
    }
    Raise(engine_errc::kUnknownField, "Item not found in this collection: '" + name + "'.");
  }
  const int32_t position = index.ToLong();
  if (position < 0 || static_cast<size_t>(position) >= items.size()) {
    Raise(engine_errc::kUnknownField,
          "Item not found in this collection: position " + std::to_string(position) + ".");
  }
  return static_cast<size_t>(position);
}

}  // namespace

std::shared_ptr<FieldDef> ColumnDefs::Item(Variant index) {
  return std::make_shared<FieldDef>(
      columns_[Locate(columns_, index, [](const ColumnDef& c) { return c.name; })]);
}

std::shared_ptr<TableDefObject> TableDefs::Item(Variant index) {
  return std::make_shared<TableDefObject>(
      tables_[Locate(tables_, index, [](const TableDef& t) { return t.name; })]);
}

const ClassInfo& FieldDef::Info() {
  static const ClassInfo info = ClassBuilder<FieldDef>("Field")
                                    .Get("Name", &FieldDef::Name)
                                    .Get("Type", &FieldDef::Type)
                                    .Get("Size", &FieldDef::Size)
                                    .Build();
  return info;
}

const ClassInfo& ColumnDefs::Info() {
  static const ClassInfo info = ClassBuilder<ColumnDefs>("Fields")
                                    .Get("Count", &ColumnDefs::Count)
                                    .Method("Item", &ColumnDefs::Item, {Param("Index")})
                                    .Default()
                                    .Build();
  return info;
}

const ClassInfo& TableDefObject::Info() {
  static const ClassInfo info = ClassBuilder<TableDefObject>("TableDef")
                                    .Get("Name", &TableDefObject::Name)
                                    .Get("Fields", &TableDefObject::Fields)
                                    .Build();
  return info;
}

const ClassInfo& TableDefs::Info() {
  static const ClassInfo info = ClassBuilder<TableDefs>("TableDefs")
                                    .Get("Count", &TableDefs::Count)
                                    .Method("Item", &TableDefs::Item, {Param("Index")})
                                    .Default()
                                    .Build();
  return info;
}

}  // namespace zel::store
