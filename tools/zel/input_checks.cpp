// Checks of input files before a command reads them, so that a file of the wrong kind gets a plain
// answer instead of whatever the parser says about its first bytes.
#include <filesystem>
#include <fstream>
#include <string>

#include "commands.h"
#include "frame/error.h"

namespace zel::cli {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The first bytes of `text` for a message: printable ASCII only, cut at a line end.
std::string Opening(std::string_view text) {
  std::string shown;
  for (char c : text.substr(0, 24)) {
    if (c == '\r' || c == '\n') break;
    shown += (c >= ' ' && c < 0x7f) ? c : '?';
  }
  return shown;
}

// Why the file at `path` cannot be a DVD Profiler collection file; empty when it may be one or
// when the import itself says best what is wrong (a missing file, a UTF-16 file, markup with
// another document element).
std::string NotACollection(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (!fs::exists(status)) return {};
  if (fs::is_directory(status)) return "it is a folder";
  if (!fs::is_regular_file(status)) return "it is not a regular file";
  if (fs::file_size(path, error) == 0 && !error) return "it is empty";
  std::ifstream in(path, std::ios::binary);
  std::string head(64 * 1024, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(in.gcount()));
  std::string_view text = head;
  if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) return {};
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  if (text.empty()) return "it holds only blanks";
  if (text.front() != '<') {
    return "it holds no XML markup (it begins with \"" + Opening(text) + "\")";
  }
  return {};
}

}  // namespace

void AddInputChecks(CLI::App& app) {
  CLI::Option* collection = app.get_subcommand("import")->get_option("COLLECTION");
  collection->check(CLI::Validator(
      [](std::string& path) -> std::string {
        if (const std::string why = NotACollection(path); !why.empty()) {
          // Thrown past the parser so that it reads as every other error of zel.
          throw Error(errc::kInvalidArgument, path + " is not a collection file: " + why);
        }
        return {};
      },
      ""));
}

}  // namespace zel::cli
