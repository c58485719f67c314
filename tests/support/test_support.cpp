#include "support/test_support.h"

#include <cstdlib>
#include <random>

namespace zel::testing {

TempDir::TempDir() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "zel";
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  std::random_device random;
  path_ = std::filesystem::temp_directory_path() /
          ("zeltest-" + name + "-" + std::to_string(random()));
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path SharedTestData() {
  auto path = std::filesystem::path(ZEL_SOURCE_DIR) / ".." / "shared" / "testdata";
  return std::filesystem::exists(path) ? path : std::filesystem::path();
}

std::string SourceDir() { return ZEL_SOURCE_DIR; }
std::string BinaryDir() { return ZEL_BINARY_DIR; }

}  // namespace zel::testing
