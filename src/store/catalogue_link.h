// CatalogueLink: the catalogue an object belongs to.
#pragma once

#include <memory>

namespace zel {

namespace store {
class CatalogueFile;
}  // namespace store

// Which catalogue an object belongs to. An object read from a catalogue, or added to one of its
// lists, belongs to it; an object made by a caller belongs to none until it first reads from or
// writes to a catalogue, and then joins the active one. The link is weak: an object does not keep
// its catalogue open, and one whose catalogue was released fails (error 91) instead of turning to
// another.
class CatalogueLink {
 public:
  // The catalogue to read from and write to; an object that belongs to none joins the active one.
  // Raises 91 when there is none to join, or when the object's catalogue was released.
  store::CatalogueFile& Get();
  // The same for reads that leave an object empty without a catalogue: nullptr where Get would
  // raise for want of an active catalogue. A released catalogue still raises.
  store::CatalogueFile* Find();
  // Makes the object belong to `database` unless it belongs to a catalogue already.
  void Join(store::CatalogueFile& database);
  void Join(const CatalogueLink& other);
  // Makes the object belong to `database`, whatever it belonged to.
  void Bind(store::CatalogueFile& database);
  bool Belongs() const { return bound_; }
  // The catalogue when it belongs to one that is still open, else nullptr; never joins.
  store::CatalogueFile* Peek() const;

 private:
  std::weak_ptr<store::CatalogueFile> database_;
  bool bound_ = false;
};

}  // namespace zel
