#include "ui/lan_res.hpp"
#include "ui/language_modules.hpp"
#include "ui/messages.hpp"
#include "ui/utf8.hpp"

namespace solvard::ui {

namespace {

// The lookup fills a buffer of 255 characters, the last of them the terminating zero.
constexpr std::size_t kBufferCharacters = 255;

}  // namespace

std::string LoadLanString(int32_t id) {
  const std::optional<std::string> stored = findModuleString(lanResHandle(), id);
  if (!stored) return {};
  std::string_view text = *stored;
  text = text.substr(0, text.find('\0'));
  return std::string(firstCharacters(text, kBufferCharacters - 1));
}

}  // namespace solvard::ui
