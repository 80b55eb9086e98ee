#include <mutex>

#include "ui/lan_res.hpp"
#include "ui/language_modules.hpp"
#include "ui/messages.hpp"
#include "ui/string_source.hpp"
#include "ui/utf8.hpp"

namespace solvard::ui {

namespace {

// The lookup fills a buffer of 255 characters, the last of them the terminating zero.
constexpr std::size_t kBufferCharacters = 255;

struct SourceSlot {
  std::mutex mutex;
  StringSource source = findModuleString;
};

SourceSlot& sourceSlot() {
  static SourceSlot instance;
  return instance;
}

}  // namespace

StringSource setStringSource(StringSource source) {
  SourceSlot& s = sourceSlot();
  std::lock_guard lock(s.mutex);
  StringSource previous = std::move(s.source);
  s.source = source ? std::move(source) : StringSource(findModuleString);
  return previous;
}

std::string LoadLanString(int32_t id) {
  StringSource source;
  {
    SourceSlot& s = sourceSlot();
    std::lock_guard lock(s.mutex);
    source = s.source;
  }
  const std::optional<std::string> stored = source(lanResHandle(), id);
  if (!stored) return {};
  std::string_view text = *stored;
  text = text.substr(0, text.find('\0'));
  return std::string(firstCharacters(text, kBufferCharacters - 1));
}

}  // namespace solvard::ui
