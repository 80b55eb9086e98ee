#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace solvard::tool::testing {

// A machine's device folders (/sys, /dev) built in a temporary folder the way the kernel and
// udev lay them out, links and all; removed with the object.
class FakeSysfs {
 public:
  explicit FakeSysfs(const std::string& name)
      : root_(std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_);
  }
  ~FakeSysfs() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  FakeSysfs(const FakeSysfs&) = delete;

  const std::filesystem::path& root() const { return root_; }
  void folder(const std::string& path) const { std::filesystem::create_directories(at(path)); }
  void file(const std::string& path, const std::string& text) const {
    folder(std::filesystem::path(path).parent_path().string());
    std::ofstream(at(path), std::ios::binary) << text;
  }
  // Replaces a link already there, so that pieces of a tree may share a device.
  void link(const std::string& path, const std::string& target) const {
    folder(std::filesystem::path(path).parent_path().string());
    std::filesystem::remove(at(path));
    std::filesystem::create_symlink(target, at(path));
  }

 private:
  std::filesystem::path at(const std::string& path) const {
    return root_ / std::filesystem::path(path).relative_path();
  }

  std::filesystem::path root_;
};

}  // namespace solvard::tool::testing
