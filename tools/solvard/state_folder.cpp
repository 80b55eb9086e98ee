#include "state_folder.hpp"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace solvard::tool {

namespace fs = std::filesystem;

std::optional<fs::path> stateFolder(std::string& problem) {
  if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && *state == '/') {
    return fs::path(state) / "solvard";
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/') {
    return fs::path(home) / ".local" / "state" / "solvard";
  }
  if (const passwd* user = ::getpwuid(::geteuid());
      user != nullptr && user->pw_dir != nullptr && user->pw_dir[0] == '/') {
    return fs::path(user->pw_dir) / ".local" / "state" / "solvard";
  }
  problem =
      "no state folder: neither XDG_STATE_HOME nor HOME is set and the user has no home; "
      "set XDG_STATE_HOME to a folder of this user's own";
  return std::nullopt;
}

bool ensurePrivateFolder(const fs::path& folder, std::string& problem) {
  std::error_code error;
  fs::create_directories(folder.parent_path(), error);
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    problem = folder.string() + " cannot be made: " + std::strerror(errno);
    return false;
  }
  struct stat status {};
  if (::lstat(folder.c_str(), &status) != 0) {
    problem = folder.string() + " cannot be read: " + std::strerror(errno);
    return false;
  }
  if (!S_ISDIR(status.st_mode)) {
    problem = folder.string() + " is not a folder (a link or a file has its name); remove it";
    return false;
  }
  if (status.st_uid != ::geteuid()) {
    problem = folder.string() + " belongs to another user (uid " + std::to_string(status.st_uid) +
              "); set XDG_STATE_HOME to a folder of this user's own";
    return false;
  }
  if ((status.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0) {
    problem = folder.string() + " cannot be made private: " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace solvard::tool
