// Prepared statements kept for reuse, so that a statement of one shape is prepared once.
#include "frame/error.h"
#include "store/connection.h"
#include "store/engine_errors.h"
#include "store/engine_internal.h"

namespace zel::store {

StatementLease::~StatementLease() {
  sqlite3_stmt* statement = get();
  if (!statement) return;
  sqlite3_reset(statement);
  sqlite3_clear_bindings(statement);
  if (entry_) cache_->Return(entry_);
}

StatementCache::Entry* StatementCache::Borrow(const std::string& key) {
  auto found = entries_.find(key);
  if (found == entries_.end() || found->second->lent) return nullptr;
  Entry* entry = found->second.get();
  entry->lent = true;
  entry->last_use = ++clock_;
  return entry;
}

StatementCache::Entry* StatementCache::Add(const std::string& key, StatementPtr statement) {
  if (entries_.contains(key)) return nullptr;
  if (entries_.size() >= kCapacity) {
    auto oldest = entries_.end();
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
      if (!it->second->lent &&
          (oldest == entries_.end() || it->second->last_use < oldest->second->last_use)) {
        oldest = it;
      }
    }
    if (oldest != entries_.end()) {
      entries_.erase(oldest);
      ++epoch_;
    }
  }
  auto entry = std::make_unique<Entry>();
  entry->statement = std::move(statement);
  entry->lent = true;
  entry->last_use = ++clock_;
  Entry* raw = entry.get();
  entries_.emplace(key, std::move(entry));
  return raw;
}

StatementCache::Entry* StatementCache::BorrowAgain(Entry* entry) {
  if (entry->lent) return nullptr;
  entry->lent = true;
  entry->last_use = ++clock_;
  return entry;
}

void StatementCache::Return(Entry* entry) {
  entry->lent = false;
  if (dropped_.empty()) return;
  for (auto it = dropped_.begin(); it != dropped_.end(); ++it) {
    if (it->get() == entry) {
      dropped_.erase(it);
      return;
    }
  }
}

void StatementCache::Clear() {
  for (auto& [key, entry] : entries_) {
    if (entry->lent) dropped_.push_back(std::move(entry));
  }
  entries_.clear();
  ++epoch_;
}

StatementLease Connection::Impl::Prepare(const std::string& sql, std::string_view original) {
  RequireOpen();
  if (cache.enabled) {
    if (StatementCache::Entry* cached = cache.Borrow(sql)) {
      ++stats.cache_hits;
      return StatementLease(&cache, cached);
    }
  }
  sqlite3_stmt* raw = nullptr;
  const int rc = sqlite3_prepare_v3(db.get(), sql.c_str(), static_cast<int>(sql.size()),
                                    cache.enabled ? SQLITE_PREPARE_PERSISTENT : 0, &raw, nullptr);
  StatementPtr statement(raw);
  if (rc != SQLITE_OK) Fail(rc, original);
  if (!statement) Raise(engine_errc::kSyntax, "Empty statement '" + std::string(original) + "'.");
  ++stats.cache_misses;
  if (cache.enabled) {
    if (StatementCache::Entry* entry = cache.Add(sql, std::move(statement))) {
      return StatementLease(&cache, entry);
    }
  }
  return StatementLease(std::move(statement));
}

StatementLease Connection::Impl::PrepareShape(ShapeStatement& shape) {
  RequireOpen();
  if (cache.enabled && shape.cached && shape.cache_epoch == cache.epoch()) {
    if (StatementCache::Entry* entry = cache.BorrowAgain(shape.cached)) {
      ++stats.cache_hits;
      return StatementLease(&cache, entry);
    }
  }
  StatementLease statement = Prepare(shape.sql, shape.sql);
  if (statement.entry()) {
    shape.cached = statement.entry();
    shape.cache_epoch = cache.epoch();
  }
  return statement;
}

Connection::Stats Connection::stats() const { return impl_->stats; }

void Connection::SetStatementCache(bool enabled) {
  impl_->cache.enabled = enabled;
  if (!enabled) impl_->cache.Clear();
}

}  // namespace zel::store
