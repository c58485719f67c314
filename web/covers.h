// The cover images of `zel serve --images DIR`: the desktop program's images folder, where a
// title's front and back covers are named by its ID followed by "f" or "b" (800004711000f.jpg),
// with smaller copies under the same names in a "thumbnails" folder. Letter case of names and of
// the thumbnails folder plays no part; .jpg, .jpeg and .png are served.
//
// Only regular files inside the folder can ever be reached: names are looked up in the folder's
// own listing (an address is never joined into a path), and a file that resolves, through links,
// to a place outside the folder is refused. One object serves every worker thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace zel::web {

enum class CoverSide { kFront, kBack };

// The ID an image is named by: an imported profile's identifier is "Key_" + the program's ID; any
// other identifier is taken as it is.
std::string CoverId(std::string_view profile_id);

class CoverFolder {
 public:
  // Raises zel::Error when `folder` is not a readable directory.
  explicit CoverFolder(const std::string& folder);

  struct Image {
    std::filesystem::path path;  // resolved, inside the folder
    std::string content_type;    // image/jpeg or image/png
    std::string etag;            // quoted, changes with the file's size and time
    uintmax_t size = 0;
  };
  // The image of one side of a title; a thumbnail falls back to the large image when the folder
  // has no small copy. nullopt when there is none.
  std::optional<Image> Find(std::string_view profile_id, CoverSide side, bool thumbnail);
  // Whether Find would find the large image; cheaper, for pages that list many titles.
  bool Has(std::string_view profile_id, CoverSide side);

 private:
  struct Listing {
    std::filesystem::path folder;
    std::filesystem::file_time_type stamp{};
    std::chrono::steady_clock::time_point read_at{};
    bool read = false;
    struct File {
      std::string name;
      bool link = false;  // a link, resolved when looked up; a plain file is inside the folder
    };
    std::unordered_map<std::string, File> files;  // lower-case stem -> file
    std::filesystem::path thumbnails;             // the folder of small copies, when there is one
  };
  void Refresh(Listing& listing, const std::filesystem::path& folder);
  std::optional<Image> Lookup(Listing& listing, const std::string& stem);
  // The lower-case stem of a side's image, or empty when the identifier cannot name a file.
  static std::string Stem(std::string_view profile_id, CoverSide side);

  std::filesystem::path root_;  // canonical
  std::mutex mutex_;
  Listing large_, small_;
};

}  // namespace zel::web
