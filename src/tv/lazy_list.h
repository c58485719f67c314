// The lazy rule shared by the television records: a cached list is returned as it is; otherwise
// the empty list is cached first and filled from the active catalogue, if there is one. A list
// first read while no catalogue is active stays empty for the life of its owner.
#pragma once

#include <memory>

#include "frame/library_state.h"
#include "store/database.h"

namespace zel::tv {

template <class T, class Fill>
std::shared_ptr<T> LoadOnce(std::shared_ptr<T>& cache, Fill fill) {
  if (cache) return cache;
  cache = std::make_shared<T>();
  if (ZelDatabase* database = State().active_database.get()) fill(*database, *cache);
  return cache;
}

}  // namespace zel::tv
