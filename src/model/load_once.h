// The lazy rule of every sub-record of a profile, an episode or a series: a cached object is
// returned as it is; otherwise the empty object is cached first and then filled from the owner's
// catalogue (CatalogueLink::Find), so a failed fill leaves what was read so far. A record that
// names rows of the reference lists belongs to that catalogue.
//
// Without a catalogue the empty object stays cached for the life of its owner, or, for the
// sub-records that cannot be empty (kFail), the read fails with error 91 after caching it.
#pragma once

#include <memory>

#include "frame/error.h"
#include "store/catalogue_link.h"

namespace zel {

enum class WithoutCatalogue { kStayEmpty, kFail };

template <class T, class Fill>
std::shared_ptr<T> LoadOnce(std::shared_ptr<T>& cache, CatalogueLink& owner,
                            WithoutCatalogue absent, Fill fill) {
  if (cache) return cache;
  cache = std::make_shared<T>();
  store::CatalogueFile* database = owner.Find();
  if (!database) {
    if (absent == WithoutCatalogue::kFail) Raise(errc::kMissingObject);
    return cache;
  }
  if constexpr (requires { cache->catalogue(); }) cache->catalogue().Bind(*database);
  fill(*database, *cache);
  return cache;
}

}  // namespace zel
