#include "serve_tokens.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <set>
#include <sstream>
#include <stdexcept>

#include "collect_config.hpp"

namespace solvard::tool {
namespace {

[[noreturn]] void refuse(const std::string& path, std::size_t line, const std::string& problem) {
  throw std::runtime_error(path + ":" + std::to_string(line) + ": " + problem);
}

// Letters, digits and "-_." only: a name goes into the audit table and the log, a secret into a
// header, and neither may carry a blank or a control character.
bool plainWord(std::string_view word) {
  for (const char c : word) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_' || c == '.';
    if (!plain) return false;
  }
  return !word.empty();
}

std::string freshSecret() {
  std::random_device entropy;
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string secret;
  for (int i = 0; i < 8; ++i) {
    const uint32_t word = entropy();
    for (int shift = 28; shift >= 0; shift -= 4) secret += kDigits[(word >> shift) & 0xF];
  }
  return secret;
}

std::string systemWords() { return std::strerror(errno); }

}  // namespace

std::vector<ServeToken> parseTokens(const std::string& text, const std::string& path) {
  std::vector<ServeToken> tokens;
  std::set<std::string> names, secrets;
  std::istringstream lines(text);
  std::string line;
  for (std::size_t number = 1; std::getline(lines, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream words(line);
    std::string name, role, secret, extra;
    words >> name;
    if (name.empty() || name.front() == '#') continue;
    words >> role >> secret >> extra;
    if (secret.empty() || !extra.empty()) refuse(path, number, "a token is NAME ROLE SECRET");
    if (!plainWord(name)) refuse(path, number, "a name takes letters, digits, '-', '_' and '.'");
    ServeToken token{name, TokenRole::read, secret};
    if (role == "operate") {
      token.role = TokenRole::operate;
    } else if (role != "read") {
      refuse(path, number, "the role \"" + role + "\" is not read or operate");
    }
    if (!plainWord(secret) || secret.size() < kShortestSecret || secret.size() > kLongestSecret) {
      refuse(path, number,
             "a secret takes " + std::to_string(kShortestSecret) + " to " +
                 std::to_string(kLongestSecret) + " letters, digits, '-', '_' and '.'");
    }
    if (!names.insert(name).second) refuse(path, number, "the name " + name + " is given twice");
    if (!secrets.insert(secret).second) refuse(path, number, "this secret is given twice");
    tokens.push_back(std::move(token));
  }
  return tokens;
}

std::vector<ServeToken> loadOrCreateTokens(const std::string& path, bool& created) {
  created = false;
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0 && errno == ENOENT) {
    // Made whole and private in one step: O_EXCL so that a file made meanwhile is not
    // overwritten, 0600 from the start so that no moment exists in which others could read it.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) throw std::runtime_error(path + ": cannot be made: " + systemWords());
    const std::string text =
        "# solvard serve tokens: NAME ROLE SECRET, ROLE read or operate.\n"
        "admin operate " +
        freshSecret() + "\n";
    const bool written = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    ::close(fd);
    if (!written) throw std::runtime_error(path + ": cannot be written: " + systemWords());
    created = true;
  } else if (::stat(path.c_str(), &status) == 0 && (status.st_mode & 077) != 0) {
    throw std::runtime_error(path +
                             ": others may read or change it; make it the owner's only "
                             "(chmod 600 " +
                             path + ")");
  }
  std::string text;
  if (const std::string problem = readConfigFile(path, text); !problem.empty())
    throw std::runtime_error(path + ": " + problem);
  std::vector<ServeToken> tokens = parseTokens(text, path);
  if (tokens.empty()) throw std::runtime_error(path + ": holds no token: nobody could get in");
  return tokens;
}

std::optional<ServeToken> tokenFor(const std::vector<ServeToken>& tokens,
                                   std::string_view authorization) {
  constexpr std::string_view kBearer = "Bearer ";
  if (!authorization.starts_with(kBearer)) return std::nullopt;
  const std::string_view given = authorization.substr(kBearer.size());
  std::optional<ServeToken> found;
  for (const ServeToken& token : tokens) {
    // Every token is compared whole, whichever matched, so the time taken tells nothing.
    unsigned differ = token.secret.size() == given.size() ? 0 : 1;
    const std::size_t n = std::min(token.secret.size(), given.size());
    for (std::size_t i = 0; i < n; ++i) differ |= unsigned(token.secret[i] ^ given[i]);
    if (differ == 0) found = token;
  }
  return found;
}

}  // namespace solvard::tool
