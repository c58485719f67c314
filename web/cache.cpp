#include "web/cache.h"

#include "store/connection.h"

namespace zel::web {

CatalogueWatch::CatalogueWatch(std::string path) : path_(std::move(path)) {}

CatalogueWatch::~CatalogueWatch() = default;

uint64_t CatalogueWatch::Current() {
  std::lock_guard lock(mutex_);
  try {
    if (!connection_) connection_ = store::Connection::Open(path_, "DbInfo");
    auto records = connection_->OpenRecordSet("PRAGMA data_version");
    const int64_t version = records->Eof() ? -1 : records->ValueAt(0).ToLong();
    if (version < 0 || version != version_) {
      version_ = version;
      ++generation_;
    }
  } catch (...) {
    // Asked again next time on a new connection; meanwhile nothing kept is trusted.
    connection_.reset();
    version_ = -1;
    ++generation_;
  }
  return generation_;
}

}  // namespace zel::web
