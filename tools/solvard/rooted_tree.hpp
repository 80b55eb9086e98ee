#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace solvard::tool {

// The machine's file tree seen from a root folder, as a process whose root that folder is would
// see it: "/sys/class/tty" names root/sys/class/tty, a link's absolute target starts again at
// the root and ".." never climbs above it. The real machine is the root "/"; a test builds a
// small tree of the kernel's folders in a temporary folder. Every value read is bounded.
class RootedTree {
 public:
  explicit RootedTree(std::filesystem::path root) : root_(std::move(root)) {}

  // Links followed (at most 40, as the kernel allows) to the path every component of which
  // exists, as seen from the root ("/sys/devices/..."); nullopt when a component is missing or
  // the links go round.
  std::optional<std::string> resolve(const std::string& path) const;

  // The text of a small attribute file, without the white space around it; nullopt when the
  // file cannot be read or holds more than maxBytes.
  std::optional<std::string> value(const std::string& path, std::size_t maxBytes) const;

  // The last name of a link's target ("ftdi_sio" for ".../drivers/ftdi_sio"), when it is a
  // plain name of printable ASCII; nullopt otherwise.
  std::optional<std::string> linkName(const std::string& path) const;

  // The names in a folder, at most `limit` of them, without those that hold a byte that is not
  // printable ASCII (they could not be shown on one line). Empty when it cannot be read.
  std::vector<std::string> names(const std::string& folder, std::size_t limit) const;

  bool exists(const std::string& path) const { return resolve(path).has_value(); }
  bool isFolder(const std::string& path) const;

  // Where a path of the tree is in this process's view.
  std::filesystem::path real(const std::string& path) const;

 private:
  std::filesystem::path root_;
};

// True when every byte is printable ASCII and the text is not empty.
bool isPrintableAscii(const std::string& text);

}  // namespace solvard::tool
