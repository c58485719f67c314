#include "web/covers.h"

#include <cstdio>

#include "frame/error.h"
#include "frame/text.h"

namespace zel::web {
namespace fs = std::filesystem;
namespace {

// A listing is read again when its folder changes, and at least this often, so that a change the
// file system's coarse time stamps hide is not missed for long.
constexpr auto kListingLifetime = std::chrono::seconds(10);

// The rank of an image extension (lower wins when a folder holds several), or -1.
int ExtensionRank(const std::string& lower_extension) {
  if (lower_extension == ".jpg") return 0;
  if (lower_extension == ".jpeg") return 1;
  if (lower_extension == ".png") return 2;
  return -1;
}

std::string ContentType(const fs::path& path) {
  return ToLower(path.extension().string()) == ".png" ? "image/png" : "image/jpeg";
}

bool Inside(const fs::path& path, const fs::path& root) {
  const auto [root_end, path_at] =
      std::mismatch(root.begin(), root.end(), path.begin(), path.end());
  return root_end == root.end() && path_at != path.end();
}

}  // namespace

std::string CoverId(std::string_view profile_id) {
  if (profile_id.size() > 4 && profile_id.substr(0, 4) == "Key_") {
    return std::string(profile_id.substr(4));
  }
  return std::string(profile_id);
}

CoverFolder::CoverFolder(const std::string& folder) {
  std::error_code error;
  root_ = fs::canonical(folder, error);
  if (error || !fs::is_directory(root_, error)) {
    Raise(errc::kInvalidArgument, "The images folder '" + folder + "' is not a readable folder");
  }
  fs::directory_iterator probe(root_, error);
  if (error) {
    Raise(errc::kInvalidArgument, "The images folder '" + folder + "' cannot be read");
  }
}

void CoverFolder::Refresh(Listing& listing, const fs::path& folder) {
  std::error_code error;
  const auto now = std::chrono::steady_clock::now();
  const auto stamp = folder.empty() ? fs::file_time_type{} : fs::last_write_time(folder, error);
  if (listing.read && listing.folder == folder && stamp == listing.stamp &&
      now - listing.read_at < kListingLifetime) {
    return;
  }
  listing = Listing{folder, stamp, now, true, {}, {}};
  if (folder.empty()) return;
  std::unordered_map<std::string, int> ranks;
  for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    const fs::path name = entry->path().filename();
    std::error_code kind_error;
    if (ToLower(name.string()) == "thumbnails" && entry->is_directory(kind_error)) {
      listing.thumbnails = entry->path();
      continue;
    }
    const int rank = ExtensionRank(ToLower(name.extension().string()));
    if (rank < 0) continue;
    const std::string stem = ToLower(name.stem().string());
    const auto known = ranks.find(stem);
    if (known == ranks.end() || rank < known->second) {
      ranks[stem] = rank;
      std::error_code link_error;
      listing.files[stem] = {name.string(), entry->is_symlink(link_error)};
    }
  }
}

std::optional<CoverFolder::Image> CoverFolder::Lookup(Listing& listing, const std::string& stem) {
  const auto found = listing.files.find(stem);
  if (found == listing.files.end()) return std::nullopt;
  std::error_code error;
  // Resolved now, not when listed: a link may have been changed to lead out since.
  const fs::path path = fs::canonical(listing.folder / found->second.name, error);
  if (error || !Inside(path, root_) || !fs::is_regular_file(path, error)) return std::nullopt;
  const uintmax_t size = fs::file_size(path, error);
  if (error) return std::nullopt;
  const auto time = fs::last_write_time(path, error).time_since_epoch().count();
  char etag[64];
  std::snprintf(etag, sizeof etag, "\"%jx-%llx\"", size, static_cast<unsigned long long>(time));
  return Image{path, ContentType(path), etag, size};
}

std::string CoverFolder::Stem(std::string_view profile_id, CoverSide side) {
  const std::string id = CoverId(profile_id);
  // A name holding a path separator cannot be a file of the folder.
  if (id.empty() || id.find('/') != std::string::npos || id.find('\0') != std::string::npos) {
    return {};
  }
  return ToLower(id) + (side == CoverSide::kFront ? "f" : "b");
}

std::optional<CoverFolder::Image> CoverFolder::Find(std::string_view profile_id, CoverSide side,
                                                    bool thumbnail) {
  const std::string stem = Stem(profile_id, side);
  if (stem.empty()) return std::nullopt;
  std::lock_guard lock(mutex_);
  Refresh(large_, root_);
  if (thumbnail) {
    Refresh(small_, large_.thumbnails);
    if (auto image = Lookup(small_, stem)) return image;
  }
  return Lookup(large_, stem);
}

bool CoverFolder::Has(std::string_view profile_id, CoverSide side) {
  const std::string stem = Stem(profile_id, side);
  if (stem.empty()) return false;
  std::lock_guard lock(mutex_);
  Refresh(large_, root_);
  const auto found = large_.files.find(stem);
  if (found == large_.files.end()) return false;
  return !found->second.link || Lookup(large_, stem).has_value();
}

}  // namespace zel::web
