// The lazy rule shared by the television records: a cached list is returned as it is; otherwise
// the empty list is cached first and filled from the owner's catalogue (CatalogueLink::Find), if
// it has one. A list first read while there is none stays empty for the life of its owner.
#pragma once

#include <memory>

#include "store/catalogue_link.h"
#include "catalogue/database.h"

namespace zel::tv {

template <class T, class Fill>
std::shared_ptr<T> LoadOnce(std::shared_ptr<T>& cache, CatalogueLink& owner, Fill fill) {
  if (cache) return cache;
  cache = std::make_shared<T>();
  ZelDatabase* database = owner.Find();
  if (!database) return cache;
  if constexpr (requires { cache->catalogue(); }) cache->catalogue().Bind(*database);
  fill(*database, *cache);
  return cache;
}

}  // namespace zel::tv
