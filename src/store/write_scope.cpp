// Write scopes: the outermost is one transaction, those inside it savepoints.
#include <functional>
#include <string>
#include <vector>

#include "store/connection.h"
#include "store/engine_internal.h"

namespace zel::store {

// Scopes begin and end once per imported title: their statements are prepared once, too.
void Connection::BeginScope() {
  Impl& impl = *impl_;
  if (impl.depth == 0) RequireWritable();
  const std::string sql =
      impl.depth == 0 ? "BEGIN IMMEDIATE" : "SAVEPOINT sp_" + std::to_string(impl.depth);
  impl.Run(sql, sql);
  ++impl.depth;
  impl.undo.emplace_back();
}

void Connection::CommitScope() {
  Impl& impl = *impl_;
  if (impl.depth == 0) return;
  const std::string sql =
      impl.depth == 1 ? "COMMIT" : "RELEASE sp_" + std::to_string(impl.depth - 1);
  impl.Run(sql, sql);
  --impl.depth;
  std::vector<std::function<void()>> undo = std::move(impl.undo.back());
  impl.undo.pop_back();
  // Committed into the scope around it: a rollback of that one still undoes these.
  if (!impl.undo.empty()) {
    for (auto& action : undo) impl.undo.back().push_back(std::move(action));
  }
}

void Connection::RollbackScope() noexcept {
  Impl& impl = *impl_;
  if (impl.depth == 0 || !impl.db) return;
  if (!impl.undo.empty()) {
    std::vector<std::function<void()>> undo = std::move(impl.undo.back());
    impl.undo.pop_back();
    for (auto action = undo.rbegin(); action != undo.rend(); ++action) (*action)();
  }
  if (impl.depth == 1) {
    Exec(impl.db.get(), "ROLLBACK");
  } else {
    const std::string name = "sp_" + std::to_string(impl.depth - 1);
    Exec(impl.db.get(), ("ROLLBACK TO " + name).c_str());
    Exec(impl.db.get(), ("RELEASE " + name).c_str());
  }
  --impl.depth;
  // A rolled-back definition must not stay in the remembered schema.
  impl.ForgetSchema();
}

int Connection::ScopeDepth() const { return impl_->depth; }

bool Connection::MarksEdits() const { return impl_->unmarked_writes == 0; }

void Connection::CountUnmarkedWrites(int change) { impl_->unmarked_writes += change; }

WriteScope::WriteScope(Connection& connection) : connection_(connection) {
  connection_.BeginScope();
}

WriteScope::~WriteScope() {
  if (open_) connection_.RollbackScope();
}

void WriteScope::Commit() {
  if (!open_) return;
  connection_.CommitScope();
  open_ = false;
}

}  // namespace zel::store
