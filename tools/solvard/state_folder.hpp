#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace solvard::tool {

// The command's state folder, where it keeps what must outlive one process (the access
// records a database refused): $XDG_STATE_HOME/solvard, else $HOME/.local/state/solvard, else
// the user's home from the password database. Never a shared folder such as /tmp, where another
// user could plant links: nothing when no home is known, with the reason.
std::optional<std::filesystem::path> stateFolder(std::string& problem);

// Makes `folder` (its parents as usual) and checks it is the user's own: a real folder, not a
// link, owned by the user, mode 0700 (tightened when it is looser). False with the reason.
bool ensurePrivateFolder(const std::filesystem::path& folder, std::string& problem);

}  // namespace solvard::tool
