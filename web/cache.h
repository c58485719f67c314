// Values of `zel serve` kept between requests (the statistics) while the catalogue does not change:
// a value serves the requests of the generation it was read in (or an older one) and is read again
// for a newer one. CatalogueIndex::Refresh gives the generation.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace zel::web {

// One kept value per key, at most `max_keys` of them (the one used longest ago goes first).
// Reading a value holds the key's lock, so concurrent requests for the same value wait for one
// read rather than each reading it.
template <class T, class Key = std::string>
class Kept {
 public:
  explicit Kept(size_t max_keys = 64) : max_keys_(max_keys) {}

  std::shared_ptr<const T> Get(const Key& key, uint64_t generation,
                               const std::function<T()>& read) {
    std::shared_ptr<Slot> slot;
    {
      std::lock_guard lock(mutex_);
      auto& found = slots_[key];
      if (!found) found = std::make_shared<Slot>();
      slot = found;
      slot->used = ++uses_;
      // Values of older generations of other keys are not needed again.
      for (auto it = slots_.begin(); it != slots_.end();) {
        it = it->second != slot && it->second->generation < generation ? slots_.erase(it) : ++it;
      }
      while (slots_.size() > max_keys_) {
        auto oldest = slots_.begin();
        for (auto it = slots_.begin(); it != slots_.end(); ++it) {
          if (it->second->used < oldest->second->used) oldest = it;
        }
        slots_.erase(oldest);
      }
    }
    std::lock_guard lock(slot->mutex);
    if (!slot->value || slot->generation < generation) {
      slot->value = std::make_shared<const T>(read());
      slot->generation = generation;
    }
    return slot->value;
  }

 private:
  struct Slot {
    std::mutex mutex;
    std::shared_ptr<const T> value;
    uint64_t generation = 0;
    uint64_t used = 0;  // when last asked for, in asks of this object
  };
  size_t max_keys_;
  uint64_t uses_ = 0;
  std::mutex mutex_;
  std::map<Key, std::shared_ptr<Slot>> slots_;
};

}  // namespace zel::web
