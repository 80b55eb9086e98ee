#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace solvard::tool {

// What a token may do: `read` looks (lines, records, passes, events, metrics); `operate` also
// acts on terminals.
enum class TokenRole { read, operate };

struct ServeToken {
  std::string name;  // who holds it, as the audit names them
  TokenRole role = TokenRole::read;
  std::string secret;
};

// The longest secret taken, and the shortest: a guessable token is no lock.
inline constexpr std::size_t kShortestSecret = 16;
inline constexpr std::size_t kLongestSecret = 256;

// The token file's text: one token a line, "NAME ROLE SECRET", blank lines and "#" comments
// allowed. Raises std::runtime_error "PATH:LINE: problem" for a line it cannot take, a name or
// a secret given twice included.
std::vector<ServeToken> parseTokens(const std::string& text, const std::string& path);

// The tokens of the file at `path`. A file that does not exist yet is made, readable by its
// owner only, with one `operate` token named "admin" and a fresh random secret; `created` then
// says so. A file that others may read or write is refused: its secrets are no longer secret.
std::vector<ServeToken> loadOrCreateTokens(const std::string& path, bool& created);

// The token an "Authorization: Bearer SECRET" header carries, if any token has that secret. The
// secrets are compared in time independent of where they differ.
std::optional<ServeToken> tokenFor(const std::vector<ServeToken>& tokens,
                                   std::string_view authorization);

}  // namespace solvard::tool
