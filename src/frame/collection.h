// Collection: the platform's ordered list, addressed by 1-based position or by an optional text
// key.
//
// Keys are unique and compared without regard to case; key lookup takes constant time. A duplicate
// key on Add fails with error 457, an unknown key with error 5, a position outside 1..Count with
// error 9; the texts of 5 and 9 name the key or position asked for. Items are values or shared object references (adding an object does not copy it).
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "frame/object.h"

namespace zel {

class Collection : public Object {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  // Adds `item`, under `key` unless Empty; `before` or `after` (a position or key) place it.
  void Add(Variant item, Variant key = {}, Variant before = {}, Variant after = {});
  int32_t Count() const { return static_cast<int32_t>(entries_.size()); }
  // The item at a position (a number) or under a key (a text).
  Variant Item(Variant index) const;
  void Remove(Variant index);
  // An enumerator over a snapshot of the items, in order.
  ObjectPtr NewEnum() const;

  // C++ conveniences.
  void AddText(std::string text) { Add(Variant(std::move(text))); }
  bool HasKey(std::string_view key) const;
  const Variant& At(size_t zero_based) const { return entries_.at(zero_based)->item; }
  std::vector<Variant> Items() const;
  void Clear();

 private:
  struct Entry {
    Variant item;
    std::string folded_key;  // empty when the item has no key
  };
  // 0-based position of the entry a position or key names; raises when there is none.
  size_t Locate(const Variant& index) const;

  std::vector<std::shared_ptr<Entry>> entries_;
  std::unordered_map<std::string, std::shared_ptr<Entry>> by_key_;
};

// Walks a snapshot of items; what a for-each loop over a collection receives.
class Enumerator : public Object {
 public:
  explicit Enumerator(std::vector<Variant> items) : items_(std::move(items)) {}
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  // The next item into `out`; false once every item was given.
  bool Next(Variant& out);
  void Reset() { position_ = 0; }

 private:
  std::vector<Variant> items_;
  size_t position_ = 0;
};

}  // namespace zel
