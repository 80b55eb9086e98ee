#include "rooted_tree.hpp"

#include <algorithm>
#include <deque>
#include <fstream>
#include <system_error>

namespace solvard::tool {
namespace {

namespace fs = std::filesystem;

// As many links as the kernel follows in one name before it gives up (ELOOP).
constexpr int kMaxLinks = 40;
// A link's text longer than the longest path the kernel takes is not a link to follow.
constexpr std::size_t kMaxLinkText = 4096;

std::deque<std::string> componentsOf(const std::string& path) {
  std::deque<std::string> parts;
  std::size_t at = 0;
  while (at < path.size()) {
    const std::size_t end = std::min(path.find('/', at), path.size());
    if (end > at) parts.push_back(path.substr(at, end - at));
    at = end + 1;
  }
  return parts;
}

std::string joined(const std::vector<std::string>& parts) {
  if (parts.empty()) return "/";
  std::string path;
  for (const std::string& part : parts) path += "/" + part;
  return path;
}

std::string trimmed(const std::string& text) {
  constexpr const char* kSpace = " \t\r\n";
  const std::size_t first = text.find_first_not_of(kSpace);
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

}  // namespace

bool isPrintableAscii(const std::string& text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7f; });
}

fs::path RootedTree::real(const std::string& path) const {
  return root_ / fs::path(path).relative_path();
}

std::optional<std::string> RootedTree::resolve(const std::string& path) const {
  std::vector<std::string> done;  // real folders only, so ".." goes to the real parent
  std::deque<std::string> pending = componentsOf(path);
  int links = 0;
  while (!pending.empty()) {
    const std::string part = std::move(pending.front());
    pending.pop_front();
    if (part == ".") continue;
    if (part == "..") {
      if (!done.empty()) done.pop_back();
      continue;
    }
    done.push_back(part);
    const fs::path at = real(joined(done));
    std::error_code error;
    const fs::file_status status = fs::symlink_status(at, error);
    if (error || !fs::exists(status)) return std::nullopt;
    if (!fs::is_symlink(status)) continue;
    done.pop_back();
    if (++links > kMaxLinks) return std::nullopt;
    const std::string target = fs::read_symlink(at, error).string();
    if (error || target.empty() || target.size() > kMaxLinkText) return std::nullopt;
    if (target.front() == '/') done.clear();
    std::deque<std::string> parts = componentsOf(target);
    pending.insert(pending.begin(), parts.begin(), parts.end());
  }
  return joined(done);
}

std::optional<std::string> RootedTree::value(const std::string& path, std::size_t maxBytes) const {
  const std::optional<std::string> at = resolve(path);
  std::error_code error;
  // Only a plain file: a pipe or a device in its place would keep the read waiting.
  if (!at || !fs::is_regular_file(real(*at), error)) return std::nullopt;
  std::ifstream in(real(*at), std::ios::binary);
  if (!in) return std::nullopt;
  std::string text(maxBytes + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  if (in.bad() || text.size() > maxBytes) return std::nullopt;
  return trimmed(text);
}

std::optional<std::string> RootedTree::linkName(const std::string& path) const {
  const fs::path link(path);
  const std::optional<std::string> folder = resolve(link.parent_path().string());
  if (!folder) return std::nullopt;
  std::error_code error;
  const std::string target = fs::read_symlink(real(*folder) / link.filename(), error).string();
  if (error || target.size() > kMaxLinkText) return std::nullopt;
  const std::deque<std::string> parts = componentsOf(target);
  if (parts.empty() || parts.back() == "." || parts.back() == ".." ||
      !isPrintableAscii(parts.back())) {
    return std::nullopt;
  }
  return parts.back();
}

std::vector<std::string> RootedTree::names(const std::string& folder, std::size_t limit) const {
  std::vector<std::string> found;
  const std::optional<std::string> at = resolve(folder);
  if (!at) return found;
  std::error_code error;
  fs::directory_iterator entry(real(*at), error);
  for (; !error && entry != fs::directory_iterator() && found.size() < limit;
       entry.increment(error)) {
    std::string name = entry->path().filename().string();
    if (isPrintableAscii(name)) found.push_back(std::move(name));
  }
  return found;
}

bool RootedTree::isFolder(const std::string& path) const {
  const std::optional<std::string> at = resolve(path);
  std::error_code error;
  return at && fs::is_directory(real(*at), error);
}

}  // namespace solvard::tool
