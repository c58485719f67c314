// The list saves of row_images.h, which depend on the record class.
#pragma once

#include "store/row_images.h"

namespace zel::store {

template <class T>
void UndoOnRollback(CatalogueFile& database, T& target, std::shared_ptr<const void> keep) {
  ConnectionOf(database).OnRollback([&target, previous = target, keep = std::move(keep)]() mutable {
    target = std::move(previous);
  });
}

template <class C>
void SaveList(CatalogueFile& database, const RecordShape<C>& shape,
              const std::vector<std::shared_ptr<C>>& members, ListImage<C>& image,
              const ListContext<C>& context) {
  const int16_t schema = SchemaOf(database);
  std::vector<bool> matched(image.rows.size(), false);
  std::vector<const RowImage*> row_of(members.size(), nullptr);
  // Members are matched in their read order first, so an unchanged list costs one pass.
  size_t next_row = 0;
  for (size_t i = 0; i < members.size(); ++i) {
    if (next_row < image.rows.size() && !matched[next_row] &&
        image.rows[next_row].member == members[i]) {
      matched[next_row] = true;
      row_of[i] = &image.rows[next_row++].image;
      continue;
    }
    for (size_t j = 0; j < image.rows.size(); ++j) {
      if (!matched[j] && image.rows[j].member == members[i]) {
        matched[j] = true;
        row_of[i] = &image.rows[j].image;
        break;
      }
    }
  }
  std::vector<ColumnValues> changes(members.size());
  bool unchanged = context.expect.empty() && members.size() == image.rows.size();
  for (size_t i = 0; i < members.size(); ++i) {
    if (!row_of[i]) continue;
    changes[i] = shape.Changes(*members[i], row_of[i], schema);
    unchanged = unchanged && changes[i].empty();
  }
  // Every member still stands for its row as read: nothing to write, and the image stays.
  if (unchanged) return;
  RowWriter writer(database, shape.table());
  for (size_t j = 0; j < image.rows.size(); ++j) {
    if (!matched[j]) {
      writer.Delete(image.rows[j].image, context.describe(*image.rows[j].member), context.expect);
    }
  }
  std::vector<RowImage> written(members.size());
  for (size_t i = 0; i < members.size(); ++i) {
    if (!row_of[i]) continue;
    if (!changes[i].empty() || !context.expect.empty()) {
      writer.Update(*row_of[i], changes[i], context.describe(*members[i]), context.expect);
    }
    written[i] = RowWriter::Applied(*row_of[i], changes[i], context.expect);
  }
  for (size_t i = 0; i < members.size(); ++i) {
    if (row_of[i]) continue;
    ColumnValues values = context.fixed;
    for (auto& change : shape.Changes(*members[i], nullptr, schema)) {
      values.push_back(std::move(change));
    }
    written[i] = writer.Insert(values, context.describe(*members[i]));
  }
  ListImage<C> next;
  for (size_t i = 0; i < members.size(); ++i) next.rows.push_back({members[i], written[i]});
  UndoOnRollback(database, image, nullptr);
  image = std::move(next);
}

template <class C>
bool SaveKeyedRow(CatalogueFile& database, const RecordShape<C>& shape, const C& record,
                  std::string_view key, RowImage& image, std::string_view kind,
                  const std::function<void(const std::string& from)>& follow) {
  const std::string stored = image.Stored() ? StoredKey(image, shape.table()) : std::string();
  const bool moved = image.Stored() && stored != key;
  if (!image.Stored() || moved) {
    RequireFreeKey(database, shape.table(), key, image.rowid, kind, moved ? stored : "");
  }
  const std::string what =
      std::string(kind) + " '" + (image.Stored() ? stored : std::string(key)) + "'";
  const ColumnValues changes =
      shape.Changes(record, image.Stored() ? &image : nullptr, SchemaOf(database));
  RowWriter writer(database, shape.table());
  RowImage next;
  if (image.Stored()) {
    writer.Update(image, changes, what);
    if (moved && follow) follow(stored);
    if (changes.empty()) return moved;
    next = RowWriter::Applied(image, changes);
  } else {
    next = writer.Insert(changes, what);
  }
  UndoOnRollback(database, image, nullptr);
  image = std::move(next);
  return moved;
}

template <class C>
void SaveSingle(CatalogueFile& database, const RecordShape<C>& shape, const C& record, bool empty,
                RowImage& image, const ListContext<C>& context) {
  const int16_t schema = SchemaOf(database);
  if (!image.Stored() && empty) return;
  ColumnValues changes;
  if (image.Stored() && !empty) {
    changes = shape.Changes(record, &image, schema);
    if (changes.empty() && context.expect.empty()) return;
  }
  RowWriter writer(database, shape.table());
  RowImage next;
  const std::string what = context.describe(record);
  if (image.Stored()) {
    if (empty) {
      writer.Delete(image, what, context.expect);
    } else {
      writer.Update(image, changes, what, context.expect);
      next = RowWriter::Applied(image, changes, context.expect);
    }
  } else if (!empty) {
    ColumnValues values = context.fixed;
    for (auto& change : shape.Changes(record, nullptr, schema)) values.push_back(std::move(change));
    next = writer.Insert(values, what);
  }
  UndoOnRollback(database, image, nullptr);
  image = std::move(next);
}

}  // namespace zel::store
