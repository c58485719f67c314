// Values of `zel serve` read from the whole catalogue (the title table, the people, the search
// index, the statistics) cost far more than a page; they are kept between requests and read again
// once the file has changed.
//
// Changes are noticed by one watching connection of the server's own: SQLite's data_version of a
// connection moves whenever another connection has committed. Each change moves the server's
// generation on; a kept value serves the requests of the generation it was read in (or an older
// one) and is read again for a newer one. A value is read after its generation was established,
// so it holds every change committed before the request that asks for it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace zel::store {
class Connection;
}

namespace zel::web {

class CatalogueWatch {
 public:
  explicit CatalogueWatch(std::string path);
  ~CatalogueWatch();
  // The generation of the catalogue as it is now. Thread-safe; the watching connection is used by
  // one thread at a time. A failure to ask (the file replaced, say) counts as a change.
  uint64_t Current();

 private:
  std::string path_;
  std::mutex mutex_;
  std::shared_ptr<store::Connection> connection_;
  int64_t version_ = -1;
  uint64_t generation_ = 0;
};

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
