// The table definitions of a catalogue as scriptable objects: what `ZelDatabase.TableDefs` returns.
//
// A snapshot taken when the object is made; later definitions do not appear in it. Items are found
// by 0-based position or by name (ignoring case); an unknown one raises kUnknownField.
#pragma once

#include <memory>
#include <vector>

#include "store/connection.h"

namespace zel::store {

// One column: `Name`, `Type` (the ColumnType number) and `Size` (the text length, else 0).
class FieldDef : public Object {
 public:
  explicit FieldDef(ColumnDef column) : column_(std::move(column)) {}
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  std::string Name() { return column_.name; }
  int16_t Type() { return static_cast<int16_t>(column_.type); }
  int32_t Size() { return column_.max_length; }

 private:
  ColumnDef column_;
};

// The columns of one table, in column order.
class ColumnDefs : public Object {
 public:
  explicit ColumnDefs(std::vector<ColumnDef> columns) : columns_(std::move(columns)) {}
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  int32_t Count() { return static_cast<int32_t>(columns_.size()); }
  std::shared_ptr<FieldDef> Item(Variant index);

 private:
  std::vector<ColumnDef> columns_;
};

// One table: `Name` and `Fields`.
class TableDefObject : public Object {
 public:
  explicit TableDefObject(TableDef table) : table_(std::move(table)) {}
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  std::string Name() { return table_.name; }
  std::shared_ptr<ColumnDefs> Fields() { return std::make_shared<ColumnDefs>(table_.columns); }

 private:
  TableDef table_;
};

// The user tables of the file, in creation order.
class TableDefs : public Object {
 public:
  explicit TableDefs(std::vector<TableDef> tables) : tables_(std::move(tables)) {}
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  int32_t Count() { return static_cast<int32_t>(tables_.size()); }
  std::shared_ptr<TableDefObject> Item(Variant index);

 private:
  std::vector<TableDef> tables_;
};

}  // namespace zel::store
