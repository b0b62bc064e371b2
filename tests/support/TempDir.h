#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

namespace quillotone::testing {

// A directory of our own under the system's temporary one, removed with all
// it holds however the test leaves, even if a test took its permissions away.
class TempDir {
 public:
  explicit TempDir(const std::string& prefix = "quillotone") {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempDir() {
    if (path_.empty()) return;
    std::error_code error;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, error);
    std::filesystem::remove_all(path_, error);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  [[nodiscard]] const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace quillotone::testing
