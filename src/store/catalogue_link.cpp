#include "store/catalogue_link.h"

#include "frame/error.h"
#include "frame/library_state.h"
#include "store/catalogue_file.h"

namespace zel {

namespace {

[[noreturn]] void RaiseReleased() {
  Raise(errc::kMissingObject,
        "The catalogue this object belongs to was closed and released; open it again and read "
        "the object anew");
}

}  // namespace

store::CatalogueFile* CatalogueLink::Find() {
  if (bound_) {
    std::shared_ptr<store::CatalogueFile> database = database_.lock();
    if (!database) RaiseReleased();
    return database.get();
  }
  store::CatalogueFile* active = State().active_database.get();
  if (active) Bind(*active);
  return active;
}

store::CatalogueFile& CatalogueLink::Get() {
  store::CatalogueFile* database = Find();
  if (!database) Raise(errc::kMissingObject);
  return *database;
}

store::CatalogueFile* CatalogueLink::Peek() const {
  return bound_ ? database_.lock().get() : nullptr;
}

void CatalogueLink::Join(store::CatalogueFile& database) {
  if (!bound_) Bind(database);
}

void CatalogueLink::Join(const CatalogueLink& other) {
  if (bound_ || !other.bound_) return;
  database_ = other.database_;
  bound_ = true;
}

void CatalogueLink::Bind(store::CatalogueFile& database) {
  database_ = std::static_pointer_cast<store::CatalogueFile>(database.shared_from_this());
  bound_ = true;
}

}  // namespace zel
