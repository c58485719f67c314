// Dictionary: text keys kept in insertion order, compared exactly (case counts) unless made with
// text comparison, which ignores the case of ASCII letters (FoldKey) as the catalogue file does.
// A dictionary whose keys meet a key column of the file uses text comparison.
//
// Adding a key that is present fails with error 457; reading or removing a key that is absent fails
// with error 32811 "Element not found". Assigning Item of a new key adds it.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "frame/object.h"

namespace zel {

class Dictionary : public Object {
 public:
  // The platform's comparison modes: 0 exact, 1 text (ASCII letters in either case).
  enum CompareMode : int32_t { kBinaryCompare = 0, kTextCompare = 1 };

  explicit Dictionary(CompareMode mode = kBinaryCompare) : mode_(mode) {}
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  void Add(std::string key, Variant item);
  bool Exists(std::string_view key) const;
  Variant Item(std::string_view key) const;
  void SetItem(std::string key, Variant item);
  std::shared_ptr<Array> Keys() const;
  std::shared_ptr<Array> Items() const;
  void Remove(std::string_view key);
  void RemoveAll();
  int32_t Count() const { return static_cast<int32_t>(entries_.size()); }
  int32_t GetCompareMode() const { return mode_; }

  // C++ conveniences: the pairs in order, and the text item of a key or `fallback`.
  const std::vector<std::pair<std::string, Variant>>& entries() const { return entries_; }
  std::string TextOr(std::string_view key, std::string_view fallback) const;

 private:
  std::string IndexKey(std::string_view key) const;

  CompareMode mode_;
  std::vector<std::pair<std::string, Variant>> entries_;
  std::unordered_map<std::string, size_t> index_;
};

}  // namespace zel
